// The media information: the cutting rules on the description text, and
// the dialog for audio-only, video-only and six-channel files.
#include "app/media_info.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/media_info_dialog.h"
#include "app_test_support.h"
#include "platform/code_page.h"
#include "platform/recording_outside.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

TEST(MediaInfoTextTest, CutsTheDescriptionAsDisplayed) {
  const std::string text =
      "File Name: /v/a.avi\r\nFile Size: 12.3 MB\r\nDuration: 00:03:25.480\r\nStartTime: 00:00:00.000\r\n"
      "Bit Rate: 1411 kb/s\r\nStream #0.0: Video: mpeg4, yuv420p, 160x120, StartTime: 0.000\r\n"
      "Stream #0.1: Audio: pcm_s16le, 44100 Hz, stereo, StartTime: 0.000\r\n";
  const app::InfoTextParts parts = app::CutInfoText(text);
  EXPECT_EQ(parts.Duration, " 00:03:25");
  EXPECT_EQ(parts.BitRate, " 1411 kb/s");
  EXPECT_EQ(parts.Size, " 12.3 MB\r\n");
  EXPECT_EQ(parts.VideoLine, "Video: mpeg4, yuv420p, 160x120");
  EXPECT_EQ(parts.AudioLine, "Audio: pcm_s16le, 44100 Hz, stereo");

  // Without a video stream the line runs from the start: shown as "无".
  const std::string audioOnly =
      "File Name: /v/a.mp3\r\nDuration: 00:00:02.000\r\nStartTime: 00:00:00.000\r\n"
      "Stream #0.0: Audio: mp3, 44100 Hz, StartTime: 0.000\r\n";
  const app::InfoTextParts audio = app::CutInfoText(audioOnly);
  EXPECT_EQ(audio.VideoLine.rfind("File Name", 0), 0u);
  EXPECT_EQ(app::StreamLineText(audio.VideoLine), "无");
  EXPECT_EQ(app::StreamLineText(""), "无");
  EXPECT_EQ(app::CutInfoText("").Duration, "");

  // A file without start times: the lines end at the duration.
  const std::string wav =
      "File Name: /v/a.wav\r\nFile Size: 344.61 KB\r\nDuration: 00:00:02.000\r\nBit Rate: 601 kb/s\r\n"
      "Stream #0, 1/44100: Audio: pcm_s16le, 44100 Hz, 2 channels, Duration: 00:00:02.000\r\n";
  const app::InfoTextParts plain = app::CutInfoText(wav);
  EXPECT_EQ(plain.Duration, " 00:00:02");
  EXPECT_EQ(plain.BitRate, " 601 kb/s");
  EXPECT_EQ(plain.AudioLine, "Audio: pcm_s16le, 44100 Hz, 2 channels");
  EXPECT_EQ(app::StreamLineText(plain.VideoLine), "无");
}

TEST(MediaInfoTextTest, ChannelsAndFrameRates) {
  EXPECT_EQ(app::ChannelsText(1), "单声道");
  EXPECT_EQ(app::ChannelsText(2), "立体声");
  EXPECT_EQ(app::ChannelsText(6), "6 声道");
  EXPECT_EQ(app::FrameRateText(30000, 1001), "29.97");
  EXPECT_EQ(app::FrameRateText(25, 0), "未知");
  EXPECT_EQ(app::FrameRateText(-1, -1), "未知");
}

class MediaInfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::App();
    testsupport::LoadConverterLibraries();
    window = std::make_unique<app::MainWindow>(testsupport::MakeTempSubdir("program"));
  }
  void TearDown() override {
    window->close();
    window.reset();
  }
  // Puts the file in the list and shows its information; returns the labels.
  std::map<QString, QString> InfoOf(const std::string& path) {
    app::JobRow row;
    row.InputPath = QString::fromStdString(path);
    const int added = window->Table().Append(row, {}, {});
    window->SelectRow(added);
    std::map<QString, QString> labels;
    app::MediaInfoDialog* dialog = window->MediaInfo();
    apptest::WhenShown(dialog, [dialog, &labels] {
      for (const char* caption :
           {"文件名：", "文件格式：", "播放时长：", "文件扩展名：", "视频分辨率：", "视频帧率：",
            "视频比特率：", "视频流信息：", "音频采样率：", "音频声道：", "音频流信息："})
        labels[QString::fromUtf8(caption)] = dialog->Value(QString::fromUtf8(caption))->text();
      dialog->findChild<QPushButton*>("Button1")->click();
    });
    window->findChild<QPushButton*>("Button14")->click();
    return labels;
  }
  apptest::ScopedHome home;
  apptest::FakeDialogs dialogs;
  platform::RecordingOutside outside;
  std::unique_ptr<app::MainWindow> window;
};

TEST_F(MediaInfoWindowTest, AudioOnlyFile) {
  auto labels = InfoOf(testsupport::WavPcm());
  EXPECT_EQ(window->MediaInfo()->windowTitle(), "视频信息提示");
  EXPECT_EQ(labels["文件扩展名："], ".wav");
  EXPECT_EQ(labels["文件格式："], "wav");
  EXPECT_EQ(labels["播放时长："], " 00:00:02");
  EXPECT_EQ(labels["视频流信息："], "无");
  EXPECT_EQ(labels["视频分辨率："], "-1*-1");
  EXPECT_EQ(labels["视频比特率："], "0  kbps");
  EXPECT_EQ(labels["音频采样率："], "44100");
  EXPECT_EQ(labels["音频声道："], "立体声");
  EXPECT_TRUE(labels["音频流信息："].startsWith("Audio:")) << labels["音频流信息："].toStdString();
}

TEST_F(MediaInfoWindowTest, VideoOnlyAndSixChannelFiles) {
  testsupport::MediaSpec video;
  video.container = "avi";
  video.videoCodec = "mpeg4";
  video.width = 176;
  video.height = 144;
  video.seconds = 1.0;
  auto labels = InfoOf(testsupport::CachedMedia("video_only.avi", video));
  EXPECT_EQ(labels["视频分辨率："], "176*144");
  EXPECT_EQ(labels["视频帧率："], "25.00");
  EXPECT_TRUE(labels["视频流信息："].startsWith("Video:")) << labels["视频流信息："].toStdString();
  EXPECT_EQ(labels["音频流信息："], "无");

  testsupport::MediaSpec six;
  six.container = "wav";
  six.audioCodecs = {"pcm_s16le"};
  six.channels = 6;
  six.seconds = 1.0;
  labels = InfoOf(testsupport::CachedMedia("six.wav", six));
  EXPECT_EQ(labels["音频声道："], "6 声道");

  // No selection: nothing is shown.
  window->SelectRow(-1);
  window->ShowMediaInfo();
  EXPECT_FALSE(window->MediaInfo()->isVisible());
}

}  // namespace
