// Batches in the real window: rows converted in list order, pause, resume
// and stop, a failing task, the after-all action, a start that cannot
// re-create its tasks, and closing the window mid-batch.
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/batch_progress.h"
#include "app/format_chooser.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/settings.h"
#include "app_test_support.h"
#include "engine/transcoder.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/recording_outside.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using app::JobTable;

constexpr int kBatchTimeoutMs = 120000;

using apptest::SmallClip;

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::App();
    testsupport::LoadConverterLibraries();
    inputs = testsupport::MakeTempSubdir("inputs");
    window = std::make_unique<app::MainWindow>(testsupport::MakeTempSubdir("program"));
    window->show();
    output = home.Path() + "/Video_Directory";
  }
  void TearDown() override {
    if (window) window->close();
    window.reset();
  }
  // Adds the clip under each name as the given type, with the defaults.
  void AddRows(const std::vector<std::string>& names, double seconds, int code) {
    for (const std::string& name : names) {
      const std::string path = inputs + "/" + name;
      QFile::copy(QString::fromStdString(SmallClip(seconds)), QString::fromStdString(path));
      dialogs.files.push_back(QString::fromStdString(path));
      app::FormatChooser* chooser = window->Chooser();
      app::OptionsDialog* options = window->Options();
      apptest::WhenShown(chooser, [chooser, code] {
        chooser->List(0)->setCurrentRow(code - 500);
        chooser->Next();
      });
      apptest::WhenShown(options, [options] { options->Confirm(); });
      window->AddOneFile();
    }
    ASSERT_GE(window->Table().Rows(), int(names.size())) << window->LogText().join("\n").toStdString();
  }
  QStringList Statuses() const {
    QStringList statuses;
    for (int row = 0; row < window->Table().Rows(); ++row) statuses << window->Table().Row(row).Status;
    return statuses;
  }
  QString Status(int row) const { return window->Table().Row(row).Status; }
  bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kBatchTimeoutMs); }
  bool WaitForEnd() {
    return WaitFor([this] { return !window->Runner().Running(); });
  }
  QToolButton* Button(const char* name) const { return window->findChild<QToolButton*>(name); }

  apptest::ScopedHome home;
  apptest::FakeDialogs dialogs;
  platform::RecordingOutside outside;
  std::string inputs;
  std::string output;
  std::unique_ptr<app::MainWindow> window;
};

TEST_F(BatchTest, RowsRunOneAfterAnotherAndRunAgain) {
  AddRows({"one.avi", "two.avi", "three.avi"}, 1.0, 526);
  // Record the order in which rows start and finish.
  QStringList events;
  QObject::connect(&window->Table(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& from) {
    const QString status = window->Table().Row(from.row()).Status;
    const QString event = QString("%1:%2").arg(from.row()).arg(status);
    if (from.column() == JobTable::ColStatus && (events.isEmpty() || events.last() != event)) events << event;
  });
  window->SelectRow(-1);
  Button("btnStart")->click();
  EXPECT_TRUE(window->Runner().Running());
  EXPECT_EQ(Statuses(), QStringList({"准备", "准备", "准备"}));
  EXPECT_FALSE(Button("btnStart")->isEnabled());
  EXPECT_TRUE(Button("btnPause")->isEnabled());
  EXPECT_TRUE(Button("btnStop")->isEnabled());
  EXPECT_FALSE(Button("btnAdd")->isEnabled());
  EXPECT_FALSE(Button("btnClear")->isEnabled());
  ASSERT_TRUE(WaitForEnd());

  EXPECT_EQ(Statuses(), QStringList({"完成", "完成", "完成"}));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(window->Table().Row(row).Progress, 100);
  EXPECT_TRUE(window->Table().Row(2).Time.endsWith("   (秒)")) << window->Table().Row(2).Time.toStdString();
  // Rows finish in list order.
  QStringList finished;
  for (const QString& event : events)
    if (event.endsWith("完成")) finished << event.left(1);
  EXPECT_EQ(finished, QStringList({"0", "1", "2"})) << events.join(" ").toStdString();
  // No row starts before every earlier row has started.
  int started = -1;
  for (const QString& event : events) {
    const int row = event.left(1).toInt();
    if (!event.endsWith("转换中...") || row <= started) continue;
    EXPECT_EQ(row, started + 1) << events.join(" ").toStdString();
    started = row;
  }
  for (const char* name : {"one.wav", "two.wav", "three.wav"})
    EXPECT_TRUE(platform::IsExistingFile(output + "/" + name)) << name;
  EXPECT_EQ(outside.Calls(), std::vector<std::string>({"open " + output}));
  EXPECT_EQ(window->statusBar()->currentMessage(), "转换结束：3 个文件转换完成，0 个文件转换失败。");
  EXPECT_EQ(window->Engine().TasksCount(), 0);
  EXPECT_TRUE(Button("btnStart")->isEnabled());
  EXPECT_FALSE(Button("btnPause")->isEnabled());
  EXPECT_FALSE(Button("btnStop")->isEnabled());
  EXPECT_TRUE(Button("btnAdd")->isEnabled());

  // "转换" again converts every row again, into the same files.
  events.clear();
  window->findChild<QComboBox*>("AfterAllAction")->setCurrentIndex(1);
  Button("btnStart")->click();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(events.count("0:完成"), 1);
  EXPECT_EQ(Statuses(), QStringList({"完成", "完成", "完成"}));
  EXPECT_FALSE(platform::IsExistingFile(output + "/one(New_1).wav"));
  EXPECT_EQ(outside.Calls().back(), "poweroff");
}

TEST_F(BatchTest, PauseResumeAndStop) {
  AddRows({"a.avi", "b.avi", "c.avi"}, 20.0, 512);
  window->findChild<QComboBox*>("AfterAllAction")->setCurrentIndex(0);
  Button("btnStart")->click();
  ASSERT_TRUE(WaitFor([this] { return Status(0) == "完成" && Status(1) == "转换中..."; }));
  Button("btnPause")->click();
  EXPECT_EQ(Statuses(), QStringList({"完成", "暂停", "准备"}));
  EXPECT_TRUE(window->Runner().Paused());
  EXPECT_TRUE(Button("btnStart")->isEnabled());
  EXPECT_FALSE(Button("btnPause")->isEnabled());
  EXPECT_TRUE(Button("btnStop")->isEnabled());

  Button("btnStart")->click();  // resumes
  EXPECT_FALSE(window->Runner().Paused());
  ASSERT_TRUE(WaitFor([this] { return Statuses().contains("转换中..."); }));

  // Cancelling the question changes nothing.
  dialogs.answers.push_back(false);
  Button("btnStop")->click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "您确实要终止目前的转换工作吗？");
  EXPECT_EQ(dialogs.messages[0].Caption, "提示信息");
  EXPECT_TRUE(window->Runner().Running());

  Button("btnPause")->click();
  const int paused = int(Statuses().indexOf("暂停"));
  ASSERT_GE(paused, 1) << Statuses().join(" ").toStdString();
  Button("btnStop")->click();
  ASSERT_TRUE(WaitForEnd());
  // Finished rows keep "完成", the paused one is stopped, waiting ones stay.
  QStringList expected;
  for (int row = 0; row < 3; ++row) expected << (row < paused ? "完成" : row == paused ? "停止" : "准备");
  EXPECT_EQ(Statuses(), expected);
  EXPECT_TRUE(outside.Calls().empty());
  EXPECT_EQ(window->Engine().TasksCount(), 0);
  EXPECT_TRUE(Button("btnStart")->isEnabled());
  EXPECT_FALSE(Button("btnStop")->isEnabled());
}

TEST_F(BatchTest, AFailingTaskWarnsAndTheNextRowRuns) {
  AddRows({"first.avi"}, 1.0, 526);
  // The second job asks for a channel count its encoder refuses when it
  // opens, which happens only once the task runs.
  app::JobSlot failing = window->Table().Slot(0);
  failing.Output.FileName = platform::Widen(output + "/second.mp3");
  failing.Output.AudioCodec = "libmp3lame";
  failing.Output.AudioChannels = 7;
  app::JobRow row = window->Table().Row(0);
  row.InputPath = QString::fromStdString(inputs + "/second.avi");
  QFile::copy(QString::fromStdString(SmallClip(1.0)), row.InputPath);
  failing.Input.FileName = platform::Widen(row.InputPath.toStdString());
  ASSERT_EQ(window->Table().Append(row, failing.Input, failing.Output), 1);
  AddRows({"third.avi"}, 1.0, 526);
  window->SelectRow(1);
  Button("btnStart")->click();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Status(0), "完成");
  EXPECT_NE(Status(1), "完成");  // selected, but it failed
  EXPECT_EQ(Status(2), "完成");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Icon, app::MessageIcon::Warning);
  EXPECT_EQ(dialogs.messages[0].Caption, "Quvexa");
  EXPECT_TRUE(dialogs.messages[0].Text.contains("second.avi")) << dialogs.messages[0].Text.toStdString();
  const QModelIndex cell = window->Table().index(1, JobTable::ColStatus);
  EXPECT_TRUE(window->Table().data(cell, Qt::ToolTipRole).toString().isEmpty() == false);
  EXPECT_FALSE(platform::IsExistingFile(output + "/second.mp3"));  // no partial output
  EXPECT_TRUE(platform::IsExistingFile(output + "/third.wav"));
}

TEST_F(BatchTest, AStartThatCannotReopenAnInputTellsWhichFile) {
  AddRows({"kept.avi", "gone.avi"}, 1.0, 526);
  ASSERT_TRUE(QFile::remove(QString::fromStdString(inputs + "/gone.avi")));
  Button("btnStart")->click();
  EXPECT_FALSE(window->Runner().Running());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].Text.contains("gone.avi")) << dialogs.messages[0].Text.toStdString();
  EXPECT_EQ(Statuses(), QStringList({"准备", "准备"}));
  EXPECT_TRUE(Button("btnStart")->isEnabled());
  EXPECT_TRUE(Button("btnAdd")->isEnabled());
}

TEST_F(BatchTest, ClosingDuringABatchStopsWithoutTouchingTheRows) {
  AddRows({"long.avi"}, 6.0, 512);
  Button("btnStart")->click();
  ASSERT_TRUE(WaitFor([this] { return Status(0) == "转换中..."; }));
  window->close();
  EXPECT_EQ(Status(0), "转换中...");
  EXPECT_FALSE(window->Engine().Working() && !window->Engine().AllDone());
  window.reset();
  EXPECT_TRUE(outside.Calls().empty());
}

TEST(BatchProgressTest, OverallProgressAndTimeLeft) {
  EXPECT_EQ(app::OverallProgressText(0, 0, 0, 0, 3), "已完成 0/3 个文件");
  EXPECT_EQ(app::OverallProgressText(0, 60000000, 500, 0, 3), "已完成 0/3 个文件   总进度：0%");
  // A quarter done in 10 s: 30 s left.
  EXPECT_EQ(app::OverallProgressText(15000000, 60000000, 10000, 1, 3),
            "已完成 1/3 个文件   总进度：25%   预计剩余时间：00:00:30");
  EXPECT_EQ(app::OverallProgressText(90000000, 60000000, 10000, 3, 3),
            "已完成 3/3 个文件   总进度：100%   预计剩余时间：00:00:00");
}

}  // namespace
