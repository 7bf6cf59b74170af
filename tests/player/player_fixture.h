// A player with recording handlers over media made at test time. Handlers
// run in the main thread (the test's), so the waits here serve main-thread
// calls the way the application's event loop does.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "player/player.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

// Reaches the player's internals for the few checks that need them.
class TPlayerTestAccess {
 public:
  static TPlayback* Playback(TCustomPlayer& p) { return p.playback_.load(); }
  static void Push(TCustomPlayer& p, int kind, TPlayState state, int64_t pos) {
    p.PushNotification(kind, state, pos);
  }
  static bool Pop(TCustomPlayer& p, int& kind, TPlayState& state, int64_t& pos) {
    return p.PopNotification(kind, state, pos);
  }
};

struct FileOpenRecord {
  int64_t duration = 0;
  int frameWidth = 0, frameHeight = 0;
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadPlayerLibraries();
    player = std::make_unique<TFFPlayer>();
    player->SetOnFileOpen([this](void*, int64_t duration, int w, int h, int& sw, int& sh) {
      opened.duration = duration;
      opened.frameWidth = w;
      opened.frameHeight = h;
      if (forceScreenWidth > 0) {
        sw = forceScreenWidth;
        sh = forceScreenHeight;
      }
    });
    player->SetOnState([this](void*, TPlayState s) {
      EXPECT_TRUE(platform::IsMainThread());
      std::lock_guard<std::mutex> guard(lock);
      states.push_back(s);
    });
    player->SetOnPosition([this](void*, int64_t pts) {
      std::lock_guard<std::mutex> guard(lock);
      positions.push_back(pts);
    });
  }
  void TearDown() override {
    if (player) player->Stop(true);
    player.reset();
  }

  // Serves main-thread calls until pred() holds or timeoutMs passed.
  bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 15000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::WaitServingMainThread([&] { return pred() || std::chrono::steady_clock::now() > until; }, 5);
    return pred();
  }
  void Serve(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    platform::WaitServingMainThread([&] { return std::chrono::steady_clock::now() > until; }, 5);
  }
  int CountState(TPlayState s) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (TPlayState x : states) n += x == s;
    return n;
  }
  bool HasState(TPlayState s) { return CountState(s) > 0; }
  std::vector<TPlayState> States() {
    std::lock_guard<std::mutex> guard(lock);
    return states;
  }
  bool Open(const std::string& path, bool paused) {
    return player->Open(platform::Widen(path), 0, paused);
  }

  std::unique_ptr<TFFPlayer> player;
  FileOpenRecord opened;
  int forceScreenWidth = 0, forceScreenHeight = 0;
  std::mutex lock;
  std::vector<TPlayState> states;  // guarded by lock
  std::vector<int64_t> positions;  // guarded by lock
};

// Short inputs of this program.
inline std::string ShortVideo() {
  testsupport::MediaSpec s;
  s.container = "avi";
  s.videoCodec = "mpeg4";
  s.audioCodecs = {"libmp3lame"};
  s.width = 320;
  s.height = 240;
  s.seconds = 1.0;
  return testsupport::CachedMedia("short.avi", s);
}
inline std::string ShortAudio() {
  testsupport::MediaSpec s;
  s.container = "wav";
  s.audioCodecs = {"pcm_s16le"};
  s.seconds = 1.0;
  return testsupport::CachedMedia("short.wav", s);
}
// Pictures only, one picture per packet, times from 0: snapshots name
// the decoded picture they show by their time.
inline std::string PictureVideo() {
  testsupport::MediaSpec s;
  s.container = "matroska";
  s.videoCodec = "libx264";
  s.width = 320;
  s.height = 240;
  s.seconds = 1.0;
  return testsupport::CachedMedia("pictures.mkv", s);
}
