// The job table: rows and the 501 slots behind them stay aligned through
// adds, removals, moves and clears.
#include "app/job_table.h"

#include <gtest/gtest.h>

#include "app_test_support.h"
#include "platform/code_page.h"

namespace {

using app::JobTable;

// Appends a row whose input and output name carry the number n.
int AddJob(JobTable& table, int n) {
  app::JobRow row;
  row.InputPath = QString("/in/%1.avi").arg(n);
  TInputOptions input;
  input.FileName = platform::Widen("/in/" + std::to_string(n) + ".avi");
  TOutputOptions output;
  output.FileName = platform::Widen("/out/" + std::to_string(n) + ".mp4");
  return table.Append(row, input, output);
}

std::string SlotInput(const JobTable& table, int slot) {
  return platform::Utf8(table.Slot(slot).Input.FileName);
}

QStringList Numbers(const JobTable& table) {
  QStringList numbers;
  for (int row = 0; row < table.Rows(); ++row)
    numbers << table.data(table.index(row, JobTable::ColNumber), Qt::DisplayRole).toString();
  return numbers;
}

TEST(JobTableTest, ColumnsHaveTheirCaptionsAndWidths) {
  const QStringList captions = {"序号", "视频源文件", "源格式", "目标格式", "当前时间", "转换进度", "状态"};
  const int widths[] = {40, 120, 60, 60, 80, 150, 64};
  JobTable table;
  ASSERT_EQ(table.columnCount(), 7);
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), captions[column]);
    EXPECT_EQ(JobTable::ColumnWidth(column), widths[column]);
  }
  for (int slot = 0; slot < JobTable::kSlotCount; ++slot) ASSERT_EQ(table.Slot(slot).SlotState, "kong");
  // Fitted to a view: the nominal widths when they fit exactly, the file
  // name takes what is over or short, then the time and the progress bar
  // down to their floors.
  using W = std::array<int, JobTable::ColumnCount>;
  EXPECT_EQ(JobTable::FittedColumnWidths(574), W({40, 120, 60, 60, 80, 150, 64}));
  EXPECT_EQ(JobTable::FittedColumnWidths(700), W({40, 246, 60, 60, 80, 150, 64}));
  EXPECT_EQ(JobTable::FittedColumnWidths(484), W({40, 80, 60, 60, 64, 116, 64}));
  EXPECT_EQ(JobTable::FittedColumnWidths(500), W({40, 80, 60, 60, 64, 132, 64}));
  EXPECT_EQ(JobTable::FittedColumnWidths(0), W({40, 80, 60, 60, 64, 90, 64}));
  AddJob(table, 1);
  EXPECT_EQ(table.data(table.index(0, JobTable::ColTime), Qt::DisplayRole).toString(), "0");
  EXPECT_EQ(table.data(table.index(0, JobTable::ColStatus), Qt::DisplayRole).toString(), "准备");
}

TEST(JobTableTest, RemovingTheMiddleRowMovesLaterSlotsDown) {
  JobTable table;
  for (int n = 1; n <= 3; ++n) AddJob(table, n);
  table.Remove(1);
  EXPECT_EQ(Numbers(table), QStringList({"1", "2"}));
  EXPECT_EQ(table.Row(1).InputPath, "/in/3.avi");
  EXPECT_EQ(SlotInput(table, 1), "/in/3.avi");
  EXPECT_EQ(table.Slot(1).SlotState, "Full");
  EXPECT_EQ(table.Slot(2).SlotState, "kong");
  EXPECT_EQ(table.Slot(500).SlotState, "DELETED");
  EXPECT_EQ(SlotInput(table, 500), "/in/2.avi");
  // The next add goes into slot 2.
  EXPECT_EQ(AddJob(table, 4), 2);
  EXPECT_EQ(SlotInput(table, 2), "/in/4.avi");
}

TEST(JobTableTest, RemovalsShrinkTheTableUntilItIsCleared) {
  JobTable table;
  for (int n = 0; n < 10; ++n) {
    AddJob(table, n);
    table.Remove(0);
  }
  int added = 0;
  while (AddJob(table, 100 + added) >= 0) ++added;
  EXPECT_EQ(added, 491);
  EXPECT_EQ(table.Rows(), 491);
  EXPECT_EQ(table.FreeSlot(), -1);
  // A refused add changes nothing.
  EXPECT_EQ(table.Rows(), 491);
  table.Clear();
  EXPECT_EQ(table.Rows(), 0);
  for (int slot = 0; slot < JobTable::kSlotCount; ++slot) ASSERT_EQ(table.Slot(slot).SlotState, "kong");
  added = 0;
  while (AddJob(table, added) >= 0) ++added;
  EXPECT_EQ(added, 501);
}

TEST(JobTableTest, MovesSwapRowsAndSlotsAndStopAtTheEnds) {
  JobTable table;
  for (int n = 1; n <= 3; ++n) AddJob(table, n);
  table.SetStatus(2, app::kStatusDone);
  table.SetProgress(2, 100);
  EXPECT_FALSE(table.MoveUp(0));
  EXPECT_FALSE(table.MoveDown(2));
  EXPECT_FALSE(table.MoveDown(-1));
  EXPECT_EQ(SlotInput(table, 0), "/in/1.avi");

  ASSERT_TRUE(table.MoveUp(2));
  EXPECT_EQ(table.Row(1).InputPath, "/in/3.avi");
  EXPECT_EQ(table.Row(1).Status, "完成");
  EXPECT_EQ(table.Row(1).Progress, 100);
  EXPECT_EQ(SlotInput(table, 1), "/in/3.avi");
  EXPECT_EQ(platform::Utf8(table.Slot(1).Output.FileName), "/out/3.mp4");
  EXPECT_EQ(SlotInput(table, 2), "/in/2.avi");
  EXPECT_EQ(Numbers(table), QStringList({"1", "2", "3"}));

  ASSERT_TRUE(table.MoveDown(0));
  EXPECT_EQ(SlotInput(table, 0), "/in/3.avi");
  EXPECT_EQ(SlotInput(table, 1), "/in/1.avi");
}

TEST(JobTableTest, ProgressIsKeptUnclampedAndBatchResetClearsFailures) {
  JobTable table;
  AddJob(table, 1);
  table.SetProgress(0, 130);
  table.SetFailureReason(0, "Unknown encoder 'x'");
  EXPECT_EQ(table.data(table.index(0, JobTable::ColProgress), Qt::DisplayRole).toInt(), 130);
  EXPECT_EQ(table.data(table.index(0, JobTable::ColStatus), Qt::ToolTipRole).toString(),
            "Unknown encoder 'x'");
  table.ResetForBatch();
  EXPECT_EQ(table.Row(0).Progress, 0);
  EXPECT_EQ(table.Row(0).Status, "准备");
  EXPECT_FALSE(table.data(table.index(0, JobTable::ColStatus), Qt::ToolTipRole).isValid());
}

}  // namespace
