// The command line of quvexa-convert: what it asks for, parsed and checked
// before anything is opened, and the usage text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/option_lists.h"
#include "profiles/option_resolution.h"

namespace cli {

inline constexpr const char* kProgramName = "quvexa-convert";

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // a job (or the --info probe) failed
constexpr int kExitUsage = 2;   // wrong command line or option value
// A signal ends the run with 128 + its number (130 for Ctrl-C).
constexpr int kExitSignalBase = 128;

constexpr int32_t kDefaultTypeCode = 500;
constexpr int kMaxJobs = 64;

enum TCliAction {
  caConvert,
  caHelp,
  caListTypes,
  caListOptions,
  caInfo,
};

// The option that picks an item of one list of the options dialog.
struct TListOptionName {
  std::string_view Option;  // "--video-codec"
  profiles::TOptionListIndex List;
};

// The ten list options in list order (one per TOptionListIndex).
std::span<const TListOptionName> ListOptionNames();

using TListPicks = std::array<std::optional<std::string>, profiles::olCount>;

struct TCliOptions {
  TCliAction Action = caConvert;
  // Output type: a catalogue code, or none (-t none) with an extension.
  bool HasType = true;
  int32_t TypeCode = kDefaultTypeCode;
  std::string Extension;  // --ext, without the leading dot
  std::string OutputDir;  // empty: the default output folder
  bool Overwrite = false;
  bool Verbose = false;  // the libraries' warnings on standard error too
  int Jobs = 1;
  bool OneThread = false;  // no overlapped stages within a conversion
  TListPicks Picks;  // a caption per list the user picked
  bool HorizontalFlip = false;
  bool VerticalFlip = false;
  bool Negative = false;
  bool HasCut = false;
  profiles::TCutTimes CutTimes;  // start h, m, s, stop h, m, s as typed
  std::string ExtraOptions;      // --options, the engine's option text
  int32_t ListCode = 0;          // --list-options CODE
  std::string InfoFile;          // --info FILE
  std::vector<std::string> Files;
};

struct TParseResult {
  bool Ok = false;
  std::string Error;  // English (with the dialog's Chinese text where it has one)
  TCliOptions Options;
};

// Parses the arguments after the program name. Checks everything that can
// be checked without opening a file, the list captions included.
TParseResult ParseCommandLine(const std::vector<std::string>& args);

// "HH:MM:SS-HH:MM:SS" into the six time fields. Fields hold digits only
// (the dialog's time edits take nothing else); an empty field stays empty
// and counts as "00". False with an error for any other form.
bool ParseCutRange(std::string_view text, profiles::TCutTimes& times, std::string& error);

std::string UsageText();

}  // namespace cli
