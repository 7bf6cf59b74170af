// The engine records of a new job, built from the user's choice.
#pragma once

#include <string>

#include "engine/option_records.h"
#include "profiles/job_choice.h"
#include "profiles/output_naming.h"

namespace profiles {

// Preset the engine applies together with the libx264 encoder.
inline constexpr const char* kLibx264DefaultPreset = "libx264-default";

// Input options of a job: the file name, and the forced format "mpeg" for a
// ".dat" input. Everything else keeps the engine's defaults.
TInputOptions MakeInputOptions(const std::string& sourceFileName);

// The cut start (ms) as the input's start time (µs); 0 when no cut range
// was confirmed.
void ApplyCutStart(TInputOptions& input, const TPendingOptions& pending);

// Fills output options from the choice: the output file name, then the
// pending options field by field (codec, rates, size, filters, tags, disc
// preset, volume). The cut length becomes the recording time only when
// applyCutRange is set (a job added alone). Fields without a choice keep
// the engine's defaults. Returns false with an English error when a
// pending value that must be a number is not one.
bool MakeOutputOptions(const TJobChoice& choice, const std::string& outputFileName, bool applyCutRange,
                       TOutputOptions& output, std::string& error);

// The records of one job as job creation hands them on.
struct TJobRecords {
  TInputOptions TaskInput;  // given to AddTask
  TInputOptions SlotInput;  // kept in the job slot (and given to AddTask again at batch start)
  TOutputOptions Output;    // given to SetOutputFile and kept in the slot
  std::string OutputFileName;
};

// A job added alone: input with the cut start, output named after the
// dialog's output name (numbered when it exists and the action asks for new
// names), pending options mapped with the cut range.
bool MakeSingleJob(const TJobChoice& choice, const std::string& sourceFileName, TExistingFileAction action,
                   const TFileExists& exists, TJobRecords& job, std::string& error);

// One file of an add of several files: the task reads from the start, the
// slot keeps the pending cut start, the output is named after the input in
// the output folder with the dialog's extension, and no cut range applies.
bool MakeManyJob(const TJobChoice& choice, const std::string& sourceFileName, std::string_view outputFolder,
                 TExistingFileAction action, const TFileExists& exists, TJobRecords& job, std::string& error);

}  // namespace profiles
