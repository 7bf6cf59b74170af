// Preview windows of converting tasks: made, drawn and destroyed on the
// main thread for tasks running on workers; closing one window stops only
// that task's previews; without a host nothing is shown.
#include "engine/preview_window.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <QApplication>
#include <gtest/gtest.h>

#include "app/preview_window_qt.h"
#include "app_test_support.h"
#include "engine/transcoder.h"
#include "media/ffmpeg_logger.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using apptest::App;

// A picture of one colour, 24-bit BGR with rows padded to 4 bytes.
struct Picture {
  int width, height, stride;
  std::vector<uint8_t> bits;
  Picture(int w, int h, uint8_t b, uint8_t g, uint8_t r) : width(w), height(h), stride((w * 3 + 3) & ~3) {
    bits.assign(size_t(stride) * size_t(h), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &bits[size_t(y) * size_t(stride) + size_t(x) * 3];
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
  }
  bool Show(TPreviewWindow& window, int32_t frame, int64_t pts) const {
    return window.Show(bits.data(), width, height, stride, frame, pts);
  }
};

class PreviewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();  // with the main-thread bridge: the waits below serve the windows
    host.Register();
  }

  // Runs fn on a worker thread, the way a task's thread calls the preview,
  // while this (main) thread serves its calls and the window events.
  void OnWorker(const std::function<void()>& fn) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      fn();
      done = true;
    });
    platform::WaitServingMainThread([&] { return done.load(); });
    worker.join();
    QCoreApplication::processEvents();
  }

  QtPreviewHost host;
};

}  // namespace

TEST_F(PreviewWindowTest, WorkerPicturesAreDrawnInAnAlwaysOnTopToolWindow) {
  TPreviewWindow preview;
  std::vector<bool> shown;
  OnWorker([&] {
    for (int i = 0; i < 3; ++i)
      shown.push_back(Picture(63, 47, 0, 0, uint8_t(100 + i)).Show(preview, i + 1, i * 1500000));
  });
  EXPECT_EQ(shown, (std::vector<bool>{true, true, true}));
  ASSERT_EQ(host.WindowCount(), 1);
  PreviewWidget* window = host.Window(&preview);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->windowFlags() & Qt::Tool);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->size(), QSize(63, 47));
  EXPECT_EQ(window->windowTitle(), "00:00:03.000");
  EXPECT_EQ(window->Picture().pixelColor(62, 46), QColor(102, 0, 0));
  const QImage grabbed = window->grab().toImage();
  EXPECT_EQ(grabbed.pixelColor(10, 10), QColor(102, 0, 0));

  OnWorker([&] { preview.Close(); });
  EXPECT_EQ(host.WindowCount(), 0);
  // A picture after Close makes a new window.
  OnWorker([&] { shown.push_back(Picture(32, 16, 9, 9, 9).Show(preview, 4, 6000000)); });
  EXPECT_TRUE(shown.back());
  ASSERT_NE(host.Window(&preview), nullptr);
  EXPECT_EQ(host.Window(&preview)->size(), QSize(32, 16));
}

TEST_F(PreviewWindowTest, ClosingOneWindowStopsOnlyThatTasksPreviews) {
  TPreviewWindow first, second;
  const Picture picture(40, 30, 10, 20, 30);
  OnWorker([&] {
    EXPECT_TRUE(picture.Show(first, 1, 0));
    EXPECT_TRUE(picture.Show(second, 1, 0));
  });
  ASSERT_EQ(host.WindowCount(), 2);
  host.Window(&first)->close();  // the user closes the first task's window
  QCoreApplication::processEvents();
  bool firstShown = true, secondShown = false, firstAgain = true;
  OnWorker([&] {
    firstShown = picture.Show(first, 2, 40000);
    secondShown = picture.Show(second, 2, 40000);
    firstAgain = picture.Show(first, 3, 80000);  // answered without the main thread
  });
  EXPECT_FALSE(firstShown);
  EXPECT_FALSE(firstAgain);
  EXPECT_TRUE(first.ClosedByUser());
  EXPECT_TRUE(secondShown);
  EXPECT_EQ(host.Window(&second)->windowTitle(), "00:00:00.040");
}

TEST_F(PreviewWindowTest, WithoutAHostNothingIsShownAndTheLogSaysSoOnce) {
  RegisterPreviewHost(nullptr);
  std::vector<std::string> lines;
  DefaultLogger().SetOnLog([&](const void*, uint32_t, TLogLevel, const std::string& text) {
    if (text.find("Preview window") != std::string::npos) lines.push_back(text);
  });
  TPreviewWindow a, b;
  const Picture picture(8, 8, 1, 2, 3);
  // No main-thread service here: without a host nothing waits for it.
  EXPECT_FALSE(picture.Show(a, 1, 0));
  EXPECT_FALSE(picture.Show(b, 1, 0));
  DefaultLogger().SetOnLog(nullptr);
  EXPECT_LE(lines.size(), 1u);  // once per program (an earlier test may have said it)
  EXPECT_EQ(host.WindowCount(), 0);
}

namespace {

// Counts what a conversion shows, per window.
class CountingHost : public QtPreviewHost {
 public:
  std::map<const void*, int> frames;
  std::vector<QSize> sizes;
  bool ShowPreviewFrame(const void* owner, const TPreviewFrame& frame) override {
    ++frames[owner];
    sizes.push_back(QSize(frame.Width, frame.Height));
    return QtPreviewHost::ShowPreviewFrame(owner, frame);
  }
};

}  // namespace

TEST(PreviewConversion, ConvertingTaskShowsItsPicturesAndReleasingItClosesTheWindow) {
  App();
  testsupport::LoadConverterLibraries();
  CountingHost host;
  host.Register();
  const std::string input = testsupport::AviMpeg4Mp3();
  ASSERT_FALSE(input.empty());
  {
    TTranscoder engine;
    engine.SetPreview(true);
    std::atomic<bool> batchEnded{false};
    std::mutex errorLock;
    std::string error;  // guarded by errorLock
    engine.SetOnTerminate([&](TCustomTranscoder*, const TTerminateInfo& info) {
      if (info.TaskIndex < 0) {
        batchEnded = true;
      } else if (!info.Finished || info.Exception) {
        std::lock_guard<std::mutex> guard(errorLock);
        error = "task ended with: " + info.ExceptionMsg;
      }
    });
    ASSERT_EQ(engine.AddTask(platform::Widen(input)), 0) << engine.LastErrMsg();
    TOutputOptions options;
    options.VideoCodec = "mpeg4";
    options.FrameSize = "160x120";
    options.DisableAudio = true;
    ASSERT_TRUE(engine.SetOutputFile(0, platform::Widen(testsupport::TempPath("previewed.avi")), &options))
        << engine.LastErrMsg();
    engine.StartTask(1);  // on a worker; this thread serves the windows
    platform::WaitServingMainThread([&] { return batchEnded.load(); });
    {
      std::lock_guard<std::mutex> guard(errorLock);
      EXPECT_EQ(error, "");
    }
    ASSERT_EQ(host.frames.size(), 1u);
    EXPECT_GE(host.frames.begin()->second, 1);
    for (const QSize& size : host.sizes) EXPECT_EQ(size, QSize(160, 120));
    // The task released its files and its window when its run ended.
    EXPECT_EQ(host.WindowCount(), 0);
  }
  EXPECT_EQ(host.WindowCount(), 0);
}
