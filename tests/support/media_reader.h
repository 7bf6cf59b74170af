// Read-back of media files for assertions: what the streams are and what the
// packets say, and decoded pictures for tests that look at the image.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/library_tables.h"

namespace testsupport {

struct StreamSummary {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  std::string codec;  // codec name as the library names it: "h264", "mp3", "dvd_subtitle", ...
  int width = 0, height = 0;
  AVRational avgFrameRate{0, 1};
  int sampleRate = 0, channels = 0;
  int64_t packets = 0;           // packets read from the file
  int64_t keyPackets = 0;        // of them marked as key frames
  int64_t bytes = 0;             // payload bytes of all packets
  int64_t startUs = 0;           // first timestamp (µs; AV_NOPTS_VALUE without packets)
  int64_t durationUs = 0;        // last packet end minus first timestamp (µs), or the stream header's
  int64_t maxGapUs = 0;          // largest forward step between consecutive decoding timestamps (µs)
  int64_t reorderedPackets = 0;  // packets whose presentation and decoding timestamps differ
  std::string tag;               // codec tag as four characters; "" when zero, "0x…" when not printable
  std::string pixelFormat;       // "yuv420p", ... (video)
  std::string sampleFormat;      // "fltp", ... (audio)
  int64_t bitRate = 0;           // from the stream parameters (0 when unknown)
  std::string language;          // the stream's "language" tag
  int rotation = 0;               // clockwise turn its display matrix asks for (video)
  bool attachedPicture = false;  // a cover picture rather than a video
};

struct MediaSummary {
  bool ok = false;
  std::string error;       // English text when !ok
  std::string format;      // demuxer short name(s): "avi", "mov,mp4,m4a,3gp,3g2,mj2", "mpegts", ...
  int64_t durationUs = 0;  // longest stream duration from the packets; the container's when no packets
  int64_t formatDurationUs = AV_NOPTS_VALUE;    // what the container itself says
  std::map<std::string, std::string> metadata;  // container-level tags
  std::vector<StreamSummary> streams;

  int64_t videoFrames() const;                         // packets of the first video stream (0 without video)
  const StreamSummary* first(AVMediaType type) const;  // nullptr when there is none
  int count(AVMediaType type) const;
};

// Opens the file, reads every packet and summarises. Never asserts.
MediaSummary ReadMedia(const std::string& path);

// Decodes the first count pictures of the first video stream and converts
// them to format (a packed one-plane format: BGR24, GRAY8, RGB24, ...), rows
// tightly packed (width * bytes per pixel). Returns fewer on a short file and
// none on failure; width and height (may be null) receive the picture size.
std::vector<std::vector<uint8_t>> DecodeVideoFrames(const std::string& path, int count, int* width,
                                                    int* height, AVPixelFormat format = AV_PIX_FMT_BGR24);

// Decodes up to maxSeconds of the first audio stream to interleaved float
// samples; channels and sampleRate (may be null) receive the layout.
std::vector<float> DecodeAudioSamples(const std::string& path, double maxSeconds, int* channels,
                                      int* sampleRate);

// One decoded subtitle event of the first subtitle stream.
struct SubtitleEvent {
  int64_t startUs = 0, endUs = 0;           // display time (µs of file time)
  bool bitmap = false;                      // a bitmap rectangle (else text)
  int x = 0, y = 0, width = 0, height = 0;  // of the first bitmap rectangle
  int colours = 0;                          // palette entries of the first bitmap rectangle
  std::string text;                         // text events: the ASS line(s) as decoded, joined by "\n"
};
std::vector<SubtitleEvent> DecodeSubtitles(const std::string& path);

// The library's text for an error code.
std::string AvErrorText(int code);

}  // namespace testsupport
