// Which input stream feeds which output stream, and the set-up checks that
// refuse a run before anything is written.
#include <string>
#include <vector>

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

// Without maps each output stream takes the idle input stream of its kind
// with the most frames; a tie goes to the first, a cover picture only counts
// when nothing else is there, and a further stream of the same kind takes
// the next idle one.
class AutomaticStreamChoiceTest : public ContextTest {
 protected:
  // Two audio streams told apart by their language tags, in MP4, whose
  // header counts the frames of each stream.
  static std::string TwoTaggedAudioStreams(const std::string& name, const std::string& first,
                                           const std::string& second) {
    testsupport::MediaSpec spec;
    spec.container = "mp4";
    spec.audioCodecs = {first, second};
    spec.audioLanguages = {"eng", "jpn"};
    return testsupport::CachedMedia(name, spec);
  }
  // The languages of the output's audio streams, in order.
  static std::vector<std::string> AudioLanguages(const std::string& path) {
    testsupport::MediaSummary result = testsupport::ReadMedia(path);
    EXPECT_TRUE(result.ok) << result.error;
    std::vector<std::string> languages;
    for (const auto& stream : result.streams)
      if (stream.type == AVMEDIA_TYPE_AUDIO) languages.push_back(stream.language);
    return languages;
  }
};

TEST_F(AutomaticStreamChoiceTest, EqualFrameCountsGoToTheFirstAndTheNextStreamTakesTheOther) {
  const std::string in = TwoTaggedAudioStreams("choice_tie.mp4", "aac", "aac");
  ASSERT_TRUE(AddInput(in));
  ASSERT_EQ(task.InputFiles()[0].Ctx->streams[0]->nb_frames, task.InputFiles()[0].Ctx->streams[1]->nb_frames);
  ASSERT_GT(task.InputFiles()[0].Ctx->streams[0]->nb_frames, 0);
  const std::string out = testsupport::TempPath("choice_tie.mkv");
  ASSERT_TRUE(AddOutput(out, "vn<CRLF>acodec=copy"));
  task.ParseOption("acodec", "copy");
  task.ParseOption("newaudio", "");
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(AudioLanguages(out), (std::vector<std::string>{"eng", "jpn"}));
}

TEST_F(AutomaticStreamChoiceTest, MoreFramesWinOverTheOrder) {
  // MP2 frames hold 1152 samples, AAC frames 1024: the AAC stream has more.
  const std::string in = TwoTaggedAudioStreams("choice_more.mp4", "mp2", "aac");
  ASSERT_TRUE(AddInput(in));
  ASSERT_LT(task.InputFiles()[0].Ctx->streams[0]->nb_frames, task.InputFiles()[0].Ctx->streams[1]->nb_frames);
  const std::string out = testsupport::TempPath("choice_more.mkv");
  ASSERT_TRUE(AddOutput(out, "vn<CRLF>acodec=copy"));
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(AudioLanguages(out), (std::vector<std::string>{"jpn"}));
}

TEST_F(AutomaticStreamChoiceTest, CoverPicturesComeLast) {
  // The first input's video is marked as the picture attached to the file,
  // as demuxers mark cover art: the second input's video is taken although
  // it comes later and has no more frames.
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  ASSERT_TRUE(AddInput(testsupport::Mp4H264Aac()));
  task.InputFiles()[0].Ctx->streams[0]->disposition |= AV_DISPOSITION_ATTACHED_PIC;
  const std::string out = testsupport::TempPath("choice_cover.mkv");
  ASSERT_TRUE(AddOutput(out, "an<CRLF>vcodec=copy"));
  EXPECT_EQ(Run(), "");
  testsupport::MediaSummary result = testsupport::ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.streams.size(), 1u);
  EXPECT_EQ(result.streams[0].codec, "h264");
}

TEST_F(AutomaticStreamChoiceTest, ACoverPictureIsTakenWhenNothingElseIsThere) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  task.InputFiles()[0].Ctx->streams[0]->disposition |= AV_DISPOSITION_ATTACHED_PIC;
  const std::string out = testsupport::TempPath("choice_only_cover.mkv");
  ASSERT_TRUE(AddOutput(out, "an<CRLF>vcodec=copy"));
  EXPECT_EQ(Run(), "");
  testsupport::MediaSummary result = testsupport::ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.streams.size(), 1u);
  EXPECT_EQ(result.streams[0].codec, "mpeg4");
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
