#include "app/job_table.h"

#include <algorithm>
#include <utility>

namespace app {
namespace {

struct ColumnSpec {
  const char* Caption;
  int Width;
};
constexpr std::array<ColumnSpec, JobTable::ColumnCount> kColumns = {{
    {"序号", 40},
    {"视频源文件", 120},
    {"源格式", 60},
    {"目标格式", 60},
    {"当前时间", 80},
    {"转换进度", 150},
    {"状态", 64},
}};

// How far a column may shrink to fit the view, taken in this order. The
// floors keep each caption whole at the default font.
struct ColumnFloor {
  int Column;
  int Width;
};
constexpr ColumnFloor kShrinkOrder[] = {
    {JobTable::ColSource, 80},
    {JobTable::ColTime, 64},
    {JobTable::ColProgress, 90},
};

}  // namespace

QString JobTable::ColumnCaption(int column) {
  return column >= 0 && column < ColumnCount ? QString::fromUtf8(kColumns[size_t(column)].Caption)
                                             : QString();
}

int JobTable::ColumnWidth(int column) {
  return column >= 0 && column < ColumnCount ? kColumns[size_t(column)].Width : 0;
}

std::array<int, JobTable::ColumnCount> JobTable::FittedColumnWidths(int available) {
  std::array<int, ColumnCount> widths{};
  int total = 0;
  for (int column = 0; column < ColumnCount; ++column) total += widths[size_t(column)] = ColumnWidth(column);
  int shortfall = total - std::max(available, 0);
  if (shortfall < 0) {
    widths[ColSource] -= shortfall;
    return widths;
  }
  for (const ColumnFloor& floor : kShrinkOrder) {
    int& width = widths[size_t(floor.Column)];
    const int taken = std::min(shortfall, std::max(width - floor.Width, 0));
    width -= taken;
    shortfall -= taken;
  }
  return widths;
}

JobTable::JobTable(QObject* parent) : QAbstractTableModel(parent), slots_(kSlotCount) {}

int JobTable::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int JobTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant JobTable::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows()) return {};
  const JobRow& row = rows_[size_t(index.row())];
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case ColNumber:
        return QString::number(index.row() + 1);
      case ColSource:
        return row.InputPath;
      case ColSourceFormat:
        return row.InputFormat;
      case ColTargetFormat:
        return row.OutputFormat;
      case ColTime:
        return row.Time;
      case ColProgress:
        return row.Progress;
      case ColStatus:
        return row.Status;
      default:
        return {};
    }
  }
  if (role == Qt::ToolTipRole) {
    if (index.column() == ColSource) return row.InputPath;
    if (index.column() == ColStatus && !row.FailureReason.isEmpty()) return row.FailureReason;
  }
  return {};
}

QVariant JobTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return ColumnCaption(section);
  return QAbstractTableModel::headerData(section, orientation, role);
}

int JobTable::FreeSlot() const {
  for (int i = 0; i < kSlotCount; ++i)
    if (slots_[size_t(i)].SlotState == kSlotFree) return i;
  return -1;
}

int JobTable::Append(const JobRow& row, const TInputOptions& input, const TOutputOptions& output) {
  const int slot = FreeSlot();
  if (slot < 0) return -1;
  const int newRow = Rows();
  beginInsertRows(QModelIndex(), newRow, newRow);
  rows_.push_back(row);
  endInsertRows();
  JobSlot& target = slots_[size_t(slot)];
  target.Input = input;
  target.Output = output;
  target.SlotState = kSlotFull;
  return newRow;
}

void JobTable::Remove(int row) {
  if (row < 0 || row >= Rows()) return;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  slots_[size_t(row)].SlotState = kSlotDeleted;
  for (int k = row; k < kSlotCount - 1; ++k) std::swap(slots_[size_t(k)], slots_[size_t(k) + 1]);
  // The numbers of the rows after the removed one changed.
  if (row < Rows()) emit dataChanged(index(row, ColNumber), index(Rows() - 1, ColNumber));
}

void JobTable::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
  for (JobSlot& slot : slots_) slot.SlotState = kSlotFree;
}

void JobTable::SwapRows(int a, int b) {
  std::swap(rows_[size_t(a)], rows_[size_t(b)]);
  std::swap(slots_[size_t(a)], slots_[size_t(b)]);
  const int first = std::min(a, b), last = std::max(a, b);
  emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

bool JobTable::MoveUp(int row) {
  if (row <= 0 || row >= Rows()) return false;
  SwapRows(row, row - 1);
  return true;
}

bool JobTable::MoveDown(int row) {
  if (row < 0 || row >= Rows() - 1) return false;
  SwapRows(row, row + 1);
  return true;
}

void JobTable::EmitRow(int row, int firstColumn, int lastColumn) {
  emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}

void JobTable::SetTime(int row, const QString& text) {
  if (row < 0 || row >= Rows()) return;
  rows_[size_t(row)].Time = text;
  EmitRow(row, ColTime, ColTime);
}

void JobTable::SetProgress(int row, int percent) {
  if (row < 0 || row >= Rows()) return;
  rows_[size_t(row)].Progress = percent;
  EmitRow(row, ColProgress, ColProgress);
}

void JobTable::SetStatus(int row, const QString& status) {
  if (row < 0 || row >= Rows()) return;
  rows_[size_t(row)].Status = status;
  EmitRow(row, ColStatus, ColStatus);
}

void JobTable::SetFailureReason(int row, const QString& reason) {
  if (row < 0 || row >= Rows()) return;
  rows_[size_t(row)].FailureReason = reason;
  EmitRow(row, ColStatus, ColStatus);
}

void JobTable::ResetForBatch() {
  for (JobRow& row : rows_) {
    row.Progress = 0;
    row.Status = kStatusReady;
    row.FailureReason.clear();
  }
  if (Rows() > 0) emit dataChanged(index(0, 0), index(Rows() - 1, ColumnCount - 1));
}

}  // namespace app
