#include "profiles/job_options.h"

#include <charconv>
#include <optional>

#include "engine/engine_util.h"
#include "profiles/option_resolution.h"

namespace profiles {
namespace {

std::optional<int32_t> ParseInt32(const std::string& text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

bool SetNumber(const char* field, const std::string& text, int32_t& target, std::string& error) {
  const std::optional<int32_t> value = ParseInt32(text);
  if (!value) {
    error = std::string("Invalid ") + field + " '" + text + "'";
    return false;
  }
  target = *value;
  return true;
}

}  // namespace

TInputOptions MakeInputOptions(const std::string& sourceFileName) {
  TInputOptions input;
  input.FileName = engine::Utf8ToWide(sourceFileName);
  input.FileFormat = ForcedInputFormatFor(sourceFileName);
  return input;
}

void ApplyCutStart(TInputOptions& input, const TPendingOptions& pending) {
  input.StartTime = pending.CutStart > 0 ? pending.CutStart * 1000 : 0;
}

bool MakeOutputOptions(const TJobChoice& choice, const std::string& outputFileName, bool applyCutRange,
                       TOutputOptions& output, std::string& error) {
  const TPendingOptions& p = choice.Pending;
  output.FileName = engine::Utf8ToWide(outputFileName);

  if (!p.AudioChannels.empty() && !SetNumber("audio channels", p.AudioChannels, output.AudioChannels, error))
    return false;
  if (!p.AudioSampleRate.empty() && p.AudioSampleRate != "AUTO" &&
      !SetNumber("audio sample rate", p.AudioSampleRate, output.AudioSampleRate, error))
    return false;
  if (!p.FrameSize.empty()) output.FrameSize = p.FrameSize;
  if (!p.FrameRate.empty()) output.FrameRate = p.FrameRate;

  if (p.Target == "vcd")
    output.Target = 1;
  else if (p.Target == "svcd")
    output.Target = 2;
  else if (p.Target == "dvd")
    output.Target = 3;
  else if (!p.Target.empty())
    output.Target = 0;
  output.TargetNorm = p.TargetNorm == "PAL" ? 1 : p.TargetNorm == "NTSC" ? 2 : 0;

  if (applyCutRange) {
    if (choice.CutRangeState == kCutRangeSelected && p.CutDuration > 0) {
      output.RecordingTime = p.CutDuration * 1000;
    } else {
      output.StartTime = 0;
    }
  }

  if (p.AudioVolume != "256" && !SetNumber("audio volume", p.AudioVolume, output.AudioVolume, error))
    return false;
  output.DisableVideo = p.AudioOnly;
  if (!p.AspectRatio.empty()) output.AspectRatio = p.AspectRatio;
  if (p.VideoBitrate != kBitrateNoChoice) output.VideoBitrate = p.VideoBitrate;
  if (p.AudioBitrate != kBitrateNoChoice) output.AudioBitrate = p.AudioBitrate;
  if (!p.FileFormat.empty()) output.FileFormat = p.FileFormat;
  if (!p.VideoFilters.empty()) output.VideoFilters = p.VideoFilters;
  if (!p.VideoTag.empty()) output.VideoTag = p.VideoTag;
  if (!p.VideoCodec.empty()) {
    output.VideoCodec = p.VideoCodec;
    if (p.VideoCodec == "libx264") output.VideoPreset = kLibx264DefaultPreset;
  }
  // The DivX and XviD four-character codes belong in AVI files only.
  if (p.VideoCodec == "mpeg4" &&
      !((p.VideoTag == "DX50" || p.VideoTag == "XVID") && choice.OutputExt == ".avi"))
    output.VideoTag.clear();
  if (!p.AudioCodec.empty() && p.AudioCodec != "AUTO") output.AudioCodec = p.AudioCodec;
  return true;
}

bool MakeSingleJob(const TJobChoice& choice, const std::string& sourceFileName, TExistingFileAction action,
                   const TFileExists& exists, TJobRecords& job, std::string& error) {
  job = TJobRecords{};
  job.TaskInput = MakeInputOptions(sourceFileName);
  ApplyCutStart(job.TaskInput, choice.Pending);
  job.SlotInput = job.TaskInput;
  job.OutputFileName = SingleJobOutputName(choice.OutputFileName, action, exists);
  return MakeOutputOptions(choice, job.OutputFileName, true, job.Output, error);
}

bool MakeManyJob(const TJobChoice& choice, const std::string& sourceFileName, std::string_view outputFolder,
                 TExistingFileAction action, const TFileExists& exists, TJobRecords& job,
                 std::string& error) {
  job = TJobRecords{};
  job.TaskInput = MakeInputOptions(sourceFileName);
  job.SlotInput = job.TaskInput;
  ApplyCutStart(job.SlotInput, choice.Pending);
  job.OutputFileName =
      ManyJobsOutputName(outputFolder, sourceFileName, choice.OutputFileName, action, exists);
  return MakeOutputOptions(choice, job.OutputFileName, false, job.Output, error);
}

}  // namespace profiles
