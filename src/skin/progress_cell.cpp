#include "skin/progress_cell.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>

namespace skin {

ProgressCellDelegate::ProgressCellDelegate(QAbstractItemView* view, int role)
    : QStyledItemDelegate(view), role_(role) {
  painterBar_ = new QProgressBar(view->viewport());
  painterBar_->setObjectName("ProgressCellPainter");
  painterBar_->hide();
}

int ProgressCellDelegate::Percent(const QModelIndex& index) const {
  bool ok = false;
  const int value = index.data(role_).toInt(&ok);
  return ok ? std::clamp(value, 0, 100) : 0;
}

void ProgressCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  // The cell's own ground first (selection, hover, alternate rows), without text.
  QStyleOptionViewItem cell(option);
  initStyleOption(&cell, index);
  cell.text.clear();
  const QWidget* view = option.widget;
  QStyle* viewStyle = view ? view->style() : QApplication::style();
  viewStyle->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);

  const int percent = Percent(index);
  QStyleOptionProgressBar bar;
  const QWidget* barWidget = painterBar_ ? painterBar_.data() : view;
  if (barWidget) bar.initFrom(barWidget);
  bar.rect = option.rect.adjusted(3, 3, -3, -3);
  bar.state = (option.state & QStyle::State_Enabled) | QStyle::State_Horizontal;
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = percent;
  bar.text = QString::number(percent) + '%';
  bar.textVisible = true;
  bar.textAlignment = Qt::AlignCenter;
  QStyle* barStyle = barWidget ? barWidget->style() : QApplication::style();
  painter->save();
  barStyle->drawControl(QStyle::CE_ProgressBar, &bar, painter, barWidget);
  painter->restore();
}

QSize ProgressCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(std::max(size.height(), option.fontMetrics.height() + 8));
  return size;
}

}  // namespace skin
