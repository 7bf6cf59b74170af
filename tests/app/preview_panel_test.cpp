// The preview panel with the player on SDL's dummy drivers: opening paused on
// the first picture, snapshots named, saved and read back in each format,
// the snapshot settings with their fall-backs, the buttons and the seek bar.
#include "app/preview_panel.h"

#include <chrono>
#include <fstream>

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "app/preview_buttons.h"
#include "app/settings.h"
#include "app_test_support.h"
#include "decoded_image.h"
#include "platform/ini_file.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "platform/recording_outside.h"
#include "player/player.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using apptest::App;

constexpr char kSnapshotText[] = "已经为您捕获视频快照，您可以点击“快照设置”按钮打开快照目录查看图片。";

std::string Clip() {
  testsupport::MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "mpeg4";
  spec.width = 176;
  spec.height = 144;
  spec.audioCodecs = {"pcm_s16le"};
  spec.seconds = 2.0;
  return testsupport::CachedMedia("panel_clip.avi", spec);
}

class PreviewPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    testsupport::LoadPlayerLibraries();
    program = testsupport::MakeTempSubdir("program");
    settings = std::make_unique<app::AppSettings>(program);
    panel = std::make_unique<app::PreviewPanel>(*settings);
    app::PreviewPanel::Hooks hooks;
    hooks.Log = [this](const std::string& line) { log.push_back(line); };
    hooks.ShowStatus = [this](const QString& text) { status = text; };
    hooks.FocusList = [this] { ++focusCalls; };
    hooks.RowSelected = [this] { return rowSelected; };
    panel->SetHooks(hooks);
    panel->show();
    // The clip under the name a user gave it.
    input = testsupport::MakeTempSubdir("inputs") + "/a.avi";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Clip()), QString::fromStdString(input)));
  }
  void TearDown() override {
    panel.reset();
    settings.reset();
  }

  bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::WaitServingMainThread([&] { return done() || std::chrono::steady_clock::now() > until; }, 5);
    return done();
  }
  // Opens the input and waits until its first picture is held.
  void OpenPaused() {
    panel->OpenPreview(QString::fromStdString(input));
    ASSERT_TRUE(WaitFor([&] { return panel->Player().State() == psPause; })) << ::testing::PrintToString(log);
  }
  std::string SnapshotFolder() const { return home.Path() + "/Video_Directory/快照"; }
  QString CheckedFormat() const {
    for (QAction* a : panel->SnapshotMenu()->actions())
      if (a->menu())
        for (QAction* entry : a->menu()->actions())
          if (entry->isChecked()) return entry->text();
    return {};
  }
  QAction* MenuEntry(const QString& text) const {
    for (QAction* a : panel->SnapshotMenu()->actions()) {
      if (a->text() == text) return a;
      if (a->menu())
        for (QAction* entry : a->menu()->actions())
          if (entry->text() == text) return entry;
    }
    return nullptr;
  }
  platform::IniFile Ini() const { return platform::IniFile(settings->IniPath()); }

  apptest::ScopedHome home;
  platform::RecordingOutside outside;
  apptest::FakeDialogs dialogs;
  std::string program, input;
  std::unique_ptr<app::AppSettings> settings;
  std::unique_ptr<app::PreviewPanel> panel;
  std::vector<std::string> log;
  QString status;
  int focusCalls = 0;
  bool rowSelected = true;
};

TEST_F(PreviewPanelTest, OpensPausedOnTheFirstPictureAndSetsTheSeekBar) {
  panel->SeekBar()->setValue(100);
  OpenPaused();
  EXPECT_EQ(panel->Video()->size(), QSize(313, 190));
  EXPECT_TRUE(panel->Video()->Screen()->isVisible());
  EXPECT_GT(panel->PreviewDuration(), 1900000);
  EXPECT_EQ(panel->SeekBar()->maximum(), 313);
  EXPECT_EQ(panel->SeekBar()->tickInterval(), 5);
  EXPECT_EQ(panel->SeekBar()->value(), 0);
  int64_t pts = -1;
  panel->Player().CurrentFrame(pts);
  EXPECT_EQ(pts, 0);

  panel->ClosePreview();
  EXPECT_FALSE(panel->Video()->Screen()->isVisible());
  EXPECT_EQ(panel->Player().State(), psStop);
}

TEST_F(PreviewPanelTest, TwoBmpSnapshotsAreNumberedAndShowTheDecodedPicture) {
  OpenPaused();  // no sounds/cam.wav yet
  const QString first = panel->TakeSnapshot();
  EXPECT_EQ(status, kSnapshotText);
  EXPECT_TRUE(outside.Calls().empty());  // no sound file, still saved

  QDir().mkpath(QString::fromStdString(program + "/sounds"));
  std::ofstream(program + "/sounds/cam.wav") << "RIFF";
  const QString second = panel->TakeSnapshot();
  EXPECT_EQ(first.toStdString(), SnapshotFolder() + "/a_1.bmp");
  EXPECT_EQ(second.toStdString(), SnapshotFolder() + "/a_2.bmp");
  EXPECT_EQ(outside.Calls(), std::vector<std::string>({"sound " + program + "/sounds/cam.wav"}));
  EXPECT_EQ(Ini().ReadString("SnapShot", "Dir"), SnapshotFolder());
  EXPECT_EQ(Ini().ReadString("SnapShot", "Picture"), "BMP");

  // The saved picture is the file's first picture, decoded independently.
  int width = 0, height = 0;
  const auto frames = testsupport::DecodeVideoFrames(input, 1, &width, &height);
  ASSERT_EQ(frames.size(), 1u);
  const apptest::DecodedImage saved = apptest::DecodeBmp(second.toStdString());
  EXPECT_LT(apptest::MeanDifference(saved, frames[0].data(), width, height, width * 3), 2.0);
}

TEST_F(PreviewPanelTest, EachFormatFromTheMenuDecodesToThePictureSize) {
  OpenPaused();
  const struct {
    const char* entry;
    const char* stored;
    const char* extension;
    apptest::DecodedImage (*decode)(const std::string&);
  } cases[] = {{"JPG图片", "JPG", ".jpg", apptest::DecodeJpeg},
               {"GIF图片", "GIF", ".gif", apptest::DecodeGif},
               {"PNG图片", "PNG", ".png", apptest::DecodePng}};
  for (const auto& c : cases) {
    QAction* entry = MenuEntry(QString::fromUtf8(c.entry));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_EQ(Ini().ReadString("SnapShot", "Picture"), c.stored);
    const std::string path = panel->TakeSnapshot().toStdString();
    EXPECT_EQ(path, SnapshotFolder() + "/a_1" + c.extension);
    const apptest::DecodedImage image = c.decode(path);
    ASSERT_TRUE(image.ok) << path;
    EXPECT_EQ(image.width, 176);
    EXPECT_EQ(image.height, 144);
    EXPECT_EQ(CheckedFormat(), QString::fromUtf8(c.entry));
  }
}

TEST_F(PreviewPanelTest, UnknownOrMissingSettingsFallBackAndAreWrittenBack) {
  OpenPaused();
  MenuEntry("PNG图片")->trigger();
  Ini().WriteString("SnapShot", "Picture", "TIFF");
  Ini().WriteString("SnapShot", "Dir", "Error");
  const std::string path = panel->TakeSnapshot().toStdString();
  EXPECT_EQ(path, SnapshotFolder() + "/a_1.bmp");
  EXPECT_EQ(Ini().ReadString("SnapShot", "Picture"), "BMP");
  EXPECT_EQ(Ini().ReadString("SnapShot", "Dir"), SnapshotFolder());
  EXPECT_EQ(CheckedFormat(), "BMP图片");

  // A stored folder that is missing is created.
  const std::string chosen = home.Path() + "/shots/new";
  Ini().WriteString("SnapShot", "Dir", chosen);
  EXPECT_EQ(panel->TakeSnapshot().toStdString(), chosen + "/a_1.bmp");
}

TEST_F(PreviewPanelTest, NothingOpenSavesNothingAndAFailedOpenGoesToTheLog) {
  QDir().mkpath(QString::fromStdString(program + "/sounds"));
  std::ofstream(program + "/sounds/cam.wav") << "RIFF";
  EXPECT_TRUE(panel->TakeSnapshot().isEmpty());
  EXPECT_TRUE(status.isEmpty());
  EXPECT_TRUE(outside.Calls().empty());
  EXPECT_TRUE(QDir(QString::fromStdString(SnapshotFolder())).isEmpty());

  const std::string garbage = testsupport::GarbageFile("panel_garbage.avi", 4096);
  panel->OpenPreview(QString::fromStdString(garbage));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), panel->Player().LastErrMsg());
  EXPECT_FALSE(panel->Video()->Screen()->isVisible());
  EXPECT_TRUE(panel->TakeSnapshot().isEmpty());
}

TEST_F(PreviewPanelTest, ButtonsDriveThePlayer) {
  OpenPaused();
  QTest::mouseClick(panel->findChild<app::ImageButton*>("PlayButton"), Qt::LeftButton);
  EXPECT_EQ(panel->Player().State(), psResume);
  QTest::mouseClick(panel->findChild<app::ImageButton*>("PauseButton"), Qt::LeftButton);
  EXPECT_EQ(panel->Player().State(), psPause);
  EXPECT_EQ(focusCalls, 2);

  auto* mute = panel->findChild<app::ImageButton*>("MuteButton");
  QTest::mouseClick(mute, Qt::LeftButton);
  EXPECT_TRUE(panel->Player().Mute());
  EXPECT_EQ(mute->Glyph(), app::PreviewGlyph::Muted);
  QTest::mouseClick(mute, Qt::LeftButton);
  EXPECT_FALSE(panel->Player().Mute());
  EXPECT_EQ(mute->Glyph(), app::PreviewGlyph::Sound);

  // Stop returns to the start, paused; without a selected row it does nothing.
  panel->Player().Seek(0, true, 1000000);
  QTest::mouseClick(panel->findChild<app::ImageButton*>("StopButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return panel->Player().State() == psPause; }));
  int64_t pts = -1;
  panel->Player().CurrentFrame(pts);
  EXPECT_EQ(pts, 0);
  rowSelected = false;
  panel->Player().Resume();
  QTest::mouseClick(panel->findChild<app::ImageButton*>("StopButton"), Qt::LeftButton);
  EXPECT_EQ(panel->Player().State(), psResume);
}

TEST_F(PreviewPanelTest, ReleasingTheSeekBarPlaysFromThatPosition) {
  OpenPaused();
  QSlider* bar = panel->SeekBar();
  const QPoint at(bar->width() * 3 / 4, bar->height() / 2);
  QTest::mousePress(bar, Qt::LeftButton, {}, at);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
  EXPECT_GT(bar->value(), 200);
  EXPECT_EQ(panel->Player().State(), psResume);
  const int64_t target = panel->PreviewDuration() * bar->value() / bar->maximum();
  // The picture moves to the key picture before the target, then on.
  ASSERT_TRUE(WaitFor([&] {
    int64_t pts = -1;
    panel->Player().CurrentFrame(pts);
    return pts >= target - 500000;
  })) << target;
}

TEST_F(PreviewPanelTest, SnapshotMenuFoldersAndHighlightedButtons) {
  MenuEntry("打开快照目录")->trigger();
  EXPECT_EQ(outside.Calls(), std::vector<std::string>({"open " + SnapshotFolder()}));
  EXPECT_TRUE(platform::IsExistingFolder(SnapshotFolder()));

  MenuEntry("设置快照目录")->trigger();  // cancelled
  EXPECT_EQ(dialogs.folderTitles, QStringList({"选择快照文件存放目录"}));
  EXPECT_EQ(Ini().ReadString("SnapShot", "Dir"), SnapshotFolder());
  const std::string chosen = testsupport::MakeTempSubdir("chosen");
  dialogs.folders.push_back(QString::fromStdString(chosen));
  MenuEntry("设置快照目录")->trigger();
  EXPECT_EQ(Ini().ReadString("SnapShot", "Dir"), chosen);

  // The highlighted pictures differ from the resting ones, and muted from sound.
  for (auto glyph : {app::PreviewGlyph::Play, app::PreviewGlyph::Sound, app::PreviewGlyph::Muted})
    EXPECT_NE(app::PreviewButtonPicture(glyph, false).toImage(),
              app::PreviewButtonPicture(glyph, true).toImage());
  EXPECT_NE(app::PreviewButtonPicture(app::PreviewGlyph::Sound, false).toImage(),
            app::PreviewButtonPicture(app::PreviewGlyph::Muted, false).toImage());
  auto* play = panel->findChild<app::ImageButton*>("PlayButton");
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(play, &enter);
  EXPECT_TRUE(play->Hot());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(play, &leave);
  EXPECT_FALSE(play->Hot());
}

}  // namespace
