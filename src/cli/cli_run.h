// Carrying out what the command line asks for: the conversions through the
// engine component, and the media information of one file.
#pragma once

#include <ostream>
#include <string>

#include "cli/cli_options.h"

namespace cli {

// SIGINT, SIGTERM and SIGHUP ask the running batch to stop cleanly (the
// outputs are finished and closed properly); a second one also skips what
// the encoders still hold, the outputs are still closed properly. SIGPIPE
// is ignored: a closed standard output (" | head") only loses the lines.
void InstallStopSignals();
// The number of the first stop signal received, 0 while none arrived.
int StopSignal();
// How many stop signals arrived.
int StopSignalCount();
// Forgets received stop signals (tests).
void ResetStopSignal();

// Why a path cannot be converted ("no such file", "is a pipe ..."), or ""
// for a plain file.
std::string InputRefusal(const std::string& path);

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
