// What the media information dialog shows about a file: values taken from
// the probe's records and cut out of its English description text.
#pragma once

#include <string>

#include <QString>

class TAVProbe;

namespace app {

// The pieces of the probe's description text.
struct InfoTextParts {
  std::string VideoLine;  // "Video: …" up to ", StartTime:", or what the rules give without a stream
  std::string AudioLine;
  std::string Size;
  std::string Duration;  // without the milliseconds
  std::string BitRate;   // at most 10 characters
};

InfoTextParts CutInfoText(const std::string& infoText);

// The value labels of the dialog, in the dialog's order.
struct MediaInfoLabels {
  QString FileName, FormatName, Duration, Size, BitRate, FormatLongName, Extension;
  QString Resolution, FrameRate, VideoBitRate, VideoLine;
  QString SampleRate, Channels, AudioBitRate, AudioLine;
};

// Loads path with the probe (a failed load leaves the probe's empty
// answers) and fills the labels.
MediaInfoLabels ReadMediaInfo(TAVProbe& probe, const std::string& path);

// "单声道", "立体声", or the count with "声道" ("6 声道"); empty for none.
QString ChannelsText(int channels);
// num ÷ den with two decimals; "未知" when den is 0 or the rate is unknown.
QString FrameRateText(int num, int den);
// A stream line that begins with "File Name" (no such stream) or is empty: "无".
QString StreamLineText(const std::string& line);

}  // namespace app
