// Carrying out what the command line asks for: the conversions through the
// engine component, and the media information of one file.
#pragma once

#include <ostream>
#include <string>

#include "cli/cli_options.h"

namespace cli {

// SIGINT and SIGTERM ask the running batch to stop cleanly; a second one
// ends the process at once.
void InstallStopSignals();
// The number of the stop signal received, 0 while none arrived.
int StopSignal();
// Forgets a received stop signal (tests).
void ResetStopSignal();

// Columns of the terminal on fd, 80 when it is none or does not say.
int TerminalColumns(int fd);

// Loads the converter libraries from the folder "LibAV" (beside the
// executable or in the installed shared data), or from the system. False with the loader's error.
bool LoadConverterLibraries(std::string& error);

// --info FILE: the probe's description of the file on out.
int RunInfo(const std::string& fileName, std::ostream& out, std::ostream& err);

// Converts options.Files; returns the exit status. out takes one line per
// finished conversion; err the failures, the library log lines and, when
// terminal is set, the progress bars.
int RunConversions(const TCliOptions& options, std::ostream& out, std::ostream& err, bool terminal,
                   int columns);

}  // namespace cli
