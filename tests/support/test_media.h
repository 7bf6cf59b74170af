// Media files for tests, made at test time with the run-time bound media
// libraries (nothing is downloaded or committed), and a read-back summary
// for assertions on what the code under test wrote.
//
//   std::string in = testsupport::AviMpeg4Mp3();          // cached per program
//   testsupport::MediaSummary s = testsupport::ReadMedia(out);
//   ASSERT_TRUE(s.ok) << s.error;
//   EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->codec, "h264");
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/library_tables.h"
#include "support/media_reader.h"
#include "support/temp_dir.h"

namespace testsupport {

struct MediaSpec {
  // Muxer short name: "avi", "mp4", "mpegts", "wav", "mp3", "matroska", ...
  // Empty: the muxer the library picks for the file name.
  std::string container;
  // Video encoder name, empty = no video: "mpeg4", "libx264", "mpeg2video", "mjpeg", ...
  std::string videoCodec;
  std::string videoTag;  // optional four-character code, e.g. "XVID"
  int width = 320, height = 240;
  AVRational frameRate{25, 1};
  // One encoder per audio stream: "libmp3lame", "aac", "mp2", "pcm_s16le", ...
  std::vector<std::string> audioCodecs;
  int sampleRate = 44100, channels = 2;
  bool bitmapSubtitle = false;  // add a dvd_subtitle (bitmap) stream with a few events
  double seconds = 2.0;
  // µs of source time from which all timestamps jump forward by timestampJump (µs).
  int64_t timestampJumpAt = -1;
  int64_t timestampJump = 30000000;
  int videoBitRate = 0;     // 0 = the encoder's default
  int gopSize = 12;         // key frame distance of the video encoder
  int maxBFrames = 0;       // B-frames (reordered pictures) the video encoder may use
  std::string pixelFormat;  // video pixel format ("yuv422p", ...); empty = the encoder's first
  // "language" tag per audio stream (a shorter list tags fewer streams).
  std::vector<std::string> audioLanguages;
  // Adds a text subtitle stream with this encoder: "subrip", "ass", "mov_text".
  std::string textSubtitleCodec;
  std::map<std::string, std::string> metadata;  // container tags, e.g. {"title", "..."}
  // Clockwise turn (90, 180, 270) recorded in the video stream's display
  // matrix, as phones record portrait videos; the pictures stay as drawn.
  int rotation = 0;
  // Interlaced video coding, top field first, every picture marked
  // interlaced; the bottom field is drawn flat dark, so that a picture
  // whose fields are woven together shows dark lines on every other row.
  bool interlaced = false;
  // Adds a cover picture (one MJPEG picture, disposition attached picture)
  // of width x height, as music files carry album art.
  bool coverPicture = false;
};

// Writes the file (overwriting it); returns false, fills error and removes
// the partial file on failure. The content is deterministic: a moving colour
// pattern (every frame differs from the one before) and a sine tone per
// audio stream (440 Hz for the first, then 660, 880, ... Hz).
// Loads the converter libraries when they are not loaded yet.
bool WriteMedia(const std::string& path, const MediaSpec& spec, std::string* error = nullptr);

// Whether the installed libraries have an encoder of that name, so that a
// test can skip what the build cannot make.
bool EncoderAvailable(const std::string& name);

// Text of the subtitle events WriteMedia writes: event i (0-based) says
// SubtitleEventText(i); there are three events, at 0.1 s + i * seconds / 3.
std::string SubtitleEventText(int index);

// Inputs that are not what they pretend to be, for robustness tests.
// Copies the first keepFraction (0..1) of source to TempPath(name); returns the path.
std::string TruncatedCopy(const std::string& source, double keepFraction, const std::string& name);
// bytes of deterministic noise under TempPath(name); returns the path.
std::string GarbageFile(const std::string& name, size_t bytes);

// Ready-made inputs. Each is written once per test program under TempDir()
// (later calls return the cached path); a failure to write is reported as a
// failure of the calling test. Other tests use the same file: treat it as
// read-only and copy it first (TruncatedCopy(path, 1.0, name)) to change it.
std::string AviMpeg4Mp3();      // MPEG-4 video (XVID tag) + MP3 audio in AVI, 2 s
std::string Mp4H264Aac();       // H.264 (libx264) + AAC in MP4, 2 s
std::string TsMpeg2Mp2Jump();   // MPEG-2 video + MP2 in MPEG-TS, 4 s of source, timestamps jump 30 s at 2 s
std::string WavPcm();           // PCM s16le WAV, stereo 44.1 kHz, 2 s
std::string Mp3Only();          // MP3 audio only, 2 s
std::string TwoAudioStreams();  // MPEG-4 video + MP3 + AAC in matroska, 2 s
std::string WithBitmapSubtitle();  // MPEG-4 video + MP3 + dvd_subtitle (3 events) in matroska, 2 s
std::string ChineseNamed();        // TempDir()+"/测试视频.avi": MPEG-4 + MP3, 1 s
std::string WithTextSubtitle();    // MPEG-4 video + MP3 + subrip (3 events) in matroska, 2 s
std::string Mp4WithBFrames();      // H.264 with B-frames (reordered timestamps) + AAC in MP4, 2 s

// The MediaSpec behind some ready-made inputs, for tests that compare against it.
MediaSpec AviMpeg4Mp3Spec();
MediaSpec Mp4H264AacSpec();
MediaSpec TsMpeg2Mp2JumpSpec();

// Writes the described file to TempPath(name) once per program and returns the path; the
// ready-made inputs above use it. Failures are reported with ADD_FAILURE.
std::string CachedMedia(const std::string& name, const MediaSpec& spec);

}  // namespace testsupport
