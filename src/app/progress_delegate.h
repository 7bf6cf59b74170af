// Draws the progress column of the job list as a progress bar with its
// percentage.
#pragma once

#include <QStyledItemDelegate>

namespace app {

class ProgressDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace app
