// Writes the probe harness's seed corpus into the folder given as argument:
// short, small files of the kinds the program meets, made by the tests'
// media generator. Skips what the installed encoders cannot make.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/test_media.h"

namespace {

using testsupport::MediaSpec;

// Small pictures, few frames and low rates keep every seed a few kilobytes,
// so that the fuzzer mutates headers rather than megabytes of samples.
MediaSpec Small(const std::string& container, const std::string& video, std::vector<std::string> audio) {
  MediaSpec s;
  s.container = container;
  s.videoCodec = video;
  s.width = 64;
  s.height = 48;
  s.frameRate = {5, 1};
  s.gopSize = 2;
  s.audioCodecs = std::move(audio);
  s.sampleRate = 8000;
  s.channels = 1;
  s.seconds = 0.6;
  return s;
}

struct Seed {
  const char* name;
  MediaSpec spec;
};

std::vector<Seed> Seeds() {
  std::vector<Seed> seeds = {
      {"mpeg4_mp3.avi", Small("avi", "mpeg4", {"libmp3lame"})},
      {"h264_aac.mp4", Small("mp4", "libx264", {"aac"})},
      {"mpeg2_mp2.ts", Small("mpegts", "mpeg2video", {"mp2"})},
      {"pcm.wav", Small("wav", "", {"pcm_s16le"})},
      {"audio.mp3", Small("mp3", "", {"libmp3lame"})},
      {"wmv2_wma.asf", Small("asf", "wmv2", {"wmav2"})},
      {"mjpeg_pcm.mov", Small("mov", "mjpeg", {"pcm_s16le"})},
      {"vorbis.ogg", Small("ogg", "", {"libvorbis"})},
      {"flac.flac", Small("flac", "", {"flac"})},
  };
  MediaSpec mkv = Small("matroska", "mpeg4", {"libmp3lame", "aac"});
  mkv.audioLanguages = {"chi", "eng"};
  mkv.textSubtitleCodec = "subrip";
  mkv.metadata = {{"title", "seed"}, {"creation_time", "2009-10-01T12:00:00Z"}, {"date", "2009"}};
  seeds.push_back({"tagged_subtitled.mkv", mkv});
  MediaSpec bitmap = Small("matroska", "mpeg4", {"libmp3lame"});
  bitmap.bitmapSubtitle = true;
  seeds.push_back({"bitmap_subtitle.mkv", bitmap});
  MediaSpec movText = Small("mp4", "mpeg4", {"aac"});
  movText.textSubtitleCodec = "mov_text";
  seeds.push_back({"mov_text.mp4", movText});
  // MPEG-1 video knows only the classic frame rates; FLV only the 11 kHz family.
  MediaSpec mpeg1 = Small("mpeg", "mpeg1video", {"mp2"});
  mpeg1.frameRate = {25, 1};
  mpeg1.seconds = 0.2;
  seeds.push_back({"mpeg1_mp2.mpg", mpeg1});
  MediaSpec flv = Small("flv", "flv", {"libmp3lame"});
  flv.sampleRate = 22050;
  seeds.push_back({"flv_mp3.flv", flv});
  MediaSpec jump = Small("mpegts", "mpeg2video", {"mp2"});
  jump.timestampJumpAt = 200000;
  seeds.push_back({"timestamp_jump.ts", jump});
  return seeds;
}

bool Available(const MediaSpec& spec) {
  if (!spec.videoCodec.empty() && !testsupport::EncoderAvailable(spec.videoCodec)) return false;
  for (const std::string& codec : spec.audioCodecs)
    if (!testsupport::EncoderAvailable(codec)) return false;
  return spec.textSubtitleCodec.empty() || testsupport::EncoderAvailable(spec.textSubtitleCodec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  fuzzsupport::LoadConverterLibraries();
  int written = 0;
  for (const Seed& seed : Seeds()) {
    if (!Available(seed.spec)) {
      std::fprintf(stderr, "skipped %s: encoder missing\n", seed.name);
      continue;
    }
    std::string error;
    const std::string path = std::string(argv[1]) + "/" + seed.name;
    if (testsupport::WriteMedia(path, seed.spec, &error))
      ++written;
    else
      std::fprintf(stderr, "cannot write %s: %s\n", seed.name, error.c_str());
  }
  std::printf("%d seed files in %s\n", written, argv[1]);
  return written > 0 ? 0 : 1;
}
