// Opening inputs and creating outputs: demuxer and muxer choice, the
// values an input leaves in the option state, stream kinds, error texts.
#include <clocale>
#include <sys/stat.h>

#include "context_fixture.h"

namespace {

using enginetest::ContextTest;

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

class InputTest : public ContextTest {};
class OutputTest : public ContextTest {};

TEST_F(InputTest, OpenedInputSetsTheOptionStateAndClearsForcedCodecs) {
  task.ParseOption("vcodec", "mpeg4");
  task.ParseOption("threads", "3");
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3())) << task.LastOpenError();
  const TOptionState& o = task.Options();
  EXPECT_EQ(o.FrameWidth, 320);
  EXPECT_EQ(o.FrameHeight, 240);
  EXPECT_NEAR(o.FrameAspectRatio, 4.0 / 3.0, 1e-4);
  EXPECT_EQ(o.AudioSampleRate, 44100);
  EXPECT_EQ(o.AudioChannels, 2);
  EXPECT_EQ(o.FrameRate.num / o.FrameRate.den, 25);
  EXPECT_FALSE(o.VideoCodecName.has_value());
  EXPECT_GT(task.TotalDuration, 1900000);
  ASSERT_NE(task.InputFormatContext(0), nullptr);
  EXPECT_EQ(task.InputFormatContext(1), nullptr);
  // The thread count reaches the decoders of the streams that follow.
  for (AVCodecContext* dec : task.InputFiles()[0].StreamCodecs) EXPECT_EQ(dec->thread_count, 3);
}

TEST_F(InputTest, CropWorksOnceTheInputGaveAFrameSize) {
  EXPECT_THROW(task.ParseOption("croptop", "10"), FFmpegException);
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  task.ParseOption("croptop", "10");
  EXPECT_EQ(task.Options().FrameHeight, 230);
}

TEST_F(InputTest, UnknownFormatsAndFilesAreRefused) {
  EXPECT_EQ(Failure([&] { AddInput(testsupport::AviMpeg4Mp3(), "f=xyz"); }), "Unknown input format: \"xyz\"");
  std::string missing = testsupport::TempPath("missing.avi");
  EXPECT_FALSE(AddInput(missing));
  EXPECT_EQ(task.LastOpenError().rfind(missing + ": ", 0), 0u) << task.LastOpenError();
  EXPECT_FALSE(AddInput(testsupport::AviMpeg4Mp3(), "vcodec=nosuchdecoder"));
  EXPECT_EQ(task.LastOpenError(), "Unknown decoder 'nosuchdecoder'");
  EXPECT_FALSE(task.Options().VideoCodecName.has_value());
  EXPECT_FALSE(AddInput(testsupport::AviMpeg4Mp3(), "vcodec=mp3"));
  EXPECT_EQ(task.LastOpenError(), "Invalid decoder type 'mp3'");
  EXPECT_EQ(task.InputCount(), 0);
}

TEST_F(InputTest, ProgramIdMustExist) {
  TInputOptions options;
  options.ProgramId = 5;
  EXPECT_FALSE(AddInput(testsupport::TsMpeg2Mp2Jump(), &options));
  EXPECT_EQ(task.LastOpenError(), "Specified program id not found");
}

TEST_F(InputTest, StartTimeSeeksAndSetsTheOffset) {
  TInputOptions options;
  options.StartTime = 1000000;
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3(), &options));
  const AVFormatContext* ctx = task.InputFormatContext(0);
  int64_t start = ctx->start_time == AV_NOPTS_VALUE ? 0 : ctx->start_time;
  EXPECT_EQ(task.InputFiles()[0].TsOffset, -(1000000 + start));
  EXPECT_EQ(task.Options().StartTime, 0);

  // With copyts the file keeps its own times; only itsoffset moves them.
  TCustomFFmpeg other;
  other.ResetTask();
  other.Verbose = -1;
  other.ParseOptionText("copyts<CRLF>itsoffset=2.5<CRLF>ss=1", true);
  ASSERT_TRUE(other.OpenInputFile(engine::Utf8ToWide(testsupport::TsMpeg2Mp2Jump())));
  EXPECT_EQ(other.InputFiles()[0].TsOffset, 2500000);
}

TEST_F(OutputTest, StreamKindsFollowTheMuxerAndTheInputs) {
  ASSERT_TRUE(AddInput(testsupport::Mp3Only()));
  ASSERT_TRUE(AddOutput(testsupport::TempPath("audio_only.avi"))) << task.LastOpenError();
  ASSERT_EQ(task.OutputStreams().size(), 1u);
  EXPECT_EQ(task.OutputStreams()[0]->Type, AVMEDIA_TYPE_AUDIO);
}

TEST_F(OutputTest, AviOutputGetsTheMuxerDefaultsAndFreshOptionValues) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  task.ParseOption("streamid", "0:0x1E0");
  task.ParseOption("threads", "2");
  ASSERT_TRUE(AddOutput(testsupport::TempPath("defaults.avi"))) << task.LastOpenError();
  const auto& streams = task.OutputStreams();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0]->Type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(streams[1]->Type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(streams[0]->St->id, 0x1E0);
  EXPECT_EQ(task.Options().StreamIdMap[0], 0);
  EXPECT_EQ(streams[0]->Enc->codec_id, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(streams[0]->Enc->width, 320);
  EXPECT_EQ(streams[0]->Enc->thread_count, 2);
  EXPECT_EQ(streams[0]->Enc->time_base.den, 25);
  EXPECT_EQ(streams[1]->Enc->sample_rate, 44100);
}

TEST_F(OutputTest, MuxerChoiceErrors) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  EXPECT_FALSE(AddOutput(testsupport::TempPath("x.avi"), "f=nosuch"));
  EXPECT_EQ(task.LastOpenError(), "Requested output format 'nosuch' is not a suitable output format");
  // A forced format whose muxer was not found stays for the next output.
  EXPECT_FALSE(AddOutput(testsupport::TempPath("y.avi")));
  EXPECT_EQ(task.LastOpenError(), "Requested output format 'nosuch' is not a suitable output format");
  task.Options().FileFormat.clear();
  std::string noExtension = testsupport::TempPath("noextension");
  EXPECT_FALSE(AddOutput(noExtension));
  EXPECT_EQ(task.LastOpenError(), "Unable to find a suitable output format for '" + noExtension + "'");
  EXPECT_FALSE(AddOutput(testsupport::TempPath("bad.avi"), "vcodec=nosuchencoder"));
  EXPECT_EQ(task.LastOpenError(), "new_video_stream fail: Unknown encoder 'nosuchencoder'");
  EXPECT_EQ(task.OutputCount(), 0);
  EXPECT_TRUE(task.OutputStreams().empty());
  // The forced format is used with any file name.
  ASSERT_TRUE(AddOutput(testsupport::TempPath("forced.avi"), "f=mp3")) << task.LastOpenError();
  EXPECT_STREQ(task.OutputFormatContext(0)->oformat->name, "mp3");
}

TEST_F(OutputTest, SampleRateSnapsToTheEncodersNearest) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.AudioCodec = "mp2";
  options.AudioSampleRate = 44000;
  options.DisableVideo = true;
  ASSERT_TRUE(AddOutput(testsupport::TempPath("rate.mkv"), &options)) << task.LastOpenError();
  ASSERT_EQ(task.OutputStreams().size(), 1u);
  EXPECT_EQ(task.OutputStreams()[0]->Enc->sample_rate, 44100);
}

TEST_F(OutputTest, RecordFieldsOverrideTheOptionText) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.AudioBitrate = 128000;
  options.ExtraOptions = "ab=64000";
  ASSERT_TRUE(AddOutput(testsupport::TempPath("bitrate.mkv"), &options));
  EXPECT_EQ(task.OutputStreams()[1]->Enc->bit_rate, 128000);
}

TEST_F(OutputTest, AnAudioBitRateLeavesTheVideoEncodersDefault) {
  if (!lib::avcodec_find_encoder_by_name("libx264")) GTEST_SKIP() << "no libx264 in this build";
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.VideoCodec = "libx264";
  options.AudioCodec = "mp2";
  options.AudioBitrate = 96000;
  ASSERT_TRUE(AddOutput(testsupport::TempPath("abr.mkv"), &options)) << task.LastOpenError();
  EXPECT_EQ(task.OutputStreams()[0]->Enc->bit_rate, 0);  // constant quality, the encoder's default
  EXPECT_EQ(task.OutputStreams()[1]->Enc->bit_rate, 96000);
}

TEST_F(OutputTest, CodecDefaultsComeFromTheRecordThenTheText) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.ExtraOptions = "vcodec=mpeg4";
  ASSERT_TRUE(AddOutput(testsupport::TempPath("deftext.mkv"), &options));
  EXPECT_EQ(task.OutputStreams()[0]->Enc->codec_id, AV_CODEC_ID_MPEG4);

  TCustomFFmpeg other;
  other.ResetTask();
  other.Verbose = -1;
  ASSERT_TRUE(other.OpenInputFile(engine::Utf8ToWide(testsupport::AviMpeg4Mp3())));
  options.VideoCodec = "mjpeg";
  other.ApplyOutputOptions(options);
  ASSERT_GT(other.OpenOutputFile(engine::Utf8ToWide(testsupport::TempPath("defrecord.mkv")), false), 0);
  EXPECT_EQ(other.OutputStreams()[0]->Enc->codec_id, AV_CODEC_ID_MJPEG);
}

TEST_F(OutputTest, ExtraStreamsTakeTheCodecLinesInOrder) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.ExtraOptions = "vcodec=mpeg4<CRLF>newvideo<CRLF>vcodec=mjpeg<CRLF>newvideo";
  ASSERT_TRUE(AddOutput(testsupport::TempPath("extra.mkv"), &options)) << task.LastOpenError();
  std::vector<AVCodecID> video;
  for (const auto& ost : task.OutputStreams())
    if (ost->Type == AVMEDIA_TYPE_VIDEO) video.push_back(ost->Enc->codec_id);
  EXPECT_EQ(video, (std::vector<AVCodecID>{AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG4, AV_CODEC_ID_MJPEG}));
}

TEST_F(OutputTest, OutputLimitAndEmptyOutputsAreDeletedOnRelease) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  std::string folder = testsupport::MakeTempSubdir("limit");
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(AddOutput(folder + "/out" + std::to_string(i) + ".mkv", "vcodec=copy<CRLF>acodec=copy"));
  EXPECT_FALSE(AddOutput(folder + "/out20.mkv"));
  EXPECT_EQ(task.LastOpenError(), "max output files 20 reached");
  EXPECT_TRUE(Exists(folder + "/out0.mkv"));
  task.ReleaseAll();
  EXPECT_FALSE(Exists(folder + "/out0.mkv"));
  EXPECT_FALSE(Exists(folder + "/out19.mkv"));
}

// A name the "C" locale cannot hold goes to the libraries the wide way, for
// reading and for writing.
TEST_F(OutputTest, ChineseNamesUnderTheCLocale) {
  std::string input = testsupport::ChineseNamed();
  std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  std::string output = testsupport::TempPath("输出文件.mkv");
  bool opened = AddInput(input);
  bool created = opened && AddOutput(output, "vcodec=copy<CRLF>acodec=copy");
  std::string error = opened && created ? Run() : task.LastOpenError();
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_TRUE(opened) << error;
  ASSERT_TRUE(created) << error;
  EXPECT_EQ(error, "");
  testsupport::MediaSummary in = testsupport::ReadMedia(input), out = testsupport::ReadMedia(output);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.videoFrames(), in.videoFrames());
}

// A muxer that writes files of its own (a playlist and its segments) makes
// their names from the output's, and opens them with the library's own
// protocols, on the wide road too.
TEST_F(OutputTest, AMuxerThatWritesItsOwnFilesUnderAChineseName) {
  const std::string folder = testsupport::MakeTempSubdir("播放列表输出");
  std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const std::string output = folder + "/列表.m3u8";
  bool opened = AddInput(testsupport::AviMpeg4Mp3());
  bool created = opened && AddOutput(output, "vcodec=copy<CRLF>acodec=copy");
  std::string error = opened && created ? Run() : task.LastOpenError();
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_TRUE(created) << error;
  EXPECT_EQ(error, "");
  EXPECT_TRUE(Exists(folder + "/列表0.ts"));
  testsupport::MediaSummary out = testsupport::ReadMedia(output);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_GT(out.videoFrames(), 0);
}

}  // namespace

namespace {

using enginetest::ContextTest;

class OutputRecordTest : public ContextTest {};

TEST_F(OutputRecordTest, MetadataFieldsReachTheFile) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  std::string out = testsupport::TempPath("tagged.mkv");
  TOutputOptions options;
  options.ExtraOptions = "vcodec=copy<CRLF>acodec=copy<CRLF>metadata=comment=from text";
  options.Metadata.Title = "标题";
  options.Metadata.Year = 2009;
  options.Metadata.Timestamp = 25569.0 + 1.0;  // one day after 1970-01-01, local time
  ASSERT_TRUE(AddOutput(out, &options)) << task.LastOpenError();
  ASSERT_EQ(Run(), "");
  testsupport::MediaSummary result = testsupport::ReadMedia(out);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.metadata["title"], "标题");
  EXPECT_EQ(result.metadata["comment"] + result.metadata["COMMENT"], "from text");
  EXPECT_EQ(result.metadata.count("year") + result.metadata.count("date") + result.metadata.count("YEAR"), 1u);
}

TEST_F(OutputRecordTest, ExperimentalEncodersNeedTheStrictOption) {
  if (!lib::avcodec_find_encoder_by_name("vorbis")) GTEST_SKIP() << "no vorbis encoder";
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  TOutputOptions options;
  options.AudioCodec = "vorbis";
  options.DisableVideo = true;
  EXPECT_FALSE(AddOutput(testsupport::TempPath("experimental.mkv"), &options));
  std::string expected =
      "new_audio_stream fail: encoder 'vorbis' is experimental and might produce bad results.\r\n"
      "Add '-strict experimental' if you want to use it.";
  EXPECT_EQ(task.LastOpenError().substr(0, expected.size()), expected);
  if (lib::avcodec_find_encoder_by_name("libvorbis")) {
    EXPECT_NE(task.LastOpenError().find("Or use the non experimental encoder 'libvorbis'."), std::string::npos);
  }
  options.ExtraOptions = "strict=experimental";
  EXPECT_TRUE(AddOutput(testsupport::TempPath("experimental.mkv"), &options)) << task.LastOpenError();
}

TEST_F(OutputRecordTest, TextSkipsLinesThatOnlyTheRecordSteps) {
  // Presets, filters and new-stream lines belong to the record's own steps.
  EXPECT_NO_THROW(task.ParseOptionText("vpre=nosuchpreset<CRLF>vf=scale=10:10<CRLF>newvideo<CRLF>ar=8000", true));
  EXPECT_EQ(task.Options().VideoFilters, "");
  EXPECT_EQ(task.Options().AudioSampleRate, 8000);
  task.ParseOption("vstats", "");
  ASSERT_TRUE(task.Options().VStatsFileName.has_value());
  const std::string& name = *task.Options().VStatsFileName;
  std::string base = name.substr(name.rfind('/') + 1);
  EXPECT_EQ(base.size(), std::string("vstats_hhnnss.log").size()) << name;
  EXPECT_EQ(base.rfind("vstats_", 0), 0u);
}

}  // namespace
