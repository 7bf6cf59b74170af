// Playback through the whole player: a generated 1920x1080, 25 fps, 20 s
// H.264 + AAC clip played in real time into a 313 x 190 surface (SDL's
// dummy drivers unless the environment names others). Reports pictures
// shown, pictures dropped at display for lateness, pictures skipped by the
// decoder, audio callback turns that found no sound, and process CPU time
// per second of media. Every picture must be shown.
//
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy quvexa_player_bench
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "player/player.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"
#include "support/test_media.h"

namespace {

constexpr double kSeconds = 20;

const std::string& PlayerInput() {
  static const std::string path = [] {
    testsupport::MediaSpec spec;
    spec.container = "mp4";
    spec.videoCodec = "libx264";
    spec.audioCodecs = {"aac"};
    spec.width = 1920;
    spec.height = 1080;
    spec.frameRate = {25, 1};
    spec.seconds = kSeconds;
    spec.videoBitRate = 6000000;
    spec.gopSize = 50;
    const std::string file = testsupport::TempPath("bench_1080p_20s.mp4");
    std::string error;
    if (!testsupport::WriteMedia(file, spec, &error)) throw std::runtime_error(error);
    return file;
  }();
  return path;
}

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void Play(benchmark::State& state, bool sound) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  testsupport::LoadPlayerLibraries();
  const std::string input = PlayerInput();
  for (auto _ : state) {
    TFFPlayer player;
    bool ended = false;
    player.SetOnState([&](void*, TPlayState s) { ended = ended || s == psEnd || s == psStop; });
    player.SetScreenWidth(313);
    player.SetScreenHeight(190);
    player.SetDisableAudio(!sound);
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    if (!player.Open(platform::Widen(input), 0, false)) {
      state.SkipWithError(player.LastErrMsg().c_str());
      return;
    }
    platform::WaitServingMainThread([&] { return ended; }, 10);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const TCustomPlayer::TPlayStatistics stats = player.Statistics();
    player.Stop(true);
    state.SetIterationTime(wall);
    state.counters["pictures_shown"] = double(stats.picturesShown);
    state.counters["dropped_late"] = double(stats.picturesDroppedLate);
    state.counters["skipped_by_decoder"] = double(stats.picturesSkippedDecode);
    state.counters["audio_underruns"] = double(stats.audioUnderruns);
    state.counters["cpu_s_per_media_s"] = cpu / kSeconds;
    state.counters["wall_s"] = wall;
  }
}
void PlayerPlayback1080p(benchmark::State& state) { Play(state, true); }
// The same pictures with the video clock as the master: shows what the
// audio synchronisation adds.
void PlayerPlayback1080pWithoutSound(benchmark::State& state) { Play(state, false); }
BENCHMARK(PlayerPlayback1080p)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(PlayerPlayback1080pWithoutSound)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
