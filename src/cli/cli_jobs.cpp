#include "cli/cli_jobs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "profiles/file_names.h"
#include "profiles/job_options.h"
#include "profiles/option_resolution.h"
#include "profiles/output_catalogue.h"
#include "profiles/output_naming.h"

namespace cli {
namespace {

using namespace profiles;

// The lists the dialog disables for an audio-only type.
bool IsVideoList(TOptionListIndex list) {
  return list == olVideoCodec || list == olVideoBitrate || list == olFrameSize || list == olFrameRate ||
         list == olAspect;
}

std::string_view OptionFor(TOptionListIndex list) {
  for (const TListOptionName& name : ListOptionNames())
    if (name.List == list) return name.Option;
  return {};
}

std::string TypeName(int32_t code) {
  const TOutputType* type = FindOutputType(code);
  return "type " + std::to_string(code) + (type ? " (" + std::string(type->Caption) + ")" : std::string());
}

// The row whose caption is exactly `caption`, or -1 with an error naming
// the valid captions.
int FindRow(int32_t code, TOptionListIndex list, const TOptionList& items, const std::string& caption,
            std::string& error) {
  const auto found = std::find(items.Items.begin(), items.Items.end(), caption);
  if (found != items.Items.end()) return int(found - items.Items.begin());
  error = std::string(OptionFor(list)) + ": '" + caption + "' is not a choice of " + TypeName(code) +
          ". Valid captions:";
  std::vector<std::string> shown;
  for (const std::string& item : items.Items) {
    if (std::find(shown.begin(), shown.end(), item) != shown.end()) continue;
    shown.push_back(item);
    error += "\n  " + item;
  }
  return -1;
}

std::string ClaimKey(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path absolute = fs::absolute(fs::path(path), ec);
  if (ec) absolute = fs::path(path);
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  if (ec) canonical = absolute.lexically_normal();
  return canonical.string();
}

}  // namespace

bool PickOptions(int32_t code, const TCliOptions& options, TFilledOptions& filled, std::string& error) {
  filled = FillOptionLists(code);
  if (!filled.HasType) {
    error = "unknown output type " + std::to_string(code) + " (see --list-types)";
    return false;
  }
  const TListPicks& picks = options.Picks;
  if (filled.AudioOnly) {
    for (int list = 0; list < olCount; ++list) {
      if (picks[list] && IsVideoList(TOptionListIndex(list))) {
        error = std::string(OptionFor(TOptionListIndex(list))) + ": " + TypeName(code) +
                " is an audio-only type; its video choices are fixed";
        return false;
      }
    }
    if (options.HorizontalFlip || options.VerticalFlip || options.Negative) {
      error = "--hflip, --vflip and --negate: " + TypeName(code) + " is an audio-only type";
      return false;
    }
  }
  // The codec first: picking it may replace the bit-rate or size list, and
  // the other picks are looked up in the lists the codec leaves.
  if (picks[olVideoCodec]) {
    const int row = FindRow(code, olVideoCodec, filled.Lists[olVideoCodec], *picks[olVideoCodec], error);
    if (row < 0) return false;
    ChangeVideoCodec(code, filled.Lists, row);
  }
  for (int list = 0; list < olCount; ++list) {
    if (list == olVideoCodec || !picks[list]) continue;
    const int row = FindRow(code, TOptionListIndex(list), filled.Lists[list], *picks[list], error);
    if (row < 0) return false;
    filled.Lists[list].Selected = row;
  }
  return true;
}

void TNameClaims::Claim(const std::string& path) {
  claimed_.insert(ClaimKey(path));
  const platform::TFileIdentity file = platform::FileIdentity(path);
  if (file.Known) files_.emplace(file.Device, file.Inode);
}

bool TNameClaims::Contains(const std::string& path) const {
  if (claimed_.count(ClaimKey(path)) != 0) return true;
  const platform::TFileIdentity file = platform::FileIdentity(path);
  return file.Known && files_.count({file.Device, file.Inode}) != 0;
}

std::string ChooseOutputName(const std::string& wanted, bool overwrite, const TNameClaims& claims) {
  const TFileExists exists = [&claims](const std::string& path) {
    return PathExistsOnDisk(path) || claims.Contains(path);
  };
  std::string name = AvoidExisting(wanted, overwrite ? efOverwrite : efNewName, exists);
  if (claims.Contains(name)) {
    // Overwriting is for files of earlier runs, never for this run's own.
    const std::string ext = ExtractFileExt(name);
    name = NumberedName(std::string_view(name).substr(0, name.size() - ext.size()), ext, exists);
  }
  return name;
}

TBuildResult BuildTypedJob(const TCliOptions& options, const std::string& sourceFileName,
                           const std::string& outputFolder, int64_t inputDurationUs, TNameClaims& claims,
                           TJobPlan& job) {
  TBuildResult result;
  TJobChoice choice;
  ResetPendingOptions(choice);
  choice.CutRangeState = kCutRangeNotSelected;

  // Showing the dialog: lists filled, then the user's picks.
  TFilledOptions filled;
  if (!PickOptions(options.TypeCode, options, filled, result.Message)) {
    result.Status = bsRefused;
    return result;
  }
  ApplyFilledOptions(choice, filled, outputFolder, sourceFileName);

  // Confirming it.
  TDialogChoices dialog;
  dialog.Captions = CurrentCaptions(filled.Lists);
  dialog.HorizontalFlip = options.HorizontalFlip;
  dialog.VerticalFlip = options.VerticalFlip;
  dialog.Negative = options.Negative;
  dialog.AudioOnlyMode = filled.AudioOnly;
  dialog.DiscTarget = filled.DiscTarget;
  if (options.HasCut) {
    dialog.CutEnabled = true;
    dialog.CutTimes = options.CutTimes;
    dialog.ProbedDuration = CutRangePresetFor(inputDurationUs).ProbedDuration;
  }
  const TResolveResult resolved = ResolveOptions(dialog, outputFolder, choice);
  if (resolved.Status == rsCutRangeError) {
    result.Status = bsRefused;
    result.Message = "--cut: " + resolved.Message;
    return result;
  }
  if (resolved.Status != rsOk) {
    result.Status = bsFailed;
    result.Message = resolved.Error;
    return result;
  }

  // Job creation, with the name already chosen.
  choice.OutputFileName = ChooseOutputName(choice.OutputFileName, options.Overwrite, claims);
  TJobRecords records;
  std::string error;
  if (!MakeSingleJob(
          choice, sourceFileName, efOverwrite, [](const std::string&) { return false; }, records, error)) {
    result.Status = bsFailed;
    result.Message = error;
    return result;
  }
  job.SourceFileName = sourceFileName;
  job.OutputFileName = records.OutputFileName;
  job.Input = records.TaskInput;
  job.Output = records.Output;
  job.Output.ExtraOptions = options.ExtraOptions;
  claims.Claim(job.OutputFileName);
  return result;
}

TBuildResult BuildUntypedJob(const TCliOptions& options, const std::string& sourceFileName,
                             const std::string& outputFolder, TNameClaims& claims, TJobPlan& job) {
  const std::string wanted =
      JoinPath(outputFolder, ChangeFileExt(ExtractFileName(sourceFileName), "." + options.Extension));
  job.SourceFileName = sourceFileName;
  job.OutputFileName = ChooseOutputName(wanted, options.Overwrite, claims);
  job.Input = MakeInputOptions(sourceFileName);
  job.Output = TOutputOptions{};
  job.Output.FileName = platform::Widen(job.OutputFileName);
  job.Output.ExtraOptions = options.ExtraOptions;
  claims.Claim(job.OutputFileName);
  return {};
}

}  // namespace cli
