// The main window's state that the add road shares with the format chooser
// and the options dialog: the user's choice for the next job(s), the chosen
// output type, the input being added and the output folder.
#pragma once

#include <cstdint>
#include <string>

#include "profiles/job_choice.h"
#include "profiles/output_naming.h"

namespace app {

struct WindowState {
  // Pending options, the output name and type tag the options dialog set,
  // and the cut-range state.
  profiles::TJobChoice Choice;
  // Written only by the chooser's selection; 500 = the first type of the
  // first page, which the chooser selects when it is made.
  int32_t OutputTypeCode = 500;
  std::string SourceFileName;  // the input the options dialog shows
  std::string OutputFolder;    // the output-folder box
  std::string PreviewFile;     // the input of the row selected last
  profiles::TExistingFileAction ExistingFileAction = profiles::efNewName;
  std::string ProgramFolder;  // with its trailing "/"
};

}  // namespace app
