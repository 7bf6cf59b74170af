#include "cli/cli_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

#include "cli/cli_jobs.h"
#include "cli/cli_progress.h"
#include "engine/transcoder.h"
#include "media/av_probe.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "profiles/output_naming.h"

namespace cli {
namespace {

std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signalNumber) {
  gStopSignal.store(signalNumber);
  // The next one is not caught: an impatient user gets the process ended.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signalNumber, &fallback, nullptr);
}

// How long the batch end may take to arrive after a stop has returned.
constexpr auto kStopGrace = std::chrono::seconds(10);

// Routes the logger's lines at warning level and above to the display for
// as long as it lives, delivered on the thread that logs.
class TLogRoute {
 public:
  explicit TLogRoute(TProgressDisplay& display) {
    TFFLogger& logger = DefaultLogger();
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogLevel(llWarning);
    logger.SetOnLog([&display](const void*, uint32_t, TLogLevel level, const std::string& message) {
      if (level <= llWarning) display.Message(message);
    });
  }
  ~TLogRoute() { DefaultLogger().SetOnLog(nullptr); }
  TLogRoute(const TLogRoute&) = delete;
  TLogRoute& operator=(const TLogRoute&) = delete;
};

std::string OutputFolderFor(const TCliOptions& options) {
  return options.OutputDir.empty() ? profiles::DefaultOutputFolder() : options.OutputDir;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return gStopSignal.load(); }

void ResetStopSignal() { gStopSignal.store(0); }

int TerminalColumns(int fd) {
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

bool LoadConverterLibraries(std::string& error) {
  TFFmpegLoader& loader = FFLoader();
  if (loader.LibrariesLoaded(kConverterLibraries)) return true;
  loader.SetLibraryPath(platform::ResourceFolder("LibAV"));
  if (loader.LoadLibraries(kConverterLibraries)) return true;
  error = loader.LastError();
  return false;
}

int RunInfo(const std::string& fileName, std::ostream& out, std::ostream& err) {
  TProgressDisplay display(out, err, false, 80);
  TLogRoute route(display);
  if (!platform::IsExistingFile(fileName)) {
    err << kProgramName << ": no such file: " << fileName << "\n";
    return kExitFailed;
  }
  std::string error;
  if (!LoadConverterLibraries(error)) {
    err << kProgramName << ": cannot load the media libraries: " << error << "\n";
    return kExitFailed;
  }
  TAVProbe probe;
  if (!probe.LoadFile(platform::Widen(fileName))) {
    err << kProgramName << ": " << fileName << ": 无法识别的音频或视频文件！ (" << probe.LastErrMsg()
        << ")\n";
    return kExitFailed;
  }
  std::string text = probe.InfoText();
  std::erase(text, '\r');
  out << text;
  if (!text.empty() && text.back() != '\n') out << "\n";
  out.flush();
  return kExitOk;
}

int RunConversions(const TCliOptions& options, std::ostream& out, std::ostream& err, bool terminal,
                   int columns) {
  const std::string outputFolder = OutputFolderFor(options);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(outputFolder), ec);
  if (!platform::IsExistingFolder(outputFolder)) {
    err << kProgramName << ": cannot create the output folder " << outputFolder << ": " << ec.message()
        << "\n";
    return kExitFailed;
  }

  // Declared in this order so that the engine (and its threads) is gone
  // before the log route, and both before the display they write to.
  TProgressDisplay display(out, err, terminal, columns);
  TLogRoute route(display);
  TTranscoder transcoder;

  if (!transcoder.AVLibLoaded() &&
      !transcoder.LoadAVLib(platform::Widen(platform::ResourceFolder("LibAV")))) {
    err << kProgramName << ": cannot load the media libraries: " << transcoder.LastErrMsg() << "\n";
    return kExitFailed;
  }

  std::atomic<bool> batchEnded{false};
  transcoder.SetTriggerEventInMainThread(false);
  transcoder.SetOnProgress([&display](TCustomTranscoder*, PProgressInfo info) { display.Progress(*info); });
  transcoder.SetOnTerminate([&display, &batchEnded](TCustomTranscoder*, const TTerminateInfo& info) {
    if (info.TaskIndex < 0)
      batchEnded.store(true);
    else
      display.Terminated(info);
  });

  // Every input is taken before any output is named, so that no output
  // lands on an input of this run.
  TNameClaims claims;
  for (const std::string& file : options.Files) claims.Claim(file);

  for (const std::string& file : options.Files) {
    if (StopSignal() != 0) break;
    if (!platform::IsExistingFile(file)) {
      display.Refused(file, "no such file");
      continue;
    }
    TAVProbe& probe = transcoder.AVProbe();
    if (!probe.LoadFile(platform::Widen(file))) {
      display.Refused(file, "无法识别的音频或视频文件！ (" + probe.LastErrMsg() + ")");
      continue;
    }
    const int64_t duration = probe.FileStreamInfo().Duration;
    probe.CloseFile();

    TJobPlan job;
    const TBuildResult built = options.HasType
                                   ? BuildTypedJob(options, file, outputFolder, duration, claims, job)
                                   : BuildUntypedJob(options, file, outputFolder, claims, job);
    if (built.Status == bsRefused) {
      // An option value the dialog refuses is a wrong command line.
      transcoder.ClearTasks();
      err << kProgramName << ": " << built.Message << "\n";
      return kExitUsage;
    }
    if (built.Status != bsOk) {
      display.Refused(file, built.Message);
      continue;
    }
    const int task = transcoder.AddTask(platform::Widen(file), &job.Input);
    if (task < 0) {
      display.Refused(file, "打开文件失败: " + transcoder.LastErrMsg());
      continue;
    }
    if (!transcoder.SetOutputFile(task, platform::Widen(job.OutputFileName), &job.Output)) {
      const std::string reason = transcoder.LastErrMsg();
      transcoder.RemoveTask(task);
      display.Refused(file, "不能进行正常转换: " + reason);
      continue;
    }
    display.AddJob(task, file, job.OutputFileName);
  }

  if (StopSignal() == 0 && transcoder.TasksCount() > 0) {
    display.Start();
    transcoder.StartTask(options.Jobs);
    bool stopped = false;
    std::chrono::steady_clock::time_point stopReturned;
    for (;;) {
      platform::WaitServingMainThread([&] { return batchEnded.load() || (StopSignal() != 0 && !stopped); },
                                      20);
      if (batchEnded.load()) break;
      if (!stopped) {
        // Outputs are finished and closed by the tasks as they stop.
        stopped = true;
        transcoder.Stop(true);
        stopReturned = std::chrono::steady_clock::now();
        continue;
      }
      // Stopped: the batch end follows the tasks' own reports; do not wait
      // for ever should it not come.
      platform::WaitServingMainThread(
          [&] { return batchEnded.load() || std::chrono::steady_clock::now() - stopReturned > kStopGrace; },
          20);
      break;
    }
  }
  display.Finish();
  if (transcoder.AllDone() || !transcoder.Working()) {
    try {
      transcoder.ClearTasks();
    } catch (const std::exception&) {
      // Left to the component's destructor.
    }
  }
  transcoder.SetOnProgress(nullptr);
  transcoder.SetOnTerminate(nullptr);

  if (StopSignal() != 0) return kExitSignalBase + StopSignal();
  if (display.FailedCount() > 0 || display.StoppedCount() > 0) return kExitFailed;
  return kExitOk;
}

}  // namespace cli
