// Shows a path in the job list cut short at its start rather than its
// middle, so that the file's own name stays in sight in a narrow column
// (the whole path is in the cell's tooltip).
#pragma once

#include <QStyledItemDelegate>

namespace app {

class PathDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace app
