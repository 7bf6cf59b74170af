// How well one conversion keeps the machine busy. A generated 1920x1080,
// 25 fps, 30 s H.264 + AAC clip is converted by the engine, the way the
// program runs a task (on a worker thread), to
//   - 1280x720 libx264 (medium, 1200 kbit/s) + AAC in MP4, and
//   - MPEG-4 ASP + MP3 in AVI at the source size,
// each with the overlapped stages switched off and on. Every conversion runs
// in a process of its own, so that its peak memory is its own. Reported per
// conversion: wall time, process CPU time, cores used (CPU / wall), peak
// resident memory; per case the wall-time gain of the overlap, the memory
// growth, and whether both outputs are byte-identical.
//
//   quvexa_throughput_bench [rounds [clip]]
//
// rounds: default 2, after uncounted rounds of each setting (10 s); the fastest
// round of each conversion counts. clip: where
// the generated input is kept (made when missing, reused when there), so
// that repeated runs skip making it.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "platform/main_thread.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"
#include "support/test_media.h"

extern char** environ;

namespace {

struct Case {
  const char* name;
  const char* file;
  const char* video;
  const char* audio;
  const char* preset;  // built-in video preset, "" = none
  const char* size;    // "" = the source size
  const char* tag;     // four-character code, "" = the muxer's
  int videoBitRate;
  int audioBitRate;
};

const Case kCases[] = {
    {"x264 720p + AAC (MP4)", "out.mp4", "libx264", "aac", "libx264-medium", "1280x720", "", 1200000, 128000},
    {"MPEG-4 + MP3 (AVI)", "out.avi", "mpeg4", "libmp3lame", "", "", "XVID", 4000000, 128000},
};

std::string MakeInput(const std::string& keep) {
  if (!keep.empty() && access(keep.c_str(), R_OK) == 0) return keep;
  testsupport::MediaSpec spec;
  spec.container = "mp4";
  spec.videoCodec = "libx264";
  spec.audioCodecs = {"aac"};
  spec.width = 1920;
  spec.height = 1080;
  spec.frameRate = {25, 1};
  spec.sampleRate = 48000;
  spec.seconds = 30;
  spec.videoBitRate = 8000000;
  spec.gopSize = 50;
  const std::string file = keep.empty() ? testsupport::TempPath("throughput_1080p_30s.mp4") : keep;
  std::string error;
  if (!testsupport::WriteMedia(file, spec, &error)) throw std::runtime_error("input: " + error);
  return file;
}

// Uncounted conversions before the counted rounds of a setting.
constexpr double kSettleSeconds = 10;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// ---- the child: one conversion --------------------------------------------

int Convert(const Case& c, bool overlap, const std::string& input, const std::string& output) {
  platform::SetMainThread();
  testsupport::LoadConverterLibraries();
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  task.OverlapStages = overlap;
  if (!task.OpenInputFile(engine::Utf8ToWide(input))) throw std::runtime_error(task.LastOpenError());
  TOutputOptions o;
  o.VideoCodec = c.video;
  o.AudioCodec = c.audio;
  o.VideoBitrate = c.videoBitRate;
  o.AudioBitrate = c.audioBitRate;
  if (*c.preset) o.VideoPreset = c.preset;
  if (*c.size) o.FrameSize = c.size;
  if (*c.tag) o.VideoTag = c.tag;
  task.ApplyOutputOptions(o);
  if (task.OpenOutputFile(engine::Utf8ToWide(output), false) < 0) throw std::runtime_error(task.LastOpenError());
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  task.StartConvert(true, tpNormal);
  task.WaitDone();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuStart;
  if (task.Exception()) throw std::runtime_error(task.ExceptionMsg());
  std::printf("%.4f %.4f %d %d\n", wall, cpu, int(task.HelpersWentIdle()), task.HelperReturns());
  return 0;
}

// ---- the parent -------------------------------------------------------------

struct Measure {
  double wall = 0, cpu = 0;  // of the conversion alone
  int helpersIdle = 0;       // the run's helper threads went to the idle scheduling class
  int helperReturns = 0;     // and came back from it, as other programs got busy
  double peakMb = 0;         // of the whole child process
  double Cores() const { return wall > 0 ? cpu / wall : 0; }
};

Measure RunChild(const std::string& self, int caseIndex, bool overlap, const std::string& input,
                 const std::string& output) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const std::string index = std::to_string(caseIndex);
  const char* argv[] = {self.c_str(), "--convert", index.c_str(), overlap ? "1" : "0", input.c_str(),
                        output.c_str(), nullptr};
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, self.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) throw std::runtime_error("spawn failed");
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  close(fds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("the conversion failed: " + text);
  Measure m;
  if (std::sscanf(text.c_str(), "%lf %lf %d %d", &m.wall, &m.cpu, &m.helpersIdle, &m.helperReturns) != 4) throw std::runtime_error("no figures: " + text);
  m.peakMb = double(usage.ru_maxrss) / 1024.0;
  return m;
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  const std::string da((std::istreambuf_iterator<char>(fa)), std::istreambuf_iterator<char>());
  const std::string db((std::istreambuf_iterator<char>(fb)), std::istreambuf_iterator<char>());
  return !da.empty() && da == db;
}

std::string SelfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) throw std::runtime_error("no path of this program");
  return std::string(path, size_t(n));
}

int Parent(int rounds, const std::string& keep) {
  testsupport::LoadConverterLibraries();
  std::printf("Generating the 1080p25 30 s H.264 + AAC input...\n");
  std::fflush(stdout);
  const std::string input = MakeInput(keep);
  const std::string self = SelfPath();
  std::printf("%ld online cores; fastest of %d round(s)\n\n", sysconf(_SC_NPROCESSORS_ONLN), rounds);
  for (int c = 0; c < int(std::size(kCases)); ++c) {
    Measure best[2];
    std::string outputs[2];
    // Each setting runs its rounds in a row, after uncounted rounds of at
    // least kSettleSeconds together (at least one): the first conversions
    // after a change of setting run measurably worse (the machine's state
    // the other setting left takes some seconds to settle; seen for about
    // two 3-second conversions), which would blur the comparison.
    for (int overlap = 0; overlap < 2; ++overlap) {
      outputs[overlap] = testsupport::TempPath(std::string(overlap ? "on_" : "off_") + kCases[c].file);
      double settled = 0;
      for (int round = -1; round < rounds; ++round) {
        // The previous output goes, and what the last conversion wrote reaches
        // the disk before this one starts, so that no conversion is charged
        // with another's write-back.
        unlink(outputs[overlap].c_str());
        sync();
        const Measure m = RunChild(self, c, overlap != 0, input, outputs[overlap]);
        if (round < 0) {
          settled += m.wall;
          if (settled < kSettleSeconds) --round;  // another uncounted one
          continue;
        }
        std::string helpers;
        if (m.helpersIdle) helpers = "  (helpers idle class";
        if (m.helperReturns) helpers += ", back " + std::to_string(m.helperReturns) + "x as others got busy";
        if (m.helpersIdle) helpers += ")";
        std::printf("  %-24s overlap %-3s round %d: wall %6.2f s  cpu %6.2f s  cores %.2f  peak %6.1f MB%s\n",
                    kCases[c].name, overlap ? "on" : "off", round + 1, m.wall, m.cpu, m.Cores(), m.peakMb,
                    helpers.c_str());
        std::fflush(stdout);
        if (round == 0 || m.wall < best[overlap].wall) {
          const double peak = std::max(best[overlap].peakMb, m.peakMb);
          best[overlap] = m;
          best[overlap].peakMb = peak;
        } else {
          best[overlap].peakMb = std::max(best[overlap].peakMb, m.peakMb);
        }
      }
    }
    const double gain = 100.0 * (best[0].wall - best[1].wall) / best[0].wall;
    const double growth = 100.0 * (best[1].peakMb - best[0].peakMb) / best[0].peakMb;
    std::printf("%s\n", kCases[c].name);
    std::printf("  overlap off: wall %6.2f s  cpu %6.2f s  cores %.2f  peak %6.1f MB\n", best[0].wall, best[0].cpu,
                best[0].Cores(), best[0].peakMb);
    std::printf("  overlap on:  wall %6.2f s  cpu %6.2f s  cores %.2f  peak %6.1f MB\n", best[1].wall, best[1].cpu,
                best[1].Cores(), best[1].peakMb);
    std::printf("  wall %+.1f %% lower, peak memory %+.1f %%, outputs byte-identical: %s\n\n", gain, growth,
                SameBytes(outputs[0], outputs[1]) ? "yes" : "NO");
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 6 && std::string(argv[1]) == "--convert") {
      const int index = std::atoi(argv[2]);
      if (index < 0 || index >= int(std::size(kCases))) return 2;
      return Convert(kCases[index], std::string(argv[3]) == "1", argv[4], argv[5]);
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    return Parent(rounds, argc > 2 ? argv[2] : "");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
