// Stream copy from end to end: the output read back holds the input's
// packets with the right duration, cut by t, ss and fs as asked, and a stop
// request leaves a shorter file that still reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "context_fixture.h"

namespace {

using enginetest::ContextTest;
using testsupport::MediaSummary;
using testsupport::ReadMedia;

constexpr const char* kCopyBoth = "vcodec=copy<CRLF>acodec=copy";

struct PacketTime {
  int64_t ptsUs;
  bool key;
};

// The first video stream's packets of a file, in file order.
std::vector<PacketTime> VideoPackets(const std::string& path) {
  std::vector<PacketTime> result;
  AVFormatContext* ctx = nullptr;
  if (lib::avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return result;
  lib::avformat_find_stream_info(ctx, nullptr);
  int video = lib::av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVPacket* pkt = lib::av_packet_alloc();
  while (video >= 0 && lib::av_read_frame(ctx, pkt) >= 0) {
    if (pkt->stream_index == video)
      result.push_back({lib::av_rescale_q(pkt->pts, ctx->streams[video]->time_base, AVRational{1, 1000000}),
                        (pkt->flags & AV_PKT_FLAG_KEY) != 0});
    lib::av_packet_unref(pkt);
  }
  lib::av_packet_free(&pkt);
  lib::avformat_close_input(&ctx);
  return result;
}

class StreamCopyTest : public ContextTest {
 protected:
  // Copies input to output; returns the run's error text ("" on success).
  std::string Copy(const std::string& input, const std::string& output, const std::string& outputOptions = kCopyBoth,
                   const TOutputOptions* record = nullptr) {
    if (!AddInput(input)) return "input: " + task.LastOpenError();
    TOutputOptions options = record ? *record : TOutputOptions();
    options.ExtraOptions = outputOptions;
    if (!AddOutput(output, &options)) return "output: " + task.LastOpenError();
    return Run();
  }
  static void ExpectSamePackets(const MediaSummary& in, const MediaSummary& out) {
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
      const testsupport::StreamSummary* a = in.first(type);
      const testsupport::StreamSummary* b = out.first(type);
      ASSERT_NE(a, nullptr);
      ASSERT_NE(b, nullptr) << "missing " << lib::av_get_media_type_string(type);
      EXPECT_EQ(b->codec, a->codec);
      EXPECT_EQ(b->packets, a->packets) << lib::av_get_media_type_string(type);
      EXPECT_NEAR(double(b->durationUs), double(a->durationUs), 100000.0) << lib::av_get_media_type_string(type);
    }
  }
};

TEST_F(StreamCopyTest, Mp4ToMatroska) {
  std::string out = testsupport::TempPath("copy_mp4.mkv");
  ASSERT_EQ(Copy(testsupport::Mp4H264Aac(), out), "");
  EXPECT_TRUE(task.Finished());
  MediaSummary in = ReadMedia(testsupport::Mp4H264Aac()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.format, "matroska,webm");
  ExpectSamePackets(in, result);
}

TEST_F(StreamCopyTest, AviToMp4) {
  std::string out = testsupport::TempPath("copy_avi.mp4");
  ASSERT_EQ(Copy(testsupport::AviMpeg4Mp3(), out), "");
  MediaSummary in = ReadMedia(testsupport::AviMpeg4Mp3()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  ExpectSamePackets(in, result);
  // The AVI tag means nothing to the MP4 muxer; it chose its own.
  EXPECT_EQ(result.first(AVMEDIA_TYPE_VIDEO)->tag, "mp4v");
}

TEST_F(StreamCopyTest, TransportStreamJumpIsTakenOut) {
  std::string out = testsupport::TempPath("copy_ts.mp4");
  ASSERT_EQ(Copy(testsupport::TsMpeg2Mp2Jump(), out), "");
  MediaSummary in = ReadMedia(testsupport::TsMpeg2Mp2Jump()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  const double seconds = testsupport::TsMpeg2Mp2JumpSpec().seconds;
  for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
    ASSERT_NE(result.first(type), nullptr);
    EXPECT_EQ(result.first(type)->packets, in.first(type)->packets);
    EXPECT_NEAR(result.first(type)->durationUs / 1e6, seconds, 0.15);
    EXPECT_LT(result.first(type)->maxGapUs, 1000000);
  }
}

TEST_F(StreamCopyTest, CopyTsKeepsTheJump) {
  std::string out = testsupport::TempPath("copy_ts_copyts.mkv");
  ASSERT_EQ(Copy(testsupport::TsMpeg2Mp2Jump(), out, std::string(kCopyBoth) + "<CRLF>copyts=1"), "");
  MediaSummary result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_GT(result.first(AVMEDIA_TYPE_VIDEO)->maxGapUs, 20000000);
}

TEST_F(StreamCopyTest, RecordingTimeCutsEveryStream) {
  std::string out = testsupport::TempPath("copy_t.mkv");
  TOutputOptions record;
  record.RecordingTime = 1000000;
  ASSERT_EQ(Copy(testsupport::AviMpeg4Mp3(), out, kCopyBoth, &record), "");
  int64_t expected = 0;
  for (const PacketTime& p : VideoPackets(testsupport::AviMpeg4Mp3()))
    if (p.ptsUs < 1000000) ++expected;
  MediaSummary result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.videoFrames(), expected);
  EXPECT_NEAR(result.first(AVMEDIA_TYPE_AUDIO)->durationUs / 1e6, 1.0, 0.06);
}

TEST_F(StreamCopyTest, StartTimeDropsTheBeginningAndStartsOnAKeyFrame) {
  std::string out = testsupport::TempPath("copy_ss.mkv");
  TOutputOptions record;
  record.StartTime = 1000000;
  ASSERT_EQ(Copy(testsupport::AviMpeg4Mp3(), out, kCopyBoth, &record), "");
  // Everything from the first key frame at or after 1 s.
  int64_t expected = 0;
  bool started = false;
  for (const PacketTime& p : VideoPackets(testsupport::AviMpeg4Mp3())) {
    started = started || (p.key && p.ptsUs >= 1000000);
    if (started) ++expected;
  }
  ASSERT_GT(expected, 0);
  MediaSummary result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.videoFrames(), expected);
  EXPECT_NEAR(result.first(AVMEDIA_TYPE_AUDIO)->durationUs / 1e6, 1.0, 0.06);
  EXPECT_LT(result.first(AVMEDIA_TYPE_VIDEO)->startUs, 600000);
}

TEST_F(StreamCopyTest, FileSizeLimitEndsTheRunWithATrailer) {
  std::string out = testsupport::TempPath("copy_fs.mkv");
  ASSERT_EQ(Copy(testsupport::AviMpeg4Mp3(), out, std::string(kCopyBoth) + "<CRLF>fs=30000"), "");
  MediaSummary in = ReadMedia(testsupport::AviMpeg4Mp3()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_LT(result.videoFrames(), in.videoFrames());
  EXPECT_GT(result.videoFrames(), 0);
  struct stat info {};
  ASSERT_EQ(stat(out.c_str(), &info), 0);
  EXPECT_LT(info.st_size, 30000 + 40000);
  EXPECT_TRUE(task.Finished());
}

TEST_F(StreamCopyTest, FrameLimitEndsAllStreams) {
  std::string out = testsupport::TempPath("copy_vframes.mkv");
  ASSERT_EQ(Copy(testsupport::AviMpeg4Mp3(), out, std::string(kCopyBoth) + "<CRLF>vframes=10"), "");
  MediaSummary result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.videoFrames(), 10);
  EXPECT_LT(result.first(AVMEDIA_TYPE_AUDIO)->durationUs, 800000);
}

TEST_F(StreamCopyTest, BitstreamFilterRunsOnCopiedPackets) {
  std::string out = testsupport::TempPath("copy_bsf.ts");
  ASSERT_EQ(Copy(testsupport::Mp4H264Aac(), out, std::string(kCopyBoth) + "<CRLF>vbsf=h264_mp4toannexb"), "");
  MediaSummary in = ReadMedia(testsupport::Mp4H264Aac()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.videoFrames(), in.videoFrames());
}

TEST_F(StreamCopyTest, SubtitlesAreCopiedWithTheOtherStreams) {
  std::string out = testsupport::TempPath("copy_subtitles.mkv");
  ASSERT_EQ(Copy(testsupport::WithBitmapSubtitle(), out, std::string(kCopyBoth) + "<CRLF>scodec=copy"), "");
  MediaSummary in = ReadMedia(testsupport::WithBitmapSubtitle()), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_NE(result.first(AVMEDIA_TYPE_SUBTITLE), nullptr);
  EXPECT_EQ(result.first(AVMEDIA_TYPE_SUBTITLE)->codec, "dvd_subtitle");
  EXPECT_EQ(result.first(AVMEDIA_TYPE_SUBTITLE)->packets, in.first(AVMEDIA_TYPE_SUBTITLE)->packets);
  ExpectSamePackets(in, result);
}

// The input arrives through a pipe, so the run is still reading when the
// stop request comes: the outputs are still flushed and closed.
TEST_F(StreamCopyTest, StopRequestLeavesAShorterFileThatReads) {
  std::string input = testsupport::TsMpeg2Mp2Jump();
  std::ifstream file(input, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 100000u);
  std::string pipePath = testsupport::TempPath("stop.pipe");
  unlink(pipePath.c_str());
  ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
  int writer = -1;
  std::thread feeder([&] {
    writer = open(pipePath.c_str(), O_WRONLY);
    size_t half = bytes.size() / 2;
    for (size_t done = 0; done < half;) {
      ssize_t n = write(writer, bytes.data() + done, half - done);
      if (n <= 0) break;
      done += size_t(n);
    }
  });
  ASSERT_TRUE(AddInput(pipePath, "f=mpegts")) << task.LastOpenError();
  // A transport stream output grows as packets are written.
  std::string out = testsupport::TempPath("copy_stopped.ts");
  ASSERT_TRUE(AddOutput(out, kCopyBoth)) << task.LastOpenError();
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  feeder.join();  // the first half is in the pipe or already read
  // The run copies what it has and then waits for more input.
  for (int i = 0; i < 1000; ++i) {
    struct stat info {};
    if (stat(out.c_str(), &info) == 0 && info.st_size > 20000) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  task.RequestStop(false);
  close(writer);
  task.WaitDone();
  EXPECT_FALSE(task.Finished());
  EXPECT_FALSE(task.Exception()) << task.ExceptionMsg();
  MediaSummary in = ReadMedia(input), result = ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_GT(result.videoFrames(), 0);
  EXPECT_LT(result.videoFrames(), in.videoFrames());
}

}  // namespace
