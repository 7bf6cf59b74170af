#include "cli/cli_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "cli/cli_jobs.h"
#include "cli/cli_option_text.h"
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
std::atomic<int> gStopSignalCount{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signalNumber) {
  int none = 0;
  gStopSignal.compare_exchange_strong(none, signalNumber);
  gStopSignalCount.fetch_add(1);
}

// How often the main thread looks for signals while it waits, ms.
constexpr int kSignalPollMs = 20;
// How long the batch end may take to follow the last task's end after a stop.
constexpr auto kBatchEndGrace = std::chrono::seconds(10);

// Routes the logger's lines at warning level and above to the display for
// as long as it lives, delivered on the thread that logs.
// Without verbose only errors pass (the libraries warn about much that is
// harmless).
class TLogRoute {
 public:
  TLogRoute(TProgressDisplay& display, bool verbose) {
    TFFLogger& logger = DefaultLogger();
    const TLogLevel shown = verbose ? llWarning : llError;
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogLevel(shown);
    logger.SetOnLog(
        [this, &display, shown](const void* sender, uint32_t, TLogLevel level, const std::string& message) {
          if (level > shown) return;
          if (level == llQuiet) {
            // A task's own failure: its "failed" line says it already.
            std::lock_guard<std::mutex> guard(tasksLock_);
            if (tasks_.count(sender)) return;
          }
          display.Message(message);
        });
  }
  ~TLogRoute() { DefaultLogger().SetOnLog(nullptr); }
  TLogRoute(const TLogRoute&) = delete;
  TLogRoute& operator=(const TLogRoute&) = delete;

  // A task whose end the display reports.
  void AddTask(const TTaskRunner* task) {
    std::lock_guard<std::mutex> guard(tasksLock_);
    tasks_.insert(task);
  }

 private:
  std::mutex tasksLock_;  // guards tasks_; log lines come from any thread
  std::set<const void*> tasks_;
};

std::string OutputFolderFor(const TCliOptions& options) {
  return options.OutputDir.empty() ? profiles::DefaultOutputFolder() : options.OutputDir;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;  // writes in progress complete
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

int StopSignal() { return gStopSignal.load(); }

int StopSignalCount() { return gStopSignalCount.load(); }

void ResetStopSignal() {
  gStopSignal.store(0);
  gStopSignalCount.store(0);
}

std::string InputRefusal(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return "no such file";
  if (S_ISREG(info.st_mode)) return std::string();
  if (S_ISDIR(info.st_mode)) return "is a folder, not a file";
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
    return "is a pipe, not a file: a conversion reads its input more than once, so save it to a file first";
  return "is a device, not a file";
}

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
  TLogRoute route(display, false);
  const std::string refusal = InputRefusal(fileName);
  if (!refusal.empty()) {
    err << kProgramName << ": "
        << ShownText(refusal == "no such file" ? "no such file: " + fileName : fileName + ": " + refusal)
        << "\n";
    return kExitFailed;
  }
  std::string error;
  if (!LoadConverterLibraries(error)) {
    err << kProgramName << ": cannot load the media libraries: " << error << "\n";
    return kExitFailed;
  }
  TAVProbe probe;
  if (!probe.LoadFile(platform::Widen(fileName))) {
    err << kProgramName << ": "
        << ShownText(fileName + ": 无法识别的音频或视频文件！ (" + probe.LastErrMsg() + ")") << "\n";
    return kExitFailed;
  }
  std::string text = ShownText(probe.InfoText());
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
  TLogRoute route(display, options.Verbose);
  TTranscoder transcoder;

  if (!transcoder.AVLibLoaded() &&
      !transcoder.LoadAVLib(platform::Widen(platform::ResourceFolder("LibAV")))) {
    err << kProgramName << ": cannot load the media libraries: " << transcoder.LastErrMsg() << "\n";
    return kExitFailed;
  }

  std::atomic<bool> batchEnded{false};
  transcoder.SetTriggerEventInMainThread(false);
  transcoder.SetOnProgress([&display](TCustomTranscoder*, PProgressInfo info) { display.Progress(*info); });
  transcoder.SetOnTerminate(
      [&display, &batchEnded, &transcoder](TCustomTranscoder*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
          batchEnded.store(true);
          return;
        }
        // The task has ended: its note is final.
        const TFFmpeg* task = transcoder.Task(info.TaskIndex);
        display.Terminated(info, task ? task->InputEndNote() : std::string());
      });

  // Every input is taken before any output is named, so that no output
  // lands on an input of this run.
  TNameClaims claims;
  for (const std::string& file : options.Files) claims.Claim(file);

  bool optionTextChecked = false;
  for (const std::string& file : options.Files) {
    if (StopSignal() != 0) break;
    const std::string refusal = InputRefusal(file);
    if (!refusal.empty()) {
      display.Refused(file, refusal);
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
    if (!optionTextChecked) {
      // Once, before anything starts: the record is the type's for every job.
      optionTextChecked = true;
      const std::string typeName = options.HasType ? "type " + std::to_string(options.TypeCode) : "";
      for (const std::string& warning : OptionTextWarnings(job.Output, typeName)) display.Message(warning);
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
    // The engine's remarks on every multi-frame packet are for --verbose.
    if (TFFmpeg* added = transcoder.Task(task)) {
      added->Verbose = options.Verbose ? 1 : 0;
      added->OverlapStages = !options.OneThread;
      route.AddTask(added);
    }
    display.AddJob(task, file, job.OutputFileName);
  }

  if (StopSignal() == 0 && transcoder.TasksCount() > 0) {
    display.Start();
    transcoder.StartTask(options.Jobs);
    // The first signal stops the batch: running tasks finish their outputs,
    // the others report themselves. A second one also has the running
    // tasks skip draining their encoders. Either way the batch end follows
    // the tasks' own reports, and the outputs are closed properly.
    int handled = 0;
    // Stopped, and every task has reported: should the batch end itself not
    // follow, it is not waited for for ever.
    std::chrono::steady_clock::time_point allEnded;
    auto batchEndOverdue = [&] {
      if (handled == 0) return false;
      for (int i = 0; i < transcoder.TasksCount(); ++i) {
        const TFFmpeg* task = transcoder.Task(i);
        if (task && !task->Terminated()) return false;
      }
      const auto now = std::chrono::steady_clock::now();
      if (allEnded == std::chrono::steady_clock::time_point()) allEnded = now;
      return now - allEnded > kBatchEndGrace;
    };
    while (!batchEnded.load()) {
      bool overdue = false;
      platform::WaitServingMainThread(
          [&] { return batchEnded.load() || StopSignalCount() > handled || (overdue = batchEndOverdue()); },
          kSignalPollMs);
      if (overdue) break;
      const int signals = StopSignalCount();
      if (signals > 0 && handled == 0) transcoder.Stop(false);
      if (signals > 1 && handled < 2) {
        for (int i = 0; i < transcoder.TasksCount(); ++i) {
          if (TFFmpeg* task = transcoder.Task(i)) task->SkipFlush();
        }
      }
      handled = signals;
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
