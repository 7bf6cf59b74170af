#include "cli/cli_options.h"

#include <charconv>

#include "cli/cli_jobs.h"
#include "cli/cli_option_text.h"
#include "profiles/output_catalogue.h"

namespace cli {
namespace {

using profiles::olCount;

constexpr std::array<TListOptionName, olCount> kListOptions = {{
    {"--video-codec", profiles::olVideoCodec},
    {"--video-bitrate", profiles::olVideoBitrate},
    {"--size", profiles::olFrameSize},
    {"--frame-rate", profiles::olFrameRate},
    {"--audio-codec", profiles::olAudioCodec},
    {"--audio-bitrate", profiles::olAudioBitrate},
    {"--sample-rate", profiles::olSampleRate},
    {"--aspect", profiles::olAspect},
    {"--volume", profiles::olVolume},
    {"--channels", profiles::olChannels},
}};

enum TOptionId {
  oiHelp,
  oiType,
  oiExt,
  oiOutputDir,
  oiOverwrite,
  oiVerbose,
  oiJobs,
  oiOneThread,
  oiHFlip,
  oiVFlip,
  oiNegate,
  oiCut,
  oiOptions,
  oiListTypes,
  oiListOptions,
  oiInfo,
};

struct TOptionSpec {
  std::string_view Long;
  char Short;  // 0: none
  bool TakesValue;
  TOptionId Id;
};

constexpr TOptionSpec kOptions[] = {
    {"--help", 'h', false, oiHelp},
    {"--type", 't', true, oiType},
    {"--ext", 0, true, oiExt},
    {"--output-dir", 'o', true, oiOutputDir},
    {"--overwrite", 0, false, oiOverwrite},
    {"--verbose", 'v', false, oiVerbose},
    {"--jobs", 'j', true, oiJobs},
    {"--one-thread", 0, false, oiOneThread},
    {"--hflip", 0, false, oiHFlip},
    {"--vflip", 0, false, oiVFlip},
    {"--negate", 0, false, oiNegate},
    {"--cut", 0, true, oiCut},
    {"--options", 0, true, oiOptions},
    {"--list-types", 0, false, oiListTypes},
    {"--list-options", 0, true, oiListOptions},
    {"--info", 0, true, oiInfo},
};

std::optional<int32_t> ParseInt(std::string_view text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

bool IsDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A catalogue code given on the command line; false with an error otherwise.
bool ParseTypeCode(std::string_view option, std::string_view text, int32_t& code, std::string& error) {
  const std::optional<int32_t> value = ParseInt(text);
  if (!value || !profiles::FindOutputType(*value)) {
    error = std::string(option) + ": unknown output type '" + std::string(text) + "' (see --list-types)";
    return false;
  }
  code = *value;
  return true;
}

// What the parser saw, before the checks that need all of it.
struct TSeen {
  bool Help = false;
  std::vector<std::string_view> Actions;
  std::vector<std::string_view> ConversionOnly;  // options that shape a conversion
};

bool CheckCombination(const TSeen& seen, TCliOptions& o, std::string& error) {
  if (seen.Help) {
    o.Action = caHelp;
    return true;
  }
  if (seen.Actions.size() > 1) {
    error = std::string(seen.Actions[0]) + " and " + std::string(seen.Actions[1]) + " cannot be combined";
    return false;
  }
  if (o.Action != caConvert) {
    if (!o.Files.empty()) {
      error = std::string(seen.Actions[0]) + " takes no input files";
      return false;
    }
    if (!seen.ConversionOnly.empty()) {
      error = std::string(seen.ConversionOnly[0]) + " cannot be used with " + std::string(seen.Actions[0]);
      return false;
    }
    return true;
  }
  if (o.Files.empty()) {
    error = "no input files";
    return false;
  }
  if (!o.HasType) {
    if (o.Extension.empty()) {
      error = "--type none needs --ext EXT";
      return false;
    }
    for (const TListOptionName& name : kListOptions) {
      if (o.Picks[name.List]) {
        error = std::string(name.Option) + " cannot be used with --type none";
        return false;
      }
    }
    if (o.HorizontalFlip || o.VerticalFlip || o.Negative || o.HasCut) {
      error = "--hflip, --vflip, --negate and --cut cannot be used with --type none";
      return false;
    }
    return true;
  }
  if (!o.Extension.empty()) {
    error = "--ext applies to --type none only";
    return false;
  }
  if (o.HasCut && o.Files.size() != 1) {
    error = "--cut applies to one input file only";
    return false;
  }
  profiles::TFilledOptions filled;
  return PickOptions(o.TypeCode, o, filled, error);
}

}  // namespace

std::span<const TListOptionName> ListOptionNames() { return kListOptions; }

bool ParseCutRange(std::string_view text, profiles::TCutTimes& times, std::string& error) {
  const size_t dash = text.find('-');
  const std::string_view halves[2] = {
      text.substr(0, dash), dash == std::string_view::npos ? std::string_view() : text.substr(dash + 1)};
  if (dash == std::string_view::npos) {
    error = "--cut: expected HH:MM:SS-HH:MM:SS, got '" + std::string(text) + "'";
    return false;
  }
  profiles::TCutTimes parsed;
  for (int half = 0; half < 2; ++half) {
    std::string_view rest = halves[half];
    for (int field = 0; field < 3; ++field) {
      const size_t colon = rest.find(':');
      if ((field < 2) == (colon == std::string_view::npos)) {
        error = "--cut: expected HH:MM:SS-HH:MM:SS, got '" + std::string(text) + "'";
        return false;
      }
      const std::string_view part = rest.substr(0, colon);
      if (!IsDigits(part)) {
        error = "--cut: " + std::string(profiles::kDigitsOnlyMessage) + " ('" + std::string(part) + "')";
        return false;
      }
      parsed[half * 3 + field] = std::string(part);
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  times = parsed;
  return true;
}

TParseResult ParseCommandLine(const std::vector<std::string>& args) {
  TParseResult result;
  TCliOptions& o = result.Options;
  TSeen seen;
  std::string& error = result.Error;
  bool onlyFiles = false;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyFiles || arg == "-" || arg.empty() || arg[0] != '-') {
      o.Files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }

    // Find the option: "--name", "--name=value", "-x", "-xvalue".
    std::string_view name = arg;
    std::optional<std::string> inlineValue;
    const TOptionSpec* spec = nullptr;
    std::optional<profiles::TOptionListIndex> list;
    if (arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        name = std::string_view(arg).substr(0, equals);
        inlineValue = arg.substr(equals + 1);
      }
      for (const TOptionSpec& s : kOptions)
        if (s.Long == name) spec = &s;
      for (const TListOptionName& l : kListOptions)
        if (l.Option == name) list = l.List;
    } else {
      name = std::string_view(arg).substr(0, 2);
      if (arg.size() > 2) inlineValue = arg.substr(2);
      for (const TOptionSpec& s : kOptions)
        if (s.Short != 0 && s.Short == arg[1]) spec = &s;
    }
    if (!spec && !list) {
      error = "unknown option '" + std::string(name) + "'";
      return result;
    }
    const bool takesValue = list || spec->TakesValue;
    std::string value;
    if (takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = std::string(name) + " needs a value";
        return result;
      }
    } else if (inlineValue) {
      error = std::string(name) + " takes no value";
      return result;
    }
    // Report the long name in messages about combinations.
    const std::string_view shown = list ? name : spec->Long;

    if (list) {
      o.Picks[*list] = value;
      seen.ConversionOnly.push_back(shown);
      continue;
    }
    switch (spec->Id) {
      case oiHelp:
        seen.Help = true;
        break;
      case oiType:
        if (value == "none") {
          o.HasType = false;
        } else {
          o.HasType = true;
          if (!ParseTypeCode(shown, value, o.TypeCode, error)) return result;
        }
        seen.ConversionOnly.push_back(shown);
        break;
      case oiExt:
        while (!value.empty() && value[0] == '.') value.erase(0, 1);
        if (value.empty() || value.find('/') != std::string::npos) {
          error = "--ext: '" + value + "' is not a file extension";
          return result;
        }
        o.Extension = value;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiOutputDir:
        if (value.empty()) {
          error = "--output-dir needs a folder";
          return result;
        }
        o.OutputDir = value;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiOverwrite:
        o.Overwrite = true;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiVerbose:
        o.Verbose = true;
        break;
      case oiJobs: {
        const std::optional<int32_t> jobs = ParseInt(value);
        if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
          error = "--jobs: '" + value + "' is not a number from 1 to " + std::to_string(kMaxJobs);
          return result;
        }
        o.Jobs = *jobs;
        seen.ConversionOnly.push_back(shown);
        break;
      }
      case oiOneThread:
        o.OneThread = true;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiHFlip:
      case oiVFlip:
      case oiNegate:
        (spec->Id == oiHFlip ? o.HorizontalFlip : spec->Id == oiVFlip ? o.VerticalFlip : o.Negative) = true;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiCut:
        if (!ParseCutRange(value, o.CutTimes, error)) return result;
        o.HasCut = true;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiOptions:
        error = RefusedOptionValue(value);
        if (!error.empty()) return result;
        o.ExtraOptions = value;
        seen.ConversionOnly.push_back(shown);
        break;
      case oiListTypes:
        o.Action = caListTypes;
        seen.Actions.push_back(shown);
        break;
      case oiListOptions:
        if (!ParseTypeCode(shown, value, o.ListCode, error)) return result;
        o.Action = caListOptions;
        seen.Actions.push_back(shown);
        break;
      case oiInfo:
        o.InfoFile = value;
        o.Action = caInfo;
        seen.Actions.push_back(shown);
        break;
    }
  }
  result.Ok = CheckCombination(seen, o, error);
  return result;
}

std::string UsageText() {
  return R"(Usage: quvexa-convert [options] FILE...
       quvexa-convert --list-types | --list-options CODE | --info FILE

Converts each FILE with one output type and that type's default choices,
resolved exactly as the options dialog of Quvexa resolves them. Choices are
picked by their captions, exactly as the dialog shows them (in Chinese);
--list-options CODE prints them.

Output:
  -t, --type CODE         output type code (default 500); see --list-types
  -t none --ext EXT       no output type: the output gets the extension EXT and
                          only the --options text configures it
  -o, --output-dir DIR    output folder (default ~/Video_Directory, created
                          when missing)
      --overwrite         overwrite existing output files; without it a new
                          name "NAME(New_N).EXT" is chosen
  -j, --jobs N            conversions running at the same time, 1 to 64
                          (default 1)
      --one-thread        each conversion reads, decodes and encodes on one
                          thread instead of beside each other; slower, the
                          files are the same

Choices (one item of the type's list, by its caption):
      --video-codec CAPTION     --video-bitrate CAPTION   --size CAPTION
      --frame-rate CAPTION      --audio-codec CAPTION     --audio-bitrate CAPTION
      --sample-rate CAPTION     --aspect CAPTION          --volume CAPTION
      --channels CAPTION
  An unknown caption is refused with the list of valid ones.
      --hflip, --vflip, --negate
                          flip the picture horizontally, vertically, or show
                          it as a negative
      --cut HH:MM:SS-HH:MM:SS
                          convert only this time range (one input file only)
      --options TEXT      extra option text for the engine: name=value lines
                          separated by line breaks or by "<CRLF>"; names that
                          nothing knows and lines the type's own settings
                          replace are warned about, absurd values refused

Information:
      --list-types        every output type: code, caption, extension and
                          whether the program's type chooser offers it
      --list-options CODE the ten choice lists of a type, defaults marked '*'
      --info FILE         what a media file holds
  -v, --verbose           also the media libraries' warnings (their errors
                          are always shown)
  -h, --help              this text

Progress: on a terminal a bar per running conversion (percent, time reached,
speed); otherwise one line per finished conversion, noting an input that
ended before its stated duration. Errors of the media libraries go to
standard error. Names that are not UTF-8 are shown with \xNN for such bytes.

Only plain files are converted: pipes, devices and folders are refused.
An output never replaces one of the inputs, whatever its name; a failed
conversion leaves no file behind.

Exit status: 0 when every conversion finished, 1 when any failed, 2 for a
wrong command line, 128 + the signal's number when stopped by a signal (130
for Ctrl-C). The first Ctrl-C (or SIGTERM, SIGHUP) stops the batch and
finishes the outputs properly; a second one skips what the encoders still
hold, and still closes the outputs properly.

Examples:
  quvexa-convert -t 507 --size '480*272  (PSP 3.03或更高固件版本适用)' a.avi
  quvexa-convert -t none --ext mkv --options 'vcodec=copy<CRLF>acodec=copy' a.avi
)";
}

}  // namespace cli
