// Presets (options apre, vpre, spre, fpre): a list of name=value option
// lines taken from the built-in table or from a text file.
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "engine/builtin_presets.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"

using engine::Format;

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Line breaks of any convention become line feeds.
std::string NormaliseLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Every non-empty line must be key=value; lines applied before a failing
// line stay applied.
void ApplyPresetText(TCustomFFmpeg& task, const std::string& source, const std::string& text) {
  std::istringstream lines(NormaliseLineBreaks(engine::Trim(text)));
  std::string raw;
  while (std::getline(lines, raw)) {
    const std::string line = engine::Trim(raw);
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    const std::string key = eq == std::string::npos ? line : engine::Trim(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : engine::Trim(line.substr(eq + 1));
    if (key.empty() || value.empty())
      throw FFmpegException(Format("%s: Invalid syntax: \"%s\"", source.c_str(), line.c_str()));
    const std::string lowerKey = engine::Lower(key);
    if (lowerKey == "acodec") {
      task.SetAudioCodec(value);
    } else if (lowerKey == "vcodec") {
      task.SetVideoCodec(value);
    } else if (lowerKey == "scodec") {
      task.SetSubtitleCodec(value);
    } else if (!task.SetGenericOption(key, value)) {
      throw FFmpegException(Format("%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                   source.c_str(), line.c_str(), key.c_str(), value.c_str()));
    }
  }
}

}  // namespace

void TCustomFFmpeg::SetPreset(const std::string& kind, const std::string& name) {
  if (name.empty()) return;
  const engine::TBuiltinPreset* builtin = nullptr;
  if (kind != "fpre") {
    builtin = engine::FindBuiltinPreset(name);
    if (!builtin) {
      // "default" with libx264 chosen for the kind finds "libx264-default".
      const std::optional<std::string>* codec = nullptr;
      if (kind == "vpre" && opt_.VideoCodecName) codec = &opt_.VideoCodecName;
      else if (kind == "apre" && opt_.AudioCodecName) codec = &opt_.AudioCodecName;
      else if (opt_.SubtitleCodecName) codec = &opt_.SubtitleCodecName;
      if (codec) builtin = engine::FindBuiltinPreset(**codec + "-" + name);
    }
  }

  std::string text;
  if (builtin) {
    text = builtin->Text;
  } else {
    if (!IsRegularFile(name)) throw FFmpegException(Format("Preset \"%s\" not found", name.c_str()));
    std::ifstream file(name, std::ios::binary);
    if (!file.is_open()) throw FFmpegException(Format("Preset \"%s\" not found", name.c_str()));
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
  }
  ApplyPresetText(*this, name, text);
}
