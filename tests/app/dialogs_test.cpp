// The format chooser, the options dialog and the password lock, driven as
// a user drives them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/format_chooser.h"
#include "app/options_dialog.h"
#include "app/password_lock.h"
#include "app_test_support.h"
#include "platform/recording_outside.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using apptest::App;
using apptest::FakeDialogs;
using namespace profiles;

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  app::WindowState state;
  FakeDialogs dialogs;
};

TEST_F(ChooserTest, OpensOnTheFirstPageWithOnlyItEnabled) {
  app::FormatChooser chooser(state);
  EXPECT_EQ(chooser.windowTitle(), "选择转换格式");
  QTabWidget* pages = chooser.Pages();
  ASSERT_EQ(pages->count(), 4);
  EXPECT_EQ(pages->tabText(0), "MPEG4与各种常用视频格式");
  EXPECT_EQ(pages->tabText(1), "智能设备常用视频格式");
  EXPECT_EQ(pages->tabText(2), "更多电脑常用视频格式");
  EXPECT_EQ(pages->tabText(3), "更多音频格式");
  EXPECT_EQ(chooser.List(0)->objectName(), "TypeList4");
  EXPECT_EQ(chooser.List(0)->count(), 27);
  EXPECT_EQ(chooser.List(1)->count(), 20);
  EXPECT_EQ(chooser.List(2)->count(), 24);
  EXPECT_EQ(chooser.List(3)->count(), 10);
  EXPECT_EQ(chooser.List(0)->item(9)->text(), "MP4视频格式（H.264编码）");
  EXPECT_EQ(chooser.List(0)->iconSize(), QSize(60, 60));
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_TRUE(chooser.List(0)->isEnabled());
  for (int page = 1; page < 4; ++page) EXPECT_FALSE(chooser.List(page)->isEnabled());
  // Every page but the audio one starts with its first row selected.
  EXPECT_TRUE(chooser.List(3)->selectedItems().isEmpty());
  EXPECT_EQ(state.OutputTypeCode, 500);
}

TEST_F(ChooserTest, TabsSelectTheirFirstRowAndDisabledListsIgnoreClicks) {
  app::FormatChooser chooser(state);
  chooser.show();
  chooser.List(0)->setCurrentRow(7);
  EXPECT_EQ(state.OutputTypeCode, 507);
  chooser.Pages()->setCurrentIndex(3);
  EXPECT_EQ(state.OutputTypeCode, 200);
  chooser.Pages()->setCurrentIndex(0);
  EXPECT_EQ(state.OutputTypeCode, 500);  // the earlier choice on this page is gone
  EXPECT_EQ(chooser.List(0)->currentRow(), 0);

  chooser.Pages()->setCurrentIndex(1);
  EXPECT_EQ(state.OutputTypeCode, 100);
  QListWidget* devices = chooser.List(1);
  const QRect second = devices->visualItemRect(devices->item(1));
  QTest::mouseClick(devices->viewport(), Qt::LeftButton, {}, second.center());
  QTest::keyClick(devices, Qt::Key_Right);
  EXPECT_EQ(devices->currentRow(), 0);
  EXPECT_EQ(state.OutputTypeCode, 100);
  chooser.hide();
}

TEST_F(ChooserTest, NoSelectionShowsTheHintAndCancelGivesTwo) {
  app::FormatChooser chooser(state);
  chooser.show();
  chooser.List(0)->clearSelection();
  EXPECT_EQ(state.OutputTypeCode, 499);
  chooser.Next();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "请选择一个要转换的类型,然后点击“下一步”按钮！");
  EXPECT_EQ(dialogs.messages[0].Caption, "提示");
  EXPECT_TRUE(chooser.isVisible());
  // A click that leaves no row selected says the same.
  QListWidget* list = chooser.List(0);
  list->setCurrentRow(3);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list->visualItemRect(list->item(3)).center());
  QTest::qWait(20);
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_EQ(dialogs.messages.size(), 2u);

  apptest::WhenShown(&chooser, [&chooser] { chooser.findChild<QPushButton*>("Button2")->click(); });
  app::OptionsDialog options(state);
  EXPECT_FALSE(chooser.ChooseAndConfigure(options));
  EXPECT_EQ(chooser.ChooseResult(), "2");
}

TEST_F(ChooserTest, CancelledOptionsReturnToTheChooser) {
  app::FormatChooser chooser(state);
  app::OptionsDialog options(state);
  int optionsShown = 0;
  // First round: options cancelled; second round: another type, confirmed.
  std::function<void()> pickNext = [&] {
    chooser.List(0)->setCurrentRow(optionsShown == 0 ? 12 : 24);
    chooser.Next();
  };
  std::function<void()> answerOptions;
  answerOptions = [&] {
    ++optionsShown;
    if (optionsShown == 1) {
      options.findChild<QPushButton*>("Button2")->click();
      apptest::WhenShown(&chooser, pickNext);
      apptest::WhenShown(&options, answerOptions);
    } else {
      options.Confirm();
    }
  };
  apptest::WhenShown(&chooser, pickNext);
  apptest::WhenShown(&options, answerOptions);
  EXPECT_TRUE(chooser.ChooseAndConfigure(options));
  EXPECT_EQ(optionsShown, 2);
  EXPECT_EQ(state.OutputTypeCode, 524);
  EXPECT_TRUE(state.Choice.Pending.AudioOnly);
}

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    state.SourceFileName = "/nowhere/a.avi";
    state.OutputFolder = "/out";
  }
  // Shows the dialog for a type, as the chooser's "下一步" does.
  void ShowFor(int code) {
    state.OutputTypeCode = code;
    dialog.show();
  }
  void Pick(TOptionListIndex list, const QString& caption) {
    QComboBox* box = dialog.Box(list);
    const int row = box->findText(caption);
    ASSERT_GE(row, 0) << caption.toStdString();
    box->setCurrentIndex(row);
    emit box->activated(row);
  }
  app::WindowState state;
  FakeDialogs dialogs;
  app::OptionsDialog dialog{state};
};

TEST_F(OptionsTest, Type500OpensWithItsDefaults) {
  ShowFor(500);
  EXPECT_EQ(dialog.windowTitle(), "选项设置");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1")->text(), "/nowhere/a.avi");
  const QStringList expected = {"Divx 5 视频压缩器", "816 kbps (高质量)", "保持原分辨率", "25",
                                "MP3音频编码器",     "128",               "44100",         "普通视频4:3模式",
                                "音量保持不变",      "立体声"};
  for (int list = 0; list < olCount; ++list)
    EXPECT_EQ(dialog.Box(TOptionListIndex(list))->currentText(), expected[list]) << list;
  EXPECT_TRUE(dialog.Box(olVideoCodec)->isEnabled());
  EXPECT_FALSE(dialog.AudioOnlyMode());
  EXPECT_EQ(state.Choice.OutputFileName, "/out/a.mp4");
  EXPECT_EQ(state.Choice.OutputExt, ".mp4");
  // The volume list has each step once.
  const QStringList volumes = Items(dialog.Box(olVolume));
  for (int step = 10; step <= 90; step += 10)
    EXPECT_EQ(volumes.count(QString("音量增加%1%").arg(step)), 1) << step;
  dialog.hide();
}

TEST_F(OptionsTest, Type209IsAudioOnlyWithAmrLists) {
  ShowFor(209);
  EXPECT_EQ(Items(dialog.Box(olAudioBitrate)),
            QStringList({"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"}));
  EXPECT_EQ(dialog.Box(olAudioBitrate)->currentText(), "7.4");
  EXPECT_EQ(Items(dialog.Box(olSampleRate)), QStringList({"8000"}));
  EXPECT_EQ(Items(dialog.Box(olChannels)), QStringList({"单声道"}));
  EXPECT_EQ(dialog.Box(olVideoCodec)->currentText(), "该格式无视频");
  for (TOptionListIndex list : {olVideoCodec, olVideoBitrate, olFrameSize, olFrameRate, olAspect})
    EXPECT_FALSE(dialog.Box(list)->isEnabled()) << list;
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("CheckBox2")->isEnabled());
  EXPECT_TRUE(dialog.AudioOnlyMode());
  dialog.Confirm();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(state.Choice.Pending.AudioOnly);
  EXPECT_EQ(state.Choice.Pending.AudioBitrate, 7400);
  EXPECT_EQ(state.Choice.Pending.AudioChannels, "1");

  // The next type turns the video choices back on.
  ShowFor(512);
  EXPECT_TRUE(dialog.Box(olVideoCodec)->isEnabled());
  EXPECT_FALSE(dialog.AudioOnlyMode());
  dialog.hide();
}

TEST_F(OptionsTest, CodecChangesReplaceListsOnlyForTheirTypes) {
  ShowFor(1);
  Pick(olVideoCodec, "Mjpeg 视频压缩器");
  EXPECT_EQ(dialog.Box(olVideoBitrate)->currentText(), "3000 kbps(高质量)");
  EXPECT_EQ(Items(dialog.Box(olVideoBitrate)).last(), "9000 kbps(极高质量)");
  Pick(olVideoCodec, "Divx 5 视频压缩器");
  EXPECT_EQ(dialog.Box(olVideoBitrate)->currentText(), "528 kbps(中等质量)");
  dialog.hide();

  ShowFor(100);
  Pick(olVideoCodec, "Divx 视频压缩器");
  EXPECT_EQ(Items(dialog.Box(olFrameSize)), QStringList({"128*96", "176*144", "352*288", "740*567"}));
  EXPECT_EQ(dialog.Box(olFrameSize)->currentText(), "176*144");
  dialog.hide();

  // Type 500 has no rule: the bit rates stay.
  ShowFor(500);
  const QStringList before = Items(dialog.Box(olVideoBitrate));
  Pick(olVideoCodec, "H264/AVC高清视频压缩器");
  EXPECT_EQ(Items(dialog.Box(olVideoBitrate)), before);
  dialog.Confirm();
  EXPECT_EQ(state.Choice.Pending.VideoCodec, "libx264");
}

TEST_F(OptionsTest, CutRangeIsCheckedAgainstTheProbedDuration) {
  testsupport::LoadConverterLibraries();
  testsupport::MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "mpeg4";
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 5.0;
  state.SourceFileName = testsupport::CachedMedia("five_seconds.avi", spec);
  dialog.PrepareCutRange(true);
  ShowFor(512);
  EXPECT_EQ(dialog.ProbedDuration(), "5");
  EXPECT_EQ(dialog.TimeEdit(ctStartSeconds)->text(), "00");
  EXPECT_EQ(dialog.TimeEdit(ctStopSeconds)->text(), "05");
  EXPECT_FALSE(dialog.TimeEdit(ctStartSeconds)->isEnabled());
  dialog.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
  EXPECT_TRUE(dialog.TimeEdit(ctStartSeconds)->isEnabled());

  dialog.TimeEdit(ctStopSeconds)->setText("06");
  dialog.Confirm();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "截取时间设置错误，不允许停止时间大于时间长度！");
  EXPECT_TRUE(dialog.isVisible());

  dialog.TimeEdit(ctStartSeconds)->setText("3");
  dialog.TimeEdit(ctStopSeconds)->setText("3");
  dialog.Confirm();
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[1].Text, "截取时间设置错误，不允许起始时间大于等于停止时间！");
  EXPECT_TRUE(dialog.isVisible());

  dialog.TimeEdit(ctStartSeconds)->setText("1");
  dialog.TimeEdit(ctStopMinutes)->clear();  // an empty edit counts as 00
  dialog.TimeEdit(ctStopSeconds)->setText("5");
  dialog.Confirm();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.TimeEdit(ctStopMinutes)->text(), "00");
  EXPECT_EQ(state.Choice.Pending.CutStart, 1000);
  EXPECT_EQ(state.Choice.Pending.CutDuration, 4000);
  EXPECT_EQ(state.Choice.CutRangeState, "Select");

  // An input the engine cannot open keeps the earlier duration; the stop
  // edits stay empty.
  state.SourceFileName = testsupport::GarbageFile("noise.avi", 4096);
  ShowFor(512);
  EXPECT_EQ(dialog.ProbedDuration(), "5");
  EXPECT_EQ(dialog.TimeEdit(ctStartHours)->text(), "00");
  EXPECT_EQ(dialog.TimeEdit(ctStopSeconds)->text(), "");
  dialog.hide();
}

TEST_F(OptionsTest, TimeEditsTakeDigitsOnly) {
  dialog.PrepareCutRange(true);
  ShowFor(512);
  dialog.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
  QLineEdit* edit = dialog.TimeEdit(ctStartMinutes);
  edit->clear();
  edit->setFocus();
  QTest::keyClicks(edit, "1a2");
  EXPECT_EQ(edit->text(), "12");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "对不起，这里只能输入数字！");
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "1");
  EXPECT_EQ(dialogs.messages.size(), 1u);
  dialog.hide();
}

TEST_F(OptionsTest, SeveralFilesDisableTheCutRangeAndPreviewUsesTheDesktop) {
  platform::RecordingOutside outside;
  dialog.PrepareCutRange(false);
  ShowFor(500);
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("CheckBox1")->isEnabled());
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("CheckBox1")->isChecked());
  dialog.findChild<QPushButton*>("Button3")->click();
  EXPECT_EQ(outside.Calls(), std::vector<std::string>({"open /nowhere/a.avi"}));
  dialog.hide();
}

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  FakeDialogs dialogs;
  platform::RecordingOutside outside;
};

TEST_F(LockTest, NoLockFileMeansNoQuestion) {
  outside.SetLockFile({false, ""});
  app::PasswordLock lock;
  EXPECT_TRUE(lock.Unlock());
  EXPECT_FALSE(lock.isVisible());
}

TEST_F(LockTest, StoredPasswordAndMasterPasswordOpenTheLock) {
  outside.SetLockFile({true, app::ScramblePassword("secret1")});
  app::PasswordLock lock;
  EXPECT_EQ(lock.windowTitle(), "密码窗口");
  EXPECT_EQ(lock.Edit()->echoMode(), QLineEdit::Password);
  for (const char* typed : {"secret1", "kqvkqv"}) {
    apptest::WhenShown(&lock, [&lock, typed] {
      EXPECT_TRUE(lock.Edit()->text().isEmpty());
      QTest::keyClicks(lock.Edit(), typed);
      lock.findChild<QPushButton*>("Button1")->click();
    });
    EXPECT_TRUE(lock.Unlock()) << typed;
  }
  EXPECT_TRUE(dialogs.messages.empty());
  // The scrambling changes every byte and is not the plain text.
  EXPECT_NE(app::ScramblePassword("secret1"), "secret1");
  EXPECT_EQ(app::ScramblePassword("").size(), 0u);
  EXPECT_TRUE(app::PasswordAccepted("", ""));
}

TEST_F(LockTest, WrongPasswordAndQuitEndTheProgram) {
  outside.SetLockFile({true, app::ScramblePassword("secret1")});
  app::PasswordLock lock;
  apptest::WhenShown(&lock, [&lock] {
    QTest::keyClicks(lock.Edit(), "secret2");
    lock.findChild<QPushButton*>("Button1")->click();
  });
  EXPECT_FALSE(lock.Unlock());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].Text, "输入的密码错误,请和本机管理人员联系！");
  EXPECT_EQ(dialogs.messages[0].Caption, "错误");
  EXPECT_EQ(dialogs.messages[0].Icon, app::MessageIcon::Error);

  apptest::WhenShown(&lock, [&lock] { lock.findChild<QPushButton*>("Button2")->click(); });
  EXPECT_FALSE(lock.Unlock());
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

}  // namespace
