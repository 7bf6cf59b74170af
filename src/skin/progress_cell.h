// Item-view cells drawn as progress bars in the window's look: the cell's
// number (0 … 100) from the given role, shown as a bar with "N%" on it.
// The bar is drawn by a hidden progress bar inside the view, so the skin's
// progress-bar rules (groove, chunk, text) apply to the cells as well.
#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace skin {

class ProgressCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit ProgressCellDelegate(QAbstractItemView* view, int role = Qt::DisplayRole);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The percentage a cell shows: the role's number clamped to 0 … 100.
  int Percent(const QModelIndex& index) const;

 private:
  int role_;
  QPointer<QProgressBar> painterBar_;  // hidden child of the view's viewport
};

}  // namespace skin
