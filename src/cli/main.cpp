// quvexa-convert: the conversion engine and the output type catalogue of
// Quvexa from the command line, for scripts and machines without a display.
#include <clocale>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/cli_listing.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "platform/main_thread.h"

int main(int argc, char** argv) {
  // The locale's charset decides which file names the media libraries can
  // take directly; numbers stay in the C locale.
  std::setlocale(LC_CTYPE, "");
  platform::SetMainThread();

  const std::vector<std::string> args(argv + 1, argv + argc);
  const cli::TParseResult parsed = cli::ParseCommandLine(args);
  if (!parsed.Ok) {
    std::cerr << cli::kProgramName << ": " << parsed.Error << "\n"
              << "Try '" << cli::kProgramName << " --help' for more information.\n";
    return cli::kExitUsage;
  }
  const cli::TCliOptions& options = parsed.Options;
  switch (options.Action) {
    case cli::caHelp:
      std::cout << cli::UsageText();
      return cli::kExitOk;
    case cli::caListTypes:
      std::cout << cli::ListTypesText();
      return cli::kExitOk;
    case cli::caListOptions:
      std::cout << cli::ListOptionsText(options.ListCode);
      return cli::kExitOk;
    case cli::caInfo:
      return cli::RunInfo(options.InfoFile, std::cout, std::cerr);
    case cli::caConvert:
      break;
  }
  cli::InstallStopSignals();
  const bool terminal = isatty(STDERR_FILENO) == 1;
  return cli::RunConversions(options, std::cout, std::cerr, terminal, cli::TerminalColumns(STDERR_FILENO));
}
