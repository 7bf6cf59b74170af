// Turning the command line into the engine's records of each job, the way
// the options dialog and job creation of the program do it: the type's lists
// filled with their defaults, the user's captions picked, the choice
// resolved, the records built and the output named.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "cli/cli_options.h"
#include "engine/option_records.h"
#include "profiles/job_choice.h"
#include "profiles/option_lists.h"

namespace cli {

// Fills the lists of the type and selects the picked captions, the video
// codec first (its choice may replace the bit-rate or size list, as in the
// dialog). A caption must be one of the list's items exactly as shown;
// otherwise false with an error that lists the valid captions. Video
// choices are refused for an audio-only type, whose video lists the dialog
// disables.
bool PickOptions(int32_t code, const TCliOptions& options, profiles::TFilledOptions& filled,
                 std::string& error);

// Names this run has taken: every input, and the output of each job built
// so far. Paths are compared in their absolute, normalised form with
// symbolic links resolved as far as they exist, and files that exist by
// what they are on disk (device and inode), so that a hard link or a bind
// mount of an input counts as that input.
class TNameClaims {
 public:
  void Claim(const std::string& path);
  bool Contains(const std::string& path) const;

 private:
  std::set<std::string> claimed_;
  std::set<std::pair<uint64_t, uint64_t>> files_;  // device, inode
};

// The output name for a wanted one: with the "(New_" N ")" rule unless
// overwrite is asked for, and numbered in either case when an earlier job of
// this run writes that name or it is one of the run's inputs (under any
// name), so that no two jobs write one file and no job overwrites what
// another reads.
std::string ChooseOutputName(const std::string& wanted, bool overwrite, const TNameClaims& claims);

enum TBuildStatus {
  bsOk,
  bsRefused,  // an option value the dialog would not accept (cut range)
  bsFailed,   // the records could not be built
};

struct TJobPlan {
  std::string SourceFileName;
  std::string OutputFileName;
  TInputOptions Input;    // for AddTask
  TOutputOptions Output;  // for SetOutputFile
};

struct TBuildResult {
  TBuildStatus Status = bsOk;
  std::string Message;
};

// One file with a catalogue type: resolved as the options dialog would for
// a job added alone (the cut range checked against the input's duration in
// µs, -1 when unknown), named with ChooseOutputName, with --options as the
// output's extra option text. Claims the output name on success.
TBuildResult BuildTypedJob(const TCliOptions& options, const std::string& sourceFileName,
                           const std::string& outputFolder, int64_t inputDurationUs, TNameClaims& claims,
                           TJobPlan& job);

// One file with no catalogue type (-t none --ext EXT): the output is the
// input's name with EXT in the output folder, and only --options configures
// it. Claims the output name.
TBuildResult BuildUntypedJob(const TCliOptions& options, const std::string& sourceFileName,
                             const std::string& outputFolder, TNameClaims& claims, TJobPlan& job);

}  // namespace cli
