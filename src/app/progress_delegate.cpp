#include "app/progress_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <algorithm>

namespace app {

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  // The row's selection colour behind the bar.
  QStyleOptionViewItem background = option;
  initStyleOption(&background, index);
  background.text.clear();
  QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

  const int percent = index.data(Qt::DisplayRole).toInt();
  QStyleOptionProgressBar bar;
  bar.rect = option.rect.adjusted(2, 3, -2, -3);
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = std::clamp(percent, 0, 100);  // the stored value itself is not clamped
  bar.text = QString::number(percent) + '%';
  bar.textVisible = true;
  bar.textAlignment = Qt::AlignCenter;
  bar.state = option.state | QStyle::State_Horizontal;
  bar.palette = option.palette;
  style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
}

}  // namespace app
