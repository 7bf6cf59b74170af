// What the main window keeps of the user's choice for the next job(s): the
// pending options, the output name and type tag the options dialog set, and
// whether a cut range was confirmed.
#pragma once

#include <string>
#include <string_view>

#include "profiles/option_lists.h"
#include "profiles/pending_options.h"

namespace profiles {

struct TJobChoice {
  TPendingOptions Pending;
  std::string OutputFileName;  // output folder + "/" + input name with the type's extension
  std::string OutputExt;       // the type tag (".mp4", ".psp.mp4", ...)
  std::string CutRangeState = kCutRangeNotSelected;  // kCutRangeSelected / kCutRangeNotSelected
};

// Run before each add: pending options back to their initial values, output
// name and type tag cleared. The cut-range state is left alone; the next
// resolution rewrites it.
void ResetPendingOptions(TJobChoice& choice);

// The output name a type gives an input: folder + "/" + the input's file
// name with its extension replaced by the type's file extension.
std::string OutputNameForType(std::string_view outputFolder, std::string_view sourceFileName,
                              std::string_view fileExtension);

// What showing the options dialog does to the choice once the lists are
// filled: filters and tag cleared, container override and disc norm cleared,
// and for a known type the output name, type tag and container override set
// from the catalogue.
void ApplyFilledOptions(TJobChoice& choice, const TFilledOptions& filled, std::string_view outputFolder,
                        std::string_view sourceFileName);

}  // namespace profiles
