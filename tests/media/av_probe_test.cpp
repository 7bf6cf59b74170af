#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "media/av_probe.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/probe_text.h"
#include "platform/code_page.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
  return lines;
}

std::vector<std::string> StreamLines(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : Lines(text))
    if (l.rfind("Stream #", 0) == 0) out.push_back(l);
  return out;
}

int64_t DiskSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Records what the probe sends to the logger.
struct LogCapture {
  struct Line {
    const void* sender;
    TLogLevel level;
    std::string text;
  };
  std::vector<Line> lines;
  LogCapture() {
    DefaultLogger().SetOnLog([this](const void* sender, uint32_t, TLogLevel level, const std::string& text) {
      lines.push_back({sender, level, text});
    });
  }
  ~LogCapture() { DefaultLogger().SetOnLog(nullptr); }
};

class AVProbeTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::LoadConverterLibraries(); }
};

}  // namespace

// ---- formatting pieces ----------------------------------------------------------

TEST(ProbeText, RatesUseDecimalsOnlyWhenNeededAndThousandsAsK) {
  EXPECT_EQ(probetext::RateText(25, "tbr"), ", 25 tbr");
  EXPECT_EQ(probetext::RateText(30000.0 / 1001, "fps"), ", 29.97 fps");
  EXPECT_EQ(probetext::RateText(24000.0 / 1001, "tbr"), ", 23.98 tbr");
  EXPECT_EQ(probetext::RateText(90000, "tbn"), ", 90k tbn");
  EXPECT_EQ(probetext::RateText(1000, "tbn"), ", 1k tbn");
  EXPECT_EQ(probetext::RateText(12800, "tbn"), ", 12800 tbn");
  EXPECT_EQ(probetext::RateText(0.5, "fps"), ", 0.50 fps");
  // Rounding to hundredths decides: 24.999 counts as whole.
  EXPECT_EQ(probetext::RateText(24.999, "fps"), ", 25 fps");
}

TEST(ProbeText, SecondsKeepSixDigitsAndTheSignOfNegativeTimes) {
  EXPECT_EQ(probetext::SecondsText(25057), "0.025057");
  EXPECT_EQ(probetext::SecondsText(3723004000), "3723.004000");
  EXPECT_EQ(probetext::SecondsText(-500), "-0.000500");
  EXPECT_EQ(probetext::SecondsText(-1500000), "-1.500000");
  EXPECT_EQ(probetext::SecondsText(INT64_MIN), "-9223372036854.775808");
}

TEST(ProbeText, FrameNamesBecomePlainKeysAndNumbersAreReadFromTheFront) {
  EXPECT_STREQ(probetext::TranslateMetadataKey("TIT2"), "title");
  EXPECT_STREQ(probetext::TranslateMetadataKey("TT2"), "title");
  EXPECT_STREQ(probetext::TranslateMetadataKey("TYER"), "year");
  EXPECT_STREQ(probetext::TranslateMetadataKey("TSOP"), "authorsort");
  EXPECT_STREQ(probetext::TranslateMetadataKey("TXXX"), "TXXX");
  EXPECT_STREQ(probetext::TranslateMetadataKey("tit2"), "tit2");

  EXPECT_EQ(probetext::LeadingNumber("2009-10-01"), 2009);
  EXPECT_EQ(probetext::LeadingNumber("3/12"), 3);
  EXPECT_EQ(probetext::LeadingNumber(""), 0);
  EXPECT_EQ(probetext::LeadingNumber("x1"), 0);
  EXPECT_EQ(probetext::LeadingNumber("99999999999"), INT32_MAX);
}

// ---- generated files ------------------------------------------------------------

TEST_F(AVProbeTest, VideoAndAudioFileGivesCountsRecordsAndTwoStreamLines) {
  const std::string path = testsupport::AviMpeg4Mp3();
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(path))) << probe.LastErrMsg();
  EXPECT_EQ(probe.StreamCount(), 2);
  EXPECT_EQ(probe.VideoStreamIndex(), 0);
  EXPECT_EQ(probe.AudioStreamIndex(), 1);
  EXPECT_EQ(probe.VideoStreamCount(), 1);
  EXPECT_EQ(probe.AudioStreamCount(), 1);
  EXPECT_EQ(probe.SubtitleStreamCount(), 0);
  EXPECT_EQ(probe.SubtitleStreamIndex(), -1);
  EXPECT_EQ(probe.ProgramCount(), 0);
  EXPECT_EQ(probe.FileSize(), DiskSize(path));
  EXPECT_EQ(probe.FormatName(), "avi");
  EXPECT_EQ(probe.PreferredStream(), 0);

  const std::string text = probe.InfoText();
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GE(lines.size(), 8u) << text;
  EXPECT_EQ(lines[0], "File Name: " + path);
  EXPECT_EQ(lines[1], "Format Name: avi");
  EXPECT_EQ(lines[2].rfind("Format Long Name: AVI", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("File Size: ", 0), 0u);
  EXPECT_EQ(lines[3].substr(lines[3].size() - 3), " KB");
  EXPECT_EQ(lines[4].rfind("Duration: 00:00:02.", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5], "StartTime: 0.000000");
  EXPECT_EQ(lines[6].rfind("Bit Rate: ", 0), 0u);
  EXPECT_EQ(lines[6].substr(lines[6].size() - 5), " kb/s");

  // The text ends with the two stream lines, video first.
  ASSERT_GE(lines.size(), 2u);
  const std::string& video = lines[lines.size() - 2];
  const std::string& audio = lines[lines.size() - 1];
  EXPECT_EQ(video.rfind("Stream #0, 1/25: Video: mpeg4", 0), 0u) << video;
  EXPECT_NE(video.find(", 25 fps, 25 tbr, 25 tbn, 25 tbc, StartTime: 0.000000, Duration: 00:00:02."),
            std::string::npos)
      << video;
  EXPECT_EQ(audio.rfind("Stream #1, ", 0), 0u) << audio;
  EXPECT_NE(audio.find(": Audio: mp3"), std::string::npos) << audio;
  EXPECT_EQ(audio.find("tbn"), std::string::npos) << "rates belong to video streams only";
  EXPECT_EQ(StreamLines(text).size(), 2u);

  TVideoStreamInfo v = probe.VideoStreamInfo(-1);
  EXPECT_EQ(v.Width, 320);
  EXPECT_EQ(v.Height, 240);
  EXPECT_EQ(v.FrameRateNum, 25);
  EXPECT_EQ(v.FrameRateDen, 1);
  EXPECT_NEAR(v.DisplayAspect, 4.0 / 3.0, 1e-5);
  EXPECT_EQ(v.PixelFormat, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(v.Description.rfind("mpeg4", 0), 0u) << v.Description;
  EXPECT_EQ(v.StreamStart, 0);
  EXPECT_NEAR(double(v.Duration), 2.04e6, 0.05e6);

  TAudioStreamInfo a = probe.AudioStreamInfo(-7);  // any negative index: the first audio stream
  EXPECT_EQ(a.SampleRate, 44100);
  EXPECT_EQ(a.Channels, 2);
  EXPECT_EQ(a.SampleFormat, AV_SAMPLE_FMT_FLTP);
  EXPECT_GT(a.BitRate, 100000);
  EXPECT_EQ(a.Description.rfind("mp3", 0), 0u) << a.Description;
}

TEST_F(AVProbeTest, StreamQueriesWithABadIndexOrKindGiveUnknownValuesAndAnError) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::AviMpeg4Mp3())));
  LogCapture log;

  TAudioStreamInfo a = probe.AudioStreamInfo(5);
  EXPECT_EQ(probe.LastErrMsg(), "stream index #5 is invalid.");
  EXPECT_EQ(a.SampleRate, -1);
  EXPECT_EQ(a.Channels, -1);
  EXPECT_EQ(a.Duration, -1);
  EXPECT_TRUE(a.Description.empty());

  TVideoStreamInfo v = probe.VideoStreamInfo(1);
  EXPECT_EQ(probe.LastErrMsg(), "stream #1 is not video stream.");
  EXPECT_EQ(v.Width, -1);
  EXPECT_EQ(v.DisplayAspect, -1.0f);

  probe.AudioStreamInfo(0);
  EXPECT_EQ(probe.LastErrMsg(), "stream #0 is not audio stream.");

  ASSERT_EQ(log.lines.size(), 3u);
  for (const auto& line : log.lines) {
    EXPECT_EQ(line.sender, &probe);
    EXPECT_EQ(line.level, llError);
  }
}

TEST_F(AVProbeTest, Mp4ShowsStreamIdsLanguageFieldRatesAndStoredMetadataOrder) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::Mp4H264Aac()))) << probe.LastErrMsg();
  const std::string text = probe.InfoText();
  const std::vector<std::string> streams = StreamLines(text);
  ASSERT_EQ(streams.size(), 2u) << text;
  EXPECT_EQ(streams[0].rfind("Stream #0[0x1](und), 1/12800: Video: h264", 0), 0u) << streams[0];
  // H.264 counts in fields: the codec time base is half a frame.
  EXPECT_NE(streams[0].find(", 25 fps, 25 tbr, 12800 tbn, 50 tbc, "), std::string::npos) << streams[0];
  EXPECT_EQ(streams[1].rfind("Stream #1[0x2](und), 1/44100: Audio: aac", 0), 0u) << streams[1];

  // The file's block comes first, in the order the container stores it, with
  // the key padded to 16; "language" never shows up in a block.
  const size_t fileBlock = text.find("\r\nMetadata:\r\n  major_brand     : isom\r\n  minor_version   : ");
  EXPECT_NE(fileBlock, std::string::npos) << text;
  EXPECT_LT(fileBlock, text.find("Stream #0"));
  EXPECT_LT(text.find("  minor_version"), text.find("  compatible_brands: "));
  EXPECT_NE(text.find("Stream #0[0x1]"), std::string::npos);
  EXPECT_NE(text.find("\r\n  Metadata:\r\n    handler_name    : VideoHandler\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("language"), std::string::npos) << text;
}

TEST_F(AVProbeTest, AVideoLineEndsWithTheTurnItsDisplayMatrixAsksFor) {
  testsupport::MediaSpec spec;
  spec.container = "mp4";
  spec.videoCodec = "mpeg4";
  spec.width = 64;
  spec.height = 48;
  spec.seconds = 0.2;
  spec.rotation = 270;
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::CachedMedia("probe_turned.mp4", spec))));
  const std::vector<std::string> streams = StreamLines(probe.InfoText());
  ASSERT_EQ(streams.size(), 1u);
  const std::string ending = ", Rotation: 270";
  ASSERT_GE(streams[0].size(), ending.size());
  EXPECT_EQ(streams[0].substr(streams[0].size() - ending.size()), ending) << streams[0];

  // Without a matrix nothing is said.
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::Mp4H264Aac())));
  EXPECT_EQ(probe.InfoText().find("Rotation"), std::string::npos);
}

TEST_F(AVProbeTest, AudioOnlyFileHasNoVideoStream) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::Mp3Only())));
  EXPECT_EQ(probe.VideoStreamIndex(), -1);
  EXPECT_EQ(probe.VideoStreamCount(), 0);
  EXPECT_EQ(probe.AudioStreamIndex(), 0);
  EXPECT_EQ(probe.PreferredStream(), 0);

  LogCapture log;
  TVideoStreamInfo v = probe.VideoStreamInfo(-1);
  EXPECT_EQ(probe.LastErrMsg(), "no video stream.");
  EXPECT_EQ(v.Width, -1);
  EXPECT_EQ(v.BitRate, -1);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].level, llError);

  const std::string text = probe.InfoText();
  EXPECT_EQ(text.find("Video:"), std::string::npos);
  EXPECT_EQ(StreamLines(text).size(), 1u);
}

TEST_F(AVProbeTest, SubtitleAndSecondAudioStreamsAreCountedByKind) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::WithBitmapSubtitle())));
  EXPECT_EQ(probe.SubtitleStreamCount(), 1);
  EXPECT_EQ(probe.SubtitleStreamIndex(), 2);
  EXPECT_EQ(StreamLines(probe.InfoText()).size(), 3u);

  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::TwoAudioStreams())));
  EXPECT_EQ(probe.AudioStreamCount(), 2);
  EXPECT_EQ(probe.AudioStreamIndex(), 1);
  EXPECT_EQ(probe.SubtitleStreamCount(), 0);
  EXPECT_EQ(probe.AudioStreamInfo(2).Description.rfind("aac", 0), 0u);
}

TEST_F(AVProbeTest, TransportStreamPrintsItsProgramBeforeTheStreams) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::TsMpeg2Mp2Jump())));
  EXPECT_EQ(probe.ProgramCount(), 1);
  const std::string text = probe.InfoText();
  const size_t program = text.find("\r\nProgram 1 ");
  ASSERT_NE(program, std::string::npos) << text;
  EXPECT_LT(program, text.find("Stream #0[0x100], 1/90000: Video: mpeg2video"));
  EXPECT_NE(text.find(", 25 fps, 25 tbr, 90k tbn, "), std::string::npos) << text;
  EXPECT_EQ(StreamLines(text).size(), 2u) << "program streams must not be printed twice";
}

TEST_F(AVProbeTest, ChineseFileNameIsOpenedAndReportedInUtf8) {
  const std::string path = testsupport::ChineseNamed();
  const std::wstring wide = platform::Widen(path);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(wide)) << probe.LastErrMsg();
  EXPECT_EQ(probe.FileName(), wide);
  EXPECT_EQ(probe.FileSize(), DiskSize(path));
  EXPECT_EQ(Lines(probe.InfoText())[0], "File Name: " + path);

  const std::wstring missing = platform::Widen(testsupport::TempPath("不存在的文件.avi"));
  EXPECT_FALSE(probe.LoadFile(missing));
  EXPECT_EQ(probe.LastErrMsg(), platform::Utf8(missing) + ": No such file or directory");
}

// ---- failures ---------------------------------------------------------------

TEST_F(AVProbeTest, FailingLoadLeavesTheProbeUnloadedWithTheReason) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::WavPcm())));
  LogCapture log;

  const std::string missing = testsupport::TempPath("missing.avi");
  EXPECT_FALSE(probe.LoadFile(platform::Widen(missing)));
  EXPECT_EQ(probe.LastErrMsg(), missing + ": No such file or directory");
  EXPECT_EQ(probe.FormatContext(), nullptr);
  EXPECT_EQ(probe.StreamCount(), -1);
  EXPECT_EQ(probe.AudioStreamCount(), -1);
  EXPECT_EQ(probe.AudioStreamIndex(), -1);
  EXPECT_EQ(probe.FileSize(), -1);
  EXPECT_EQ(probe.PreferredStream(), -1);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].level, llError);
  EXPECT_EQ(log.lines[0].text, probe.LastErrMsg());

  const std::string text = testsupport::TempPath("notes.avi");
  std::ofstream(text) << "these are plain words, not a picture or a sound\n";
  EXPECT_FALSE(probe.LoadFile(platform::Widen(text)));
  EXPECT_EQ(probe.LastErrMsg(), text + ": Invalid data found when processing input");

  // An unknown forced format is refused before anything is opened, unlogged.
  log.lines.clear();
  EXPECT_FALSE(probe.LoadFile(platform::Widen(testsupport::WavPcm()), "no_such_format"));
  EXPECT_EQ(probe.LastErrMsg(), "Unknown input format: no_such_format");
  EXPECT_TRUE(log.lines.empty());

  ASSERT_TRUE(probe.LoadFile(platform::Widen(testsupport::WavPcm()), "wav"));
  EXPECT_EQ(probe.ForcedFormat(), "wav");
  probe.CloseFile();
  EXPECT_EQ(probe.ForcedFormat(), "");
}

TEST_F(AVProbeTest, QueriesWithoutAFileWarnAndGiveEmptyValues) {
  TAVProbe probe;
  LogCapture log;
  EXPECT_EQ(probe.InfoText(), "");
  TFileStreamInfo f = probe.FileStreamInfo();
  EXPECT_EQ(f.Duration, -1);
  EXPECT_EQ(f.BitRate, -1);
  EXPECT_EQ(f.Year, -1);
  EXPECT_TRUE(f.Title.empty());
  EXPECT_EQ(probe.AudioStreamInfo(-1).SampleRate, -1);
  EXPECT_EQ(probe.FileName(), L"");
  EXPECT_EQ(probe.LastErrMsg(), "file not loaded.");
  ASSERT_EQ(log.lines.size(), 3u);
  for (const auto& line : log.lines) EXPECT_EQ(line.level, llWarning);
}

TEST_F(AVProbeTest, MissingLibrariesAreNamedInCheckOrder) {
  TAVProbe probe;
  FFLoader().UnloadLibraries({lkAVCodec, lkSwScale});
  EXPECT_THROW(
      {
        try {
          probe.LoadFile(platform::Widen(testsupport::TempPath("x.avi")));
        } catch (const TAVProbeLibraryError& e) {
          EXPECT_STREQ(e.what(), "LibAVCodec not loaded.");
          throw;
        }
      },
      TAVProbeLibraryError);
  ASSERT_TRUE(FFLoader().LoadLibraries({lkAVCodec}));
  EXPECT_THROW(probe.AttachContext(nullptr), TAVProbeLibraryError);
  EXPECT_EQ(probe.LastErrMsg(), "LibSwScale not loaded.");
  testsupport::LoadConverterLibraries();
  EXPECT_TRUE(probe.LoadFile(platform::Widen(testsupport::WavPcm())));
}

// ---- contexts opened elsewhere ----------------------------------------------------

namespace {

int ReadFromFile(void* opaque, uint8_t* buf, int size) {
  size_t n = std::fread(buf, 1, size_t(size), static_cast<FILE*>(opaque));
  return n == 0 ? AVERROR_EOF : int(n);
}

}  // namespace

TEST_F(AVProbeTest, AttachedContextWithoutSizeTakesTheSizeFromDiskAndIsNotClosed) {
  const std::string path = testsupport::WavPcm();
  FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  const int kBuffer = 4096;
  auto* buffer = static_cast<unsigned char*>(lib::av_malloc(kBuffer));
  // No seek callback: the container cannot tell its size.
  AVIOContext* pb = lib::avio_alloc_context(buffer, kBuffer, 0, file, &ReadFromFile, nullptr, nullptr);
  AVFormatContext* ic = lib::avformat_alloc_context();
  ic->pb = pb;
  ASSERT_EQ(lib::avformat_open_input(&ic, path.c_str(), nullptr, nullptr), 0);
  ASSERT_LT(lib::avio_size(ic->pb), 0);

  {
    TAVProbe probe;
    probe.AttachContext(ic);
    EXPECT_FALSE(probe.OwnsContext());
    EXPECT_EQ(probe.FileSize(), DiskSize(path));
    EXPECT_EQ(probe.StreamCount(), 1);
    EXPECT_EQ(probe.FileName(), platform::Widen(path));
    probe.CloseFile();
    EXPECT_EQ(probe.StreamCount(), -1);
    EXPECT_EQ(ic->nb_streams, 1u);  // still ours and alive
    probe.AttachContext(ic);
  }  // destroying the probe must not close it either
  EXPECT_EQ(ic->nb_streams, 1u);

  lib::avformat_close_input(&ic);
  lib::av_freep(&pb->buffer);
  lib::avio_context_free(&pb);
  std::fclose(file);
}

TEST_F(AVProbeTest, HandBuiltContextShowsTheWholeLayout) {
  AVFormatContext* ic = lib::avformat_alloc_context();
  ic->duration = 3723004000;
  ic->start_time = AV_NOPTS_VALUE;
  ic->bit_rate = 0;
  lib::av_dict_set(&ic->metadata, "TIT2", "Song", 0);
  lib::av_dict_set(&ic->metadata, "language", "eng", 0);
  lib::av_dict_set(&ic->metadata, "TXXX", "x", 0);
  lib::av_dict_set(&ic->metadata, "creation_time", "2020-01-02T03:04:05.000000Z", 0);
  lib::av_dict_set(&ic->metadata, "date", "2009-10-01", 0);
  lib::av_dict_set(&ic->metadata, "track", "3/12", 0);

  AVStream* video = lib::avformat_new_stream(ic, nullptr);
  video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  video->codecpar->width = 720;
  video->codecpar->height = 480;
  video->sample_aspect_ratio = AVRational{8, 9};
  video->time_base = AVRational{2, 180000};
  video->avg_frame_rate = AVRational{30000, 1001};
  video->r_frame_rate = AVRational{24000, 1001};
  video->start_time = -45;  // -0.5 ms
  video->duration = AV_NOPTS_VALUE;
  lib::av_dict_set(&video->metadata, "language", "eng", 0);

  AVStream* audio = lib::avformat_new_stream(ic, nullptr);
  audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  audio->time_base = AVRational{1, 44100};
  audio->start_time = 0;
  audio->duration = 88200;
  lib::av_dict_set(&audio->metadata, "TPE1", "Artist", 0);

  AVProgram* program = lib::av_new_program(ic, 7);
  lib::av_dict_set(&program->metadata, "service_provider", "Prov", 0);
  lib::av_dict_set(&program->metadata, "service_name", "Chan", 0);
  program->stream_index = static_cast<unsigned*>(lib::av_malloc(sizeof(unsigned)));
  program->stream_index[0] = 1;
  program->nb_stream_indexes = 1;

  TAVProbe probe;
  probe.AttachContext(ic);
  EXPECT_EQ(probe.FileSize(), 0);
  EXPECT_EQ(probe.PreferredStream(), 0);
  EXPECT_EQ(probe.StartTime(), -45);
  TVideoStreamInfo v = probe.VideoStreamInfo(-1);
  EXPECT_NEAR(v.DisplayAspect, 4.0 / 3.0, 1e-5) << "the container's sample aspect stands in";
  EXPECT_EQ(v.StartTime, -500);

  TFileStreamInfo f = probe.FileStreamInfo();
  EXPECT_EQ(f.TimeStamp, 1577934245);
  EXPECT_EQ(f.Year, 2009);
  EXPECT_EQ(f.Track, 3);
  EXPECT_EQ(f.StartTime, -1);

  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  const std::vector<std::string> lines = Lines(probe.InfoText());
  if (oldTz)
    setenv("TZ", savedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  ASSERT_EQ(lines.size(), 21u);
  const std::vector<std::string> head = {
      "File Name: ",
      "Format Name: ",
      "Format Long Name: ",
      "File Size: 0 Byte",
      "Duration: 01:02:03.004",
      "Bit Rate: N/A",
      "Time Stamp: 2020-01-02 03:04:05",
      "Metadata:",
      "  title           : Song",
      "  TXXX            : x",
      "  creation_time   : 2020-01-02T03:04:05.000000Z",
      "  date            : 2009-10-01",
      "  track           : 3/12",
      "Program 7 Prov@Chan",
      "  Metadata:",
      "    service_provider: Prov",
      "    service_name    : Chan",
  };
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << "line " << i;
  // The program's stream comes first, then the rest in index order.
  EXPECT_EQ(lines[17].rfind("Stream #1, 1/44100: Audio", 0), 0u) << lines[17];
  EXPECT_EQ(lines[17].substr(lines[17].find(", StartTime")), ", StartTime: 0.000000, Duration: 00:00:02.000");
  EXPECT_EQ(lines[18], "  Metadata:");
  EXPECT_EQ(lines[19], "    artist          : Artist");
  // A stream whose only metadata is its language gets no block.
  EXPECT_EQ(lines[20].rfind("Stream #0(eng), 1/90000: Video", 0), 0u) << lines[20];
  EXPECT_NE(lines[20].find(", PAR 8:9 DAR 4:3, 29.97 fps, 23.98 tbr, 90k tbn, 29.97 tbc, StartTime: -0.000500, "
                           "Duration: N/A"),
            std::string::npos)
      << lines[20];

  probe.CloseFile();
  lib::avformat_free_context(ic);
}
