// The job list as a Qt item model: one row per job with its seven columns,
// and behind the rows the fixed table of 501 job slots that keep each job's
// engine records. Row i and slot i describe the same job (and, while a task
// list exists, engine task i). Views only show this model; every change of
// rows or slots goes through its operations.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "engine/option_records.h"

namespace app {

// Slot states.
inline constexpr const char* kSlotFree = "kong";
inline constexpr const char* kSlotFull = "Full";
inline constexpr const char* kSlotDeleted = "DELETED";

// Status texts of a row.
inline const QString kStatusReady = QStringLiteral("准备");
inline const QString kStatusConverting = QStringLiteral("转换中...");
inline const QString kStatusPaused = QStringLiteral("暂停");
inline const QString kStatusStopped = QStringLiteral("停止");
inline const QString kStatusDone = QStringLiteral("完成");

struct JobSlot {
  TInputOptions Input;
  TOutputOptions Output;
  std::string SlotState = kSlotFree;
};

// What a new row shows besides its number.
struct JobRow {
  QString InputPath;
  QString InputFormat;   // input extension without the dot, upper case
  QString OutputFormat;  // output extension without the dot, upper case
  QString Time = QStringLiteral("0");
  int Progress = 0;  // percentage, not clamped
  QString Status = kStatusReady;
  QString FailureReason;  // shown as the status cell's tooltip
};

class JobTable : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kSlotCount = 501;

  enum Column {
    ColNumber,
    ColSource,
    ColSourceFormat,
    ColTargetFormat,
    ColTime,
    ColProgress,
    ColStatus,
    ColumnCount
  };
  static QString ColumnCaption(int column);
  static int ColumnWidth(int column);
  // The widths that fill a view `available` pixels wide without a horizontal
  // scroll bar, so that the status column is always in sight. A wider view
  // gives its extra width to the file name; a narrower one takes the
  // shortfall from the file name (which elides and has its tooltip), then
  // from the time, then from the progress bar, each down to a floor; only a
  // view too narrow for every floor keeps a shortfall.
  static std::array<int, ColumnCount> FittedColumnWidths(int available);

  explicit JobTable(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  int Rows() const { return int(rows_.size()); }
  const JobRow& Row(int row) const { return rows_.at(size_t(row)); }
  const JobSlot& Slot(int index) const { return slots_.at(size_t(index)); }

  // The lowest free slot, or -1 when the table is full.
  int FreeSlot() const;
  // Appends a row and fills the lowest free slot with the records; returns
  // the new row's index, or -1 (nothing changed) when no slot is free.
  int Append(const JobRow& row, const TInputOptions& input, const TOutputOptions& output);
  // Deletes the row; its slot becomes "DELETED" and moves to the top end of
  // the table, every later slot one down.
  void Remove(int row);
  // No rows; every slot free (the records stay until overwritten).
  void Clear();
  // Exchanges rows (all cells) and slots i and i-1 / i and i+1. False (no
  // change) at the first / last row or for an invalid row.
  bool MoveUp(int row);
  bool MoveDown(int row);

  void SetTime(int row, const QString& text);
  void SetProgress(int row, int percent);
  void SetStatus(int row, const QString& status);
  void SetFailureReason(int row, const QString& reason);
  // Every row back to "准备" and an empty bar, as a new batch starts.
  void ResetForBatch();

 private:
  void SwapRows(int a, int b);
  void EmitRow(int row, int firstColumn, int lastColumn);

  std::vector<JobRow> rows_;
  std::vector<JobSlot> slots_;  // always kSlotCount entries
};

}  // namespace app
