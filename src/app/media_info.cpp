#include "app/media_info.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "media/av_probe.h"
#include "platform/code_page.h"
#include "profiles/file_names.h"

namespace app {
namespace {

// 1-based position of what in text, 0 when absent (the rules below count so).
size_t Pos(const std::string& text, const std::string& what) {
  const size_t found = text.find(what);
  return found == std::string::npos ? 0 : found + 1;
}

// The characters from 1-based position a up to position b - 1.
std::string Between(const std::string& text, size_t a, size_t b) {
  if (a == 0) a = 1;
  if (b <= a || a > text.size()) return std::string();
  return text.substr(a - 1, b - a);
}

// Up to the end of the line that starts at 1-based position a.
size_t LineEnd(const std::string& text, size_t a) {
  const size_t end = text.find("\r\n", a - 1);
  return end == std::string::npos ? text.size() + 1 : end + 1;
}

std::string StreamLine(const std::string& text, const std::string& marker) {
  const size_t v = Pos(text, marker);
  const size_t s = Pos(text, ", StartTime:");
  if (v > s) {
    const std::string rest = text.substr(v - 1);
    if (const size_t end = Pos(rest, ", StartTime:"); end != 0) return Between(rest, 1, end);
    // A stream of unknown start has no start time: its line up to the
    // duration (or its end) describes it all the same.
    const size_t lineEnd = LineEnd(rest, 1);
    const size_t duration = Pos(rest, ", Duration:");
    return Between(rest, 1, duration != 0 && duration < lineEnd ? duration : lineEnd);
  }
  return Between(text, v, s);
}

}  // namespace

InfoTextParts CutInfoText(const std::string& text) {
  InfoTextParts parts;
  parts.VideoLine = StreamLine(text, "Video:");
  parts.AudioLine = StreamLine(text, "Audio:");
  if (const size_t size = Pos(text, "File Size:"); size != 0)
    parts.Size = Between(text, size + 10, Pos(text, "Duration:"));
  if (const size_t duration = Pos(text, "Duration:"); duration != 0) {
    // Without a start-time line the duration line ends the value (its line
    // break counts among the six characters dropped, as before StartTime).
    size_t end = Pos(text, "StartTime:");
    if (end == 0) end = std::min(LineEnd(text, duration) + 2, text.size() + 1);
    std::string value = Between(text, duration + 9, end);
    parts.Duration = value.size() > 6 ? value.substr(0, value.size() - 6) : std::string();
  }
  if (const size_t rate = Pos(text, "Bit Rate:"); rate != 0) {
    parts.BitRate = Between(text, rate + 9, Pos(text, "Stream #0"));
    if (parts.BitRate.size() > 10) parts.BitRate.resize(10);
    while (!parts.BitRate.empty() && std::isspace(static_cast<unsigned char>(parts.BitRate.back())))
      parts.BitRate.pop_back();
  }
  return parts;
}

QString ChannelsText(int channels) {
  if (channels == 1) return QStringLiteral("单声道");
  if (channels == 2) return QStringLiteral("立体声");
  if (channels > 2) return QString::number(channels) + QStringLiteral(" 声道");
  return QString();
}

QString FrameRateText(int num, int den) {
  if (den == 0 || num < 0 || den < 0) return QStringLiteral("未知");
  return QString::number(double(num) / double(den), 'f', 2);
}

QString StreamLineText(const std::string& line) {
  if (line.empty() || line.rfind("File Name", 0) == 0) return QStringLiteral("无");
  return QString::fromStdString(line);
}

MediaInfoLabels ReadMediaInfo(TAVProbe& probe, const std::string& path) {
  try {
    probe.LoadFile(platform::Widen(path));
  } catch (const std::exception&) {
    // The libraries are missing: the queries below answer empty.
  }
  const std::string fileName = platform::Utf8(probe.FileName());
  const std::string infoText = probe.InfoText();
  const InfoTextParts parts = CutInfoText(infoText);
  const TAudioStreamInfo audio = probe.AudioStreamInfo(-1);
  const TVideoStreamInfo video = probe.VideoStreamInfo(-1);

  MediaInfoLabels labels;
  labels.FileName = QString::fromStdString(profiles::ExtractFileName(fileName));
  labels.FormatName = QString::fromStdString(probe.FormatName());
  labels.Duration = QString::fromStdString(parts.Duration);
  labels.Size = QString::fromStdString(parts.Size).trimmed().prepend(' ');
  labels.BitRate = QString::fromStdString(parts.BitRate);
  labels.FormatLongName = QString::fromStdString(probe.FormatLongName());
  labels.Extension = QString::fromStdString(profiles::ExtractFileExt(fileName));
  labels.Resolution = QString::number(video.Width) + '*' + QString::number(video.Height);
  labels.FrameRate = FrameRateText(video.FrameRateNum, video.FrameRateDen);
  labels.VideoBitRate = QString::number(video.BitRate / 1000) + QStringLiteral("  kbps");
  labels.VideoLine = StreamLineText(parts.VideoLine);
  labels.SampleRate = QString::number(audio.SampleRate);
  labels.Channels = ChannelsText(audio.Channels);
  labels.AudioBitRate = QString::number(audio.BitRate / 1000) + QStringLiteral("  kbps");
  labels.AudioLine = StreamLineText(parts.AudioLine);
  probe.CloseFile();
  return labels;
}

}  // namespace app
