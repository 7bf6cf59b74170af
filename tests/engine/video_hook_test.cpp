// Video hook libraries: argument splitting, loading once per process, the
// entry-point rules and their messages, pictures changed in place, and a
// conversion whose frames a hook inverted.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

#include "engine/custom_ffmpeg.h"
#include "engine/transcoder.h"
#include "engine/video_hooks.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/code_page.h"
#include "support/media_libraries.h"
#include "support/test_media.h"
#include "context_fixture.h"

namespace {

const std::string kInvertHook = INVERT_HOOK_PATH;
const std::string kPlainHook = PLAIN_HOOK_PATH;
const std::string kBrokenHook = BROKEN_HOOK_PATH;

// Error lines the logger receives while it lives.
struct ErrorLines {
  std::mutex lock;
  std::vector<std::string> lines;  // guarded by lock
  ErrorLines() {
    DefaultLogger().SetOnLog([this](const void*, uint32_t, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> guard(lock);
      if (level == llError) lines.push_back(text);
    });
  }
  ~ErrorLines() { DefaultLogger().SetOnLog(nullptr); }
  bool Has(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock);
    for (const std::string& l : lines)
      if (l == text) return true;
    return false;
  }
};

// The test functions of the invert hook (the engine's load is the same
// module: dlopen hands out the one already loaded).
template <typename Fn>
Fn HookFunction(const char* name) {
  void* module = dlopen(kInvertHook.c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(module, nullptr);
  Fn fn = module ? reinterpret_cast<Fn>(dlsym(module, name)) : nullptr;
  if (module) dlclose(module);
  return fn;
}
int HookCount(const char* name) {
  auto fn = HookFunction<int (*)()>(name);
  return fn ? fn() : -1;
}
std::string HookArgs() {
  auto fn = HookFunction<const char* (*)()>("HookTestLastArgs");
  return fn ? fn() : "";
}

class VideoHookTest : public enginetest::ContextTest {
 protected:
};

// A 4:2:0 picture of 8 × 4 with every byte set to value.
AVFrame* Picture(uint8_t value) {
  AVFrame* f = lib::av_frame_alloc();
  f->width = 8;
  f->height = 4;
  f->format = AV_PIX_FMT_YUV420P;
  lib::av_frame_get_buffer(f, 0);
  for (int p = 0; p < 3; ++p)
    for (int y = 0; y < (p ? 2 : 4); ++y)
      for (int x = 0; x < (p ? 4 : 8); ++x) f->data[p][y * f->linesize[p] + x] = value;
  return f;
}

}  // namespace

TEST(VideoHookArguments, SplitAtBarsWhenThereAreAnyElseAtSpaces) {
  using videohooks::SplitCommandLine;
  EXPECT_EQ(SplitCommandLine("/hooks/logo.so|-i|logo.png"),
            (std::vector<std::string>{"/hooks/logo.so", "-i", "logo.png"}));
  EXPECT_EQ(SplitCommandLine("/hooks/logo.so -i  logo.png "),
            (std::vector<std::string>{"/hooks/logo.so", "-i", "logo.png"}));
  EXPECT_EQ(SplitCommandLine("/my hooks/logo.so|-t|a b"),
            (std::vector<std::string>{"/my hooks/logo.so", "-t", "a b"}));
  EXPECT_TRUE(SplitCommandLine("  ").empty());
  std::string many = "lib.so";
  for (int i = 0; i < 300; ++i) many += " x";
  EXPECT_EQ(SplitCommandLine(many).size(), size_t(videohooks::kMaxArguments));
}

TEST_F(VideoHookTest, ConfigureGetsTheArgumentsAndTheLibraryLoadsOnce) {
  ASSERT_EQ(Failure("vhook", kInvertHook + "|-i|logo.png"), "(no failure)");
  EXPECT_TRUE(task.Options().VideoHookAdded);
  EXPECT_EQ(HookArgs(), kInvertHook + ";-i;logo.png");
  const size_t loaded = videohooks::LoadedLibraryCount();

  TCustomFFmpeg other;
  other.ResetTask();
  ASSERT_TRUE(other.AddVideoHook(kInvertHook + " -x"));
  EXPECT_EQ(HookArgs(), kInvertHook + ";-x");
  EXPECT_EQ(videohooks::LoadedLibraryCount(), loaded);  // the same library for the second task

  const int released = HookCount("HookTestReleaseCount");
  other.ReleaseVideoHooks();
  EXPECT_EQ(HookCount("HookTestReleaseCount"), released + 1);
  task.ReleaseVideoHooks();
  EXPECT_EQ(HookCount("HookTestReleaseCount"), released + 2);
  EXPECT_FALSE(task.Options().VideoHookAdded);
}

TEST_F(VideoHookTest, ProcessChangesThePictureInPlaceAndNeverASharedOne) {
  AVFrame* frame = Picture(10);
  task.ProcessVideoHooks(frame, AV_PIX_FMT_YUV420P, 8, 4, 0);  // no hooks: untouched
  EXPECT_EQ(frame->data[0][0], 10);

  ASSERT_TRUE(task.AddVideoHook(kInvertHook));
  ASSERT_TRUE(task.AddVideoHook(kPlainHook));  // only Process, no arguments: accepted
  ASSERT_TRUE(task.AddVideoHook(kInvertHook));
  const int before = HookCount("HookTestProcessCount");
  task.ProcessVideoHooks(frame, AV_PIX_FMT_YUV420P, 8, 4, 40000);
  EXPECT_EQ(frame->data[0][7], 245);  // inverted three times
  EXPECT_EQ(frame->data[2][frame->linesize[2] + 3], 245);
  EXPECT_EQ(HookCount("HookTestProcessCount"), before + 2);

  // A picture that another reference (a decoder's) still holds is copied first.
  AVFrame* shared = lib::av_frame_clone(frame);
  task.ProcessVideoHooks(frame, AV_PIX_FMT_YUV420P, 8, 4, 80000);
  EXPECT_EQ(frame->data[0][0], 10);
  EXPECT_EQ(shared->data[0][0], 245);

  uint8_t* planes[4] = {shared->data[0], shared->data[1], shared->data[2], nullptr};
  int lines[4] = {shared->linesize[0], shared->linesize[1], shared->linesize[2], 0};
  task.ProcessVideoHooks(planes, lines, AV_PIX_FMT_YUV420P, 8, 4, 120000);
  EXPECT_EQ(shared->data[1][0], 10);
  lib::av_frame_free(&shared);
  lib::av_frame_free(&frame);
}

TEST_F(VideoHookTest, RefusedLibrariesSayWhy) {
  ErrorLines log;
  EXPECT_EQ(Failure("vhook", kBrokenHook), "Failed to add video hook function: " + kBrokenHook);
  EXPECT_TRUE(log.Has("Failed to find Process entrypoint in " + kBrokenHook));

  EXPECT_EQ(Failure("vhook", kPlainHook + "|-i|x"), "Failed to add video hook function: " + kPlainHook + "|-i|x");
  EXPECT_TRUE(log.Has("Failed to find Configure entrypoint in " + kPlainHook));

  EXPECT_EQ(Failure("vhook", kInvertHook + " fail"), "Failed to add video hook function: " + kInvertHook + " fail");
  EXPECT_TRUE(log.Has("Failed to Configure " + kInvertHook));

  const std::string missing = testsupport::TempPath("no_such_hook.so");
  EXPECT_EQ(Failure("vhook", missing), "Failed to add video hook function: " + missing);
  bool reasonLogged = false;
  {
    std::lock_guard<std::mutex> guard(log.lock);
    for (const std::string& l : log.lines) reasonLogged |= l.find("no_such_hook.so") != std::string::npos;
  }
  EXPECT_TRUE(reasonLogged);
  EXPECT_FALSE(task.Options().VideoHookAdded);
}

// ---- conversions ----

namespace {

struct RunResult {
  bool finished = false;
  std::string error;
};

RunResult Convert(const std::string& input, const std::string& output, const std::string& options) {
  TTranscoder engine;
  RunResult result;
  engine.SetOnTerminate([&](TCustomTranscoder*, const TTerminateInfo& info) {
    if (info.TaskIndex < 0) return;
    result.finished = info.Finished && !info.Exception;
    result.error = info.ExceptionMsg;
  });
  if (engine.AddTask(platform::Widen(input)) != 0) {
    result.error = engine.LastErrMsg();
    return result;
  }
  TOutputOptions record;
  record.ExtraOptions = options;
  if (!engine.SetOutputFile(0, platform::Widen(output), &record)) {
    result.error = engine.LastErrMsg();
    return result;
  }
  engine.StartTask(0);
  return result;
}

double Mean(const std::vector<uint8_t>& gray) {
  double sum = 0;
  for (uint8_t v : gray) sum += v;
  return gray.empty() ? 0 : sum / double(gray.size());
}

}  // namespace

TEST(VideoHookConversion, EveryOutputFrameIsInverted) {
  testsupport::LoadConverterLibraries();
  const std::string input = testsupport::AviMpeg4Mp3();
  const std::string output = testsupport::TempPath("hooked.avi");
  const RunResult r = Convert(input, output, "vcodec=mpeg4<CRLF>qscale=2<CRLF>vhook=" + kInvertHook);
  ASSERT_TRUE(r.finished) << r.error;

  int w = 0, h = 0, ow = 0, oh = 0;
  const auto source = testsupport::DecodeVideoFrames(input, 10, &w, &h, AV_PIX_FMT_GRAY8);
  const auto hooked = testsupport::DecodeVideoFrames(output, 10, &ow, &oh, AV_PIX_FMT_GRAY8);
  ASSERT_EQ(hooked.size(), 10u);
  ASSERT_EQ(source.size(), 10u);
  ASSERT_EQ(ow, w);
  for (size_t i = 0; i < 10; ++i) {
    // Pixel by pixel the output is the negative of the input, up to coding
    // loss and the shift of inverting limited-range luma (255 - Y, where
    // grey is (Y - 16) * 255 / 219): 4 * 255 / 219 = 4.66 brighter.
    const double shift = 4.0 * 255.0 / 219.0;
    double diff = 0;
    for (size_t p = 0; p < source[i].size(); ++p)
      diff += std::abs(double(hooked[i][p]) - (255.0 - double(source[i][p]) + shift));
    EXPECT_LT(diff / double(source[i].size()), 4.0) << "frame " << i;
    EXPECT_NEAR(Mean(hooked[i]), 255.0 - Mean(source[i]) + shift, 1.5) << "frame " << i;
  }
}

TEST(VideoHookConversion, StreamCopyRefusesAHook) {
  testsupport::LoadConverterLibraries();
  const RunResult r = Convert(testsupport::AviMpeg4Mp3(), testsupport::TempPath("hooked_copy.avi"),
                              "vcodec=copy<CRLF>vhook=" + kInvertHook);
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.error, "-vcodec copy and -vhook are incompatible (frames are not decoded)");
}
