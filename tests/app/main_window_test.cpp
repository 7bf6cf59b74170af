// The main window: start-up, adding jobs through the chooser and the
// options dialog, the list's remove, move and clear rules, dropped files,
// and closing.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/format_chooser.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/preview_panel.h"
#include "app_test_support.h"
#include "engine/transcoder.h"
#include "platform/code_page.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/recording_outside.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using app::JobTable;
using apptest::App;
using apptest::FakeDialogs;

// A copy of a clip under another name in a folder of its own.
std::string CopyAs(const std::string& source, const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  QFile::remove(QString::fromStdString(path));
  EXPECT_TRUE(QFile::copy(QString::fromStdString(source), QString::fromStdString(path)));
  return path;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    testsupport::LoadConverterLibraries();
    program = testsupport::MakeTempSubdir("program");
    inputs = testsupport::MakeTempSubdir("inputs");
    window = std::make_unique<app::MainWindow>(program);
  }
  void TearDown() override {
    if (window) window->close();
    window.reset();
  }

  // Answers the chooser with a type of the first page and the options
  // dialog with `configure` followed by "确定".
  void AnswerChoice(int code, std::function<void(app::OptionsDialog&)> configure = {}) {
    app::FormatChooser* chooser = window->Chooser();
    app::OptionsDialog* options = window->Options();
    apptest::WhenShown(chooser, [chooser, code] {
      chooser->List(0)->setCurrentRow(code - 500);
      chooser->Next();
    });
    apptest::WhenShown(options, [options, configure] {
      if (configure) configure(*options);
      options->Confirm();
    });
  }
  void AddOne(const std::string& file, int code, std::function<void(app::OptionsDialog&)> configure = {}) {
    dialogs.files.push_back(QString::fromStdString(file));
    AnswerChoice(code, std::move(configure));
    window->AddOneFile();
  }
  QStringList Column(int column) const {
    QStringList cells;
    const JobTable& table = window->Table();
    for (int row = 0; row < table.Rows(); ++row)
      cells << table.data(table.index(row, column), Qt::DisplayRole).toString();
    return cells;
  }
  template <typename T>
  T* Child(const char* name) const {
    T* child = window->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  bool Enabled(const char* name) const { return Child<QWidget>(name)->isEnabled(); }

  apptest::ScopedHome home;
  FakeDialogs dialogs;
  platform::RecordingOutside outside;
  std::string program;
  std::string inputs;
  std::unique_ptr<app::MainWindow> window;
};

TEST_F(MainWindowTest, FirstStartWithoutSettings) {
  EXPECT_EQ(window->objectName(), "TForm1");
  EXPECT_EQ(window->windowTitle(), "Quvexa");
  EXPECT_EQ(window->size(), QSize(851, 588));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const std::string folder = home.Path() + "/Video_Directory";
  EXPECT_EQ(Child<QLineEdit>("OutputFolderEdit")->text().toStdString(), folder);
  EXPECT_TRUE(Child<QLineEdit>("OutputFolderEdit")->isReadOnly());
  EXPECT_TRUE(platform::IsExistingFolder(folder));
  EXPECT_EQ(platform::IniFile(program + "/system.ini").ReadString("OutPath", "OutPath"), folder);
  EXPECT_EQ(platform::IniFile(program + "/system.ini").ReadString("SnapShot", "Picture"), "BMP");

  // Toolbar captions, hints and the enabled states of an empty list.
  const std::vector<std::pair<const char*, const char*>> hints = {
      {"btnAdd", "添加要转换的视频音频文件"}, {"btnRemove", "从列表中删除选中的文件"},
      {"btnClear", "清空转换列表"},           {"btnStart", "开始转换视频"},
      {"btnPause", "暂停视频转换"},           {"btnStop", "停止视频转换"},
      {"btnSkin", "更换软件外观皮肤"},        {"btnHelp", "软件帮助"}};
  for (const auto& [name, hint] : hints) EXPECT_EQ(Child<QToolButton>(name)->statusTip(), hint) << name;
  EXPECT_TRUE(Enabled("btnAdd"));
  for (const char* off : {"btnRemove", "btnClear", "btnStart", "btnPause", "btnStop", "Button12", "Button13"})
    EXPECT_FALSE(Enabled(off)) << off;
  EXPECT_TRUE(Enabled("Button10"));
  EXPECT_TRUE(Enabled("Button11"));
  QList<QAction*> adds = Child<QToolButton>("btnAdd")->menu()->actions();
  ASSERT_EQ(adds.size(), 2);
  EXPECT_EQ(adds[0]->text(), "添加一个视频文件");
  EXPECT_EQ(adds[1]->text(), "添加多个视频文件");
  QList<QAction*> skins = Child<QToolButton>("btnSkin")->menu()->actions();
  ASSERT_EQ(skins.size(), 17);
  EXPECT_EQ(skins.first()->text(), "微软MSN皮肤");
  EXPECT_EQ(skins.last()->text(), "XP绿色皮肤");

  // The settings boxes and their defaults.
  EXPECT_EQ(Child<QComboBox>("AfterAllAction")->currentText(), "打开文件夹查看转换的文件");
  EXPECT_EQ(Child<QComboBox>("ExistingFileAction")->currentText(), "自动生成相应的新文件名");
  EXPECT_EQ(Child<QComboBox>("CpuUsage")->currentText(), "正常转换");
  EXPECT_EQ(Child<QComboBox>("SimultaneousCount")->currentText(), "1个文件");
  EXPECT_TRUE(Child<QComboBox>("CpuUsage")->isHidden());
  EXPECT_TRUE(Child<QComboBox>("SimultaneousCount")->isHidden());

}

// The status column stays in sight: the columns fill the list's width
// without a horizontal scroll bar, and follow it when it changes (as when
// the vertical scroll bar comes with the rows).
TEST_F(MainWindowTest, JobListColumnsFitTheList) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTableView* list = window->JobList();
  auto checkFits = [list] {
    QCoreApplication::processEvents();
    int total = 0;
    for (int column = 0; column < JobTable::ColumnCount; ++column) total += list->columnWidth(column);
    EXPECT_EQ(total, list->viewport()->width());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->columnWidth(JobTable::ColStatus), JobTable::ColumnWidth(JobTable::ColStatus));
  };
  checkFits();
  list->setFixedWidth(list->width() - 20);
  checkFits();
  list->setFixedWidth(list->width() + 200);
  checkFits();
}

TEST_F(MainWindowTest, FolderButtonsHelpAndSkinMenu) {
  const std::string chosen = testsupport::MakeTempSubdir("chosen");
  dialogs.folders.push_back(QString::fromStdString(chosen));
  Child<QPushButton>("BrowseButton")->click();
  EXPECT_EQ(dialogs.folderTitles, QStringList({"选择输出文件存放目录"}));
  EXPECT_EQ(Child<QLineEdit>("OutputFolderEdit")->text().toStdString(), chosen);
  EXPECT_EQ(platform::IniFile(program + "/system.ini").ReadString("OutPath", "OutPath"), chosen);
  Child<QPushButton>("BrowseButton")->click();  // cancelled: nothing changes
  EXPECT_EQ(window->State().OutputFolder, chosen);

  Child<QPushButton>("OpenFolderButton")->click();
  window->OpenHelp();
  EXPECT_EQ(outside.Calls(),
            std::vector<std::string>({"open " + chosen, "open " + program + "/help/index.html"}));

  QString chosenSkin;
  QObject::connect(window.get(), &app::MainWindow::SkinChosen,
                   [&chosenSkin](const QString& v) { chosenSkin = v; });
  Child<QToolButton>("btnSkin")->menu()->actions().at(9)->trigger();
  EXPECT_EQ(chosenSkin, "skin1");
  EXPECT_EQ(platform::IniFile(program + "/system.ini").ReadString("skin", "SetSkin"), "skin1");
}

TEST_F(MainWindowTest, PspWorkedExampleReachesTheEngine) {
  const std::string input = CopyAs(apptest::SmallClip(), inputs, "a.avi");
  window->show();
  AddOne(input, 507);
  ASSERT_EQ(window->Table().Rows(), 1) << window->LogText().join("\n").toStdString();
  EXPECT_EQ(Column(JobTable::ColSource), QStringList({QString::fromStdString(input)}));
  EXPECT_EQ(Column(JobTable::ColSourceFormat), QStringList({"AVI"}));
  EXPECT_EQ(Column(JobTable::ColTargetFormat), QStringList({"MP4"}));
  EXPECT_EQ(Column(JobTable::ColTime), QStringList({"0"}));
  EXPECT_EQ(Column(JobTable::ColStatus), QStringList({"准备"}));
  EXPECT_EQ(window->SelectedRow(), 0);
  EXPECT_EQ(window->State().PreviewFile, input);
  EXPECT_TRUE(window->LogText().contains("装入成功."));

  const app::JobSlot& slot = window->Table().Slot(0);
  EXPECT_EQ(slot.SlotState, "Full");
  const TOutputOptions& out = slot.Output;
  const std::string expectedOutput = home.Path() + "/Video_Directory/a.mp4";
  EXPECT_EQ(platform::Utf8(out.FileName), expectedOutput);
  EXPECT_EQ(out.AudioCodec, "aac");
  EXPECT_EQ(out.AudioChannels, 2);
  EXPECT_EQ(out.AudioSampleRate, 24000);
  EXPECT_EQ(out.AudioBitrate, 128000);
  EXPECT_EQ(out.VideoCodec, "");
  EXPECT_EQ(out.VideoBitrate, 512000);
  EXPECT_EQ(out.FrameSize, "320*240 (PSP所有固件版本适用)");
  EXPECT_EQ(out.FrameRate, "29.97");
  EXPECT_EQ(out.AspectRatio, "4:3");
  EXPECT_EQ(out.AudioVolume, -1);
  EXPECT_FALSE(out.DisableVideo);
  EXPECT_EQ(out.StartTime, 0);
  EXPECT_EQ(out.RecordingTime, kUnsetTime);
  EXPECT_EQ(out.Target, 0);
  EXPECT_EQ(out.TargetNorm, 0);
  EXPECT_EQ(platform::Utf8(slot.Input.FileName), input);
  EXPECT_EQ(slot.Input.FileFormat, "");
  EXPECT_EQ(slot.Input.StartTime, 0);

  // The engine holds the task with that output.
  TTranscoder& engine = window->Engine();
  ASSERT_EQ(engine.TasksCount(), 1);
  ASSERT_EQ(engine.Task(0)->OutputCount(), 1);
  const AVFormatContext* output = engine.Task(0)->OutputFormatContext(0);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(std::string(output->url), expectedOutput);

  // Toolbar and list buttons in the state with rows.
  for (const char* on : {"btnRemove", "btnClear", "btnStart", "Button10", "Button11", "Button12", "Button13"})
    EXPECT_TRUE(Enabled(on)) << on;

  // The same file again with the first output on disk: a numbered name.
  QFile(QString::fromStdString(expectedOutput)).open(QIODevice::WriteOnly);
  AddOne(input, 507);
  ASSERT_EQ(window->Table().Rows(), 2);
  EXPECT_EQ(platform::Utf8(window->Table().Slot(1).Output.FileName),
            home.Path() + "/Video_Directory/a(New_1).mp4");
}

TEST_F(MainWindowTest, CutRangeOfASingleFileReachesBothRecords) {
  const std::string input = CopyAs(apptest::SmallClip(3.0), inputs, "cut.avi");
  AddOne(input, 512, [](app::OptionsDialog& options) {
    options.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
    options.TimeEdit(profiles::ctStartSeconds)->setText("01");
    options.TimeEdit(profiles::ctStopSeconds)->setText("02");
  });
  ASSERT_EQ(window->Table().Rows(), 1);
  EXPECT_EQ(window->Table().Slot(0).Input.StartTime, 1000000);
  EXPECT_EQ(window->Table().Slot(0).Output.RecordingTime, 1000000);
  EXPECT_EQ(window->Table().Slot(0).Output.VideoCodec, "mpeg4");
  EXPECT_EQ(window->Table().Slot(0).Output.VideoTag, "DX50");
}

TEST_F(MainWindowTest, CancelledChooserAndUnreadableFilesAddNothing) {
  const std::string input = CopyAs(apptest::SmallClip(), inputs, "a.avi");
  dialogs.files.push_back(QString::fromStdString(input));
  apptest::WhenShown(window->Chooser(),
                     [this] { window->Chooser()->findChild<QPushButton*>("Button2")->click(); });
  window->AddOneFile();
  EXPECT_EQ(window->Table().Rows(), 0);
  EXPECT_EQ(window->Engine().TasksCount(), 0);

  window->AddOneFile();  // the open dialog cancelled
  EXPECT_EQ(window->Table().Rows(), 0);

  const std::string noise = testsupport::GarbageFile("noise.avi", 8192);
  AddOne(noise, 500);
  EXPECT_EQ(window->Table().Rows(), 0);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "无法识别的音频或视频文件！" + QString::fromStdString(noise));
  EXPECT_EQ(dialogs.messages[0].Caption, "提示");
  const QStringList& log = window->LogText();
  const int failed = int(log.indexOf(QRegularExpression("^\\*\\*\\*文件打开失败 .+")));
  ASSERT_GT(failed, 0) << log.join("\n").toStdString();
  EXPECT_EQ(log[failed - 1], "");
  EXPECT_EQ(log[failed + 1], "");
}

TEST_F(MainWindowTest, SeveralFilesShareOneChoiceAndSkipUnreadableOnes) {
  const std::string x = CopyAs(apptest::SmallClip(), inputs, "x.avi");
  const std::string y = CopyAs(apptest::SmallClip(), inputs, "y.mkv");
  const std::string noise = testsupport::GarbageFile("z.avi", 8192);
  dialogs.fileLists.push_back(
      {QString::fromStdString(x), QString::fromStdString(noise), QString::fromStdString(y)});
  AnswerChoice(512, [](app::OptionsDialog& options) {
    EXPECT_FALSE(options.findChild<QCheckBox*>("CheckBox1")->isEnabled());
  });
  window->AddManyFiles();
  // Processed from the last file to the first; the unreadable one is skipped.
  EXPECT_EQ(Column(JobTable::ColSource), QStringList({QString::fromStdString(y), QString::fromStdString(x)}));
  EXPECT_EQ(Column(JobTable::ColNumber), QStringList({"1", "2"}));
  EXPECT_EQ(Column(JobTable::ColTargetFormat), QStringList({"AVI", "AVI"}));
  EXPECT_EQ(platform::Utf8(window->Table().Slot(0).Output.FileName), home.Path() + "/Video_Directory/y.avi");
  EXPECT_EQ(platform::Utf8(window->Table().Slot(1).Output.FileName), home.Path() + "/Video_Directory/x.avi");
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(window->Engine().TasksCount(), 2);

  // Two inputs with one name write two outputs, not one.
  const std::string other = testsupport::MakeTempSubdir("other");
  const std::string x2 = CopyAs(apptest::SmallClip(), other, "x.avi");
  dialogs.fileLists.push_back({QString::fromStdString(x2)});
  AnswerChoice(512);
  window->AddManyFiles();
  ASSERT_EQ(window->Table().Rows(), 3);
  EXPECT_EQ(platform::Utf8(window->Table().Slot(2).Output.FileName),
            home.Path() + "/Video_Directory/x(New_1).avi");
}

TEST_F(MainWindowTest, DroppedLocalFilesAreAddedAndOtherDropsIgnored) {
  const std::string x = CopyAs(apptest::SmallClip(), inputs, "dropped.avi");
  window->show();
  QWidget* viewport = window->JobList()->viewport();

  QMimeData web;
  web.setUrls({QUrl("https://example.invalid/a.avi")});
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &web, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &refused);
  EXPECT_FALSE(refused.isAccepted());
  QDropEvent ignoredDrop(QPointF(10, 10), Qt::CopyAction, &web, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &ignoredDrop);
  QTest::qWait(20);
  EXPECT_EQ(window->Table().Rows(), 0);

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(x))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &enter);
  EXPECT_TRUE(enter.isAccepted());
  AnswerChoice(516);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &drop);
  EXPECT_TRUE(QTest::qWaitFor([this] { return window->Table().Rows() == 1; }, 20000));
  EXPECT_EQ(Column(JobTable::ColTargetFormat), QStringList({"FLV"}));
  EXPECT_EQ(dialogs.openCalls, 0);
}

class ListTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    window->show();
    for (const char* name : {"one.avi", "two.avi", "three.avi"}) {
      paths << QString::fromStdString(CopyAs(apptest::SmallClip(), inputs, name));
      AddOne(paths.last().toStdString(), 512);
    }
    ASSERT_EQ(window->Table().Rows(), 3);
    ASSERT_EQ(window->Engine().TasksCount(), 3);
  }
  QStringList SlotInputs() const {
    QStringList names;
    for (int i = 0; i < 3; ++i)
      names << QString::fromStdString(platform::Utf8(window->Table().Slot(i).Input.FileName));
    return names;
  }
  QStringList paths;
};

TEST_F(ListTest, RemoveKeepsRowsSlotsAndTasksAligned) {
  window->SelectRow(1);
  Child<QPushButton>("Button12")->click();
  EXPECT_EQ(Column(JobTable::ColSource), QStringList({paths[0], paths[2]}));
  EXPECT_EQ(Column(JobTable::ColNumber), QStringList({"1", "2"}));
  EXPECT_EQ(SlotInputs().mid(0, 2), QStringList({paths[0], paths[2]}));
  EXPECT_EQ(window->Table().Slot(2).SlotState, "kong");
  EXPECT_EQ(window->Table().Slot(500).SlotState, "DELETED");
  EXPECT_EQ(window->Engine().TasksCount(), 2);
  EXPECT_FALSE(Enabled("btnRemove"));
  EXPECT_FALSE(Enabled("Button12"));
  EXPECT_TRUE(Enabled("btnStart"));

  // Nothing selected: the hint, and nothing changes.
  window->SelectRow(-1);
  Child<QToolButton>("btnRemove")->setEnabled(true);
  Child<QToolButton>("btnRemove")->click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "请先选择您需要删除的项目！");
  EXPECT_EQ(window->Table().Rows(), 2);

  window->SelectRow(0);
  window->RemoveSelected();
  window->SelectRow(0);
  window->RemoveSelected();
  EXPECT_EQ(window->Table().Rows(), 0);
  for (const char* off : {"btnClear", "btnStart", "Button10", "Button11", "Button13"})
    EXPECT_FALSE(Enabled(off)) << off;
}

TEST_F(ListTest, MovesCarryTheSelectionWithoutReloadingThePreview) {
  window->SelectRow(2);
  EXPECT_EQ(window->Preview()->OpenFile(), paths[2]);
  window->SelectRow(0);
  EXPECT_EQ(window->Preview()->OpenFile(), paths[0]);
  Child<QPushButton>("Button10")->click();  // the first row cannot go up
  EXPECT_EQ(Column(JobTable::ColSource), paths);

  Child<QPushButton>("Button11")->click();
  EXPECT_EQ(Column(JobTable::ColSource), QStringList({paths[1], paths[0], paths[2]}));
  EXPECT_EQ(SlotInputs(), QStringList({paths[1], paths[0], paths[2]}));
  EXPECT_EQ(window->SelectedRow(), 1);
  EXPECT_EQ(window->State().PreviewFile, paths[0].toStdString());
  EXPECT_EQ(window->Preview()->OpenFile(), paths[0]);
  EXPECT_FALSE(window->ListBusy());

  window->SelectRow(2);
  Child<QPushButton>("Button11")->click();  // the last row cannot go down
  EXPECT_EQ(Column(JobTable::ColSource), QStringList({paths[1], paths[0], paths[2]}));
  Child<QPushButton>("Button10")->click();
  EXPECT_EQ(SlotInputs(), QStringList({paths[1], paths[2], paths[0]}));
  EXPECT_EQ(window->SelectedRow(), 1);

  // A click on empty space deselects and closes the preview.
  QWidget* viewport = window->JobList()->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5));
  EXPECT_EQ(window->SelectedRow(), -1);
  EXPECT_TRUE(window->Preview()->OpenFile().isEmpty());
}

TEST_F(ListTest, ClearFreesEverySlotAndTask) {
  Child<QToolButton>("btnClear")->click();
  EXPECT_EQ(window->Table().Rows(), 0);
  EXPECT_EQ(window->Engine().TasksCount(), 0);
  for (int slot = 0; slot < JobTable::kSlotCount; ++slot)
    ASSERT_EQ(window->Table().Slot(slot).SlotState, "kong");
  EXPECT_TRUE(Enabled("btnAdd"));
  for (const char* off :
       {"btnRemove", "btnClear", "btnStart", "Button10", "Button11", "Button12", "Button13"})
    EXPECT_FALSE(Enabled(off)) << off;
}

TEST_F(MainWindowTest, AFullTableRefusesTheAdd) {
  // Fill every slot directly; job creation must then refuse.
  for (int i = 0; i < JobTable::kSlotCount; ++i) window->Table().Append({}, {}, {});
  dialogs.files.push_back(QString::fromStdString(apptest::SmallClip()));
  window->AddOneFile();
  EXPECT_EQ(dialogs.openCalls, 0);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, app::kTableFullMessage);
  EXPECT_EQ(window->Table().Rows(), JobTable::kSlotCount);
}

}  // namespace
