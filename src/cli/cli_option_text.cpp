#include "cli/cli_option_text.h"

#include <cctype>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "engine/engine_util.h"
#include "engine/option_names.h"

namespace cli {
namespace {

// Limits beyond which a value asks for something no conversion can give.
constexpr double kMaxFrameRate = 1000.0;  // frames per second
constexpr long kMaxFrameSide = 16384;     // pixels
constexpr int32_t kMinSampleRate = 1000;  // Hz
constexpr int32_t kMaxSampleRate = 768000;
constexpr int32_t kMaxChannels = 64;
constexpr int32_t kMaxThreads = 256;
constexpr int32_t kMaxVolume = 256 * 100;  // 256 is the volume as it is

// Options the engine reads as whole or floating-point numbers itself.
const std::set<std::string> kIntegerOptions = {
    "fs",      "dframes",   "loop_output", "v",       "threads", "vsync",        "async",
    "vglobal", "programid", "copyinkf",    "vframes", "vdt",     "me_threshold", "pass",
    "top",     "dc",        "aframes",     "ar",      "ac",      "vol",          "vc"};
const std::set<std::string> kFloatOptions = {"adrift_threshold", "dts_delta_threshold", "qscale", "aq",
                                             "muxdelay",         "muxpreload"};

std::string Line(const std::string& name, const std::string& value) {
  return "--options: " + name + "=" + value + ": ";
}

// A frame rate written as a number or a fraction; false for other forms
// (abbreviations such as "pal"), which the engine checks itself.
bool FrameRateValue(const std::string& text, double& rate) {
  const char* p = text.c_str();
  char* end = nullptr;
  const double num = std::strtod(p, &end);
  if (end == p) return false;
  double den = 1;
  if (*end == '/' || *end == ':') {
    const char* q = end + 1;
    den = std::strtod(q, &end);
    if (end == q) return false;
  }
  if (*end) return false;
  rate = den != 0 ? num / den : 0;
  return true;
}

std::string RefusedValue(const std::string& name, const std::string& value) {
  try {
    if (name == "fs")
      (void)engine::StrToInt64(value);
    else if (kIntegerOptions.count(name))
      (void)engine::StrToInt(value);
    if (kFloatOptions.count(name)) (void)engine::StrToFloat(value);
  } catch (const std::exception& e) {
    return Line(name, value) + e.what();
  }
  if (name == "r" && !value.empty()) {
    double rate = 0;
    if (FrameRateValue(value, rate) && !(rate > 0 && rate <= kMaxFrameRate))
      return Line(name, value) + "a frame rate must lie above 0 and at most " +
             std::to_string(int(kMaxFrameRate)) + " frames per second";
  }
  if (name == "s" && !value.empty() && std::isdigit(static_cast<unsigned char>(value[0]))) {
    // The engine's grammar: a width, one separator, a height.
    const char* p = value.c_str();
    char* end = nullptr;
    const long width = std::strtol(p, &end, 10);
    if (*end) ++end;
    const long height = std::strtol(end, nullptr, 10);
    if (width > kMaxFrameSide || height > kMaxFrameSide)
      return Line(name, value) + "a picture side must be at most " + std::to_string(kMaxFrameSide) +
             " pixels";
  }
  const bool counted = name == "ar" || name == "ac" || name == "threads" || name == "vol";
  const int32_t number = counted ? engine::StrToInt(value) : 0;
  if (name == "ar" && number != 0 && (number < kMinSampleRate || number > kMaxSampleRate))
    return Line(name, value) + "a sample rate must lie between " + std::to_string(kMinSampleRate) + " and " +
           std::to_string(kMaxSampleRate) + " Hz";
  if (name == "ac" && (number < 0 || number > kMaxChannels))
    return Line(name, value) + "a channel count must lie between 1 and " + std::to_string(kMaxChannels);
  if (name == "threads" && (number < 0 || number > kMaxThreads))
    return Line(name, value) + "the thread count must lie between 0 (automatic) and " +
           std::to_string(kMaxThreads);
  if (name == "vol" && (number < 0 || number > kMaxVolume))
    return Line(name, value) + "the volume must lie between 0 and " + std::to_string(kMaxVolume) +
           " (256 keeps it as it is)";
  return std::string();
}

}  // namespace

std::string RefusedOptionValue(const std::string& optionText) {
  for (const auto& [name, value] : engine::OptionTextLines(optionText)) {
    const std::string refused = RefusedValue(name, value);
    if (!refused.empty()) return refused;
  }
  return std::string();
}

std::vector<std::string> OptionTextWarnings(const TOutputOptions& record, const std::string& typeName) {
  std::vector<std::string> warnings;
  std::set<std::string> told;
  for (const auto& [name, value] : engine::OptionTextLines(record.ExtraOptions)) {
    if (name.empty() || !told.insert(name).second) continue;
    if (!engine::IsKnownOptionName(name)) {
      warnings.push_back("warning: --options: '" + name +
                         "' is not an option of the engine or the media "
                         "libraries; the line has no effect");
      continue;
    }
    const std::string field = engine::RecordFieldReplacing(record, name);
    if (field.empty()) continue;
    std::string text = "warning: --options: '" + name + "=" + value + "' has no effect: ";
    text += typeName.empty() ? "the output record sets the " + field.substr(4) + " itself"
                             : typeName + " sets " + field + " itself";
    if (name == "ss" || name == "t") text += " (use --cut HH:MM:SS-HH:MM:SS)";
    warnings.push_back(text);
  }
  return warnings;
}

}  // namespace cli
