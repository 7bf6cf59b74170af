// Which input stream feeds which output stream, and the set-up checks that
// refuse a run before anything is written.
#include "context_fixture.h"

namespace {

using enginetest::ContextTest;

class StreamMappingTest : public ContextTest {};

TEST_F(StreamMappingTest, MapCountMustMatchTheOutputStreams) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("map_count.mkv"), "vcodec=copy<CRLF>acodec=copy<CRLF>map=0.1"));
  EXPECT_EQ(Run(), "Number of stream maps must match number of output streams");
}

TEST_F(StreamMappingTest, MapToAStreamOfAnotherKindIsRefused) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("map_kind.mkv"),
                        "vcodec=copy<CRLF>acodec=copy<CRLF>map=0.1<CRLF>map=0.0"));
  EXPECT_EQ(Run(), "Codec type mismatch for mapping #0.1 (audio) -> #0.0 (video)");
}

TEST_F(StreamMappingTest, MapsToMissingStreams) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("map_missing.mkv"),
                        "vcodec=copy<CRLF>acodec=copy<CRLF>map=0.0<CRLF>map=1.0"));
  EXPECT_EQ(Run(), "Could not find input stream #1.0");
  TCustomFFmpeg other;
  other.ResetTask();
  other.Verbose = -1;
  ASSERT_TRUE(other.OpenInputFile(engine::Utf8ToWide(testsupport::AviMpeg4Mp3())));
  other.ParseOptionText("vcodec=copy<CRLF>acodec=copy<CRLF>map=0.0:0.7<CRLF>map=0.1", true);
  ASSERT_GT(other.OpenOutputFile(engine::Utf8ToWide(testsupport::TempPath("map_sync.mkv")), false), 0);
  other.StartConvert(false, tpNormal);
  EXPECT_EQ(other.ExceptionMsg(), "Could not find sync stream #0.7");
}

TEST_F(StreamMappingTest, ExplicitMapsCrossTheStreams) {
  ASSERT_TRUE(AddInput(testsupport::TwoAudioStreams()));
  std::string out = testsupport::TempPath("map_second_audio.mkv");
  ASSERT_TRUE(AddOutput(out, "vn<CRLF>acodec=copy<CRLF>map=0.2"));
  EXPECT_EQ(Run(), "");
  testsupport::MediaSummary result = testsupport::ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.streams.size(), 1u);
  EXPECT_EQ(result.streams[0].codec, "aac");
}

TEST_F(StreamMappingTest, NoMatchingInputStream) {
  ASSERT_TRUE(AddInput(testsupport::Mp3Only()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("no_video.mkv"), "acodec=copy"));
  // A video stream asked for explicitly on an audio-only input.
  task.ParseOption("vcodec", "copy");
  task.ParseOption("newvideo", "");
  EXPECT_EQ(Run(), "Could not find input stream matching output stream #0.1 (video)");
}

TEST_F(StreamMappingTest, CopyRefusesWhatNeedsDecodedFrames) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("copy_vol.mkv"), "vn<CRLF>acodec=copy<CRLF>vol=512"));
  EXPECT_EQ(Run(), "-acodec copy and -vol are incompatible (frames are not decoded)");

  TCustomFFmpeg preview;
  preview.ResetTask();
  preview.Verbose = -1;
  ASSERT_TRUE(preview.OpenInputFile(engine::Utf8ToWide(testsupport::AviMpeg4Mp3())));
  preview.ParseOptionText("vcodec=copy<CRLF>an", true);
  ASSERT_GT(preview.OpenOutputFile(engine::Utf8ToWide(testsupport::TempPath("copy_preview.mkv")), false), 0);
  {
    std::lock_guard<std::mutex> guard(PreviewLock());
    preview.PreviewFlags = kPreviewWindowFlag;
  }
  preview.StartConvert(false, tpNormal);
  EXPECT_EQ(preview.ExceptionMsg(), "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
}

TEST_F(StreamMappingTest, FailedSetupLeavesNoEmptyFile) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  std::string out = testsupport::TempPath("failed_setup.mkv");
  ASSERT_TRUE(AddOutput(out, "vcodec=copy<CRLF>acodec=copy<CRLF>map=0.1"));
  EXPECT_NE(Run(), "");
  EXPECT_FALSE(task.Finished());
  FILE* f = std::fopen(out.c_str(), "rb");
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);
}

}  // namespace
