// The converter's command line: the input is its arguments separated by NUL
// bytes. A command line that parses is carried through as far as it goes
// without opening a file: the listings, or for a conversion each job's
// records (captions resolved, cut range checked against a two-hour input,
// output named in the given folder or the scratch folder), which are then
// applied to a task. No output may be named like an input or like the output
// of another job of the run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_jobs.h"
#include "cli/cli_listing.h"
#include "cli/cli_options.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_events.h"
#include "engine/engine_util.h"
#include "fuzz_support.h"

namespace {

constexpr int64_t kInputDurationUs = 2LL * 3600 * 1000000;
constexpr size_t kMaxJobsPerInput = 4;

TCustomFFmpeg* task = nullptr;

void ApplyToTask(const cli::TJobPlan& job) {
  // A video hook option would load a library the input names.
  if (engine::Lower(job.Output.ExtraOptions).find("vhook") != std::string::npos) return;
  task->ResetTask();
  try {
    task->ApplyInputOptions(job.Input);
    task->ApplyOutputOptions(job.Output);
  } catch (const FFmpegException&) {
  }
  task->ReleaseAll();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::LoadConverterLibraries();
  task = new TCustomFFmpeg();
  task->Verbose = -1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = fuzzsupport::SplitAtNul(data, size);
  if (args.size() == 1 && args[0].empty()) args.clear();
  const cli::TParseResult parsed = cli::ParseCommandLine(args);
  if (!parsed.Ok) return 0;
  const cli::TCliOptions& options = parsed.Options;
  switch (options.Action) {
    case cli::caHelp:
      cli::UsageText();
      return 0;
    case cli::caListTypes:
      cli::ListTypesText();
      return 0;
    case cli::caListOptions:
      cli::ListOptionsText(options.ListCode);
      return 0;
    case cli::caInfo:
      return 0;
    case cli::caConvert:
      break;
  }
  // Nothing is written: the folder is only where names are made.
  const std::string folder = options.OutputDir.empty() ? fuzzsupport::ScratchDir() : options.OutputDir;
  const size_t count = std::min(options.Files.size(), kMaxJobsPerInput);
  cli::TNameClaims claims, inputs, outputs;
  for (size_t i = 0; i < count; ++i) {
    claims.Claim(options.Files[i]);
    inputs.Claim(options.Files[i]);
  }
  for (size_t i = 0; i < count; ++i) {
    cli::TJobPlan job;
    const cli::TBuildResult built =
        options.HasType ? cli::BuildTypedJob(options, options.Files[i], folder, kInputDurationUs, claims, job)
                        : cli::BuildUntypedJob(options, options.Files[i], folder, claims, job);
    if (built.Status != cli::bsOk) continue;
    if (inputs.Contains(job.OutputFileName) || outputs.Contains(job.OutputFileName)) {
      std::fprintf(stderr, "output name \"%s\" is taken by an input or an earlier job\n",
                   job.OutputFileName.c_str());
      std::abort();
    }
    outputs.Claim(job.OutputFileName);
    ApplyToTask(job);
  }
  return 0;
}
