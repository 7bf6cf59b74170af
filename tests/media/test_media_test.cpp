// The generated test inputs are what they claim to be, and the read-back
// helpers report them faithfully.
#include "support/test_media.h"

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

void ExpectAbout(int64_t actualUs, double seconds, double toleranceSeconds, const char* what) {
  EXPECT_NEAR(double(actualUs) / 1e6, seconds, toleranceSeconds) << what;
}

}  // namespace

TEST(TestMedia, AviHasMpeg4WithTagAndMp3) {
  MediaSummary s = ReadMedia(AviMpeg4Mp3());
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.format, "avi");
  ASSERT_EQ(s.streams.size(), 2u);
  const StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  const StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(v->codec, "mpeg4");
  EXPECT_EQ(v->tag, "XVID");
  EXPECT_EQ(v->width, 320);
  EXPECT_EQ(v->height, 240);
  EXPECT_EQ(av_cmp_q(v->avgFrameRate, AVRational{25, 1}), 0);
  EXPECT_EQ(s.videoFrames(), 50);
  EXPECT_EQ(a->codec, "mp3");
  EXPECT_EQ(a->sampleRate, 44100);
  EXPECT_EQ(a->channels, 2);
  ExpectAbout(s.durationUs, 2.0, 0.15, "file");
}

TEST(TestMedia, Mp4H264AacAndCacheReturnsTheSameFile) {
  const std::string path = Mp4H264Aac();
  const auto written = std::filesystem::last_write_time(path);
  EXPECT_EQ(Mp4H264Aac(), path);
  EXPECT_EQ(std::filesystem::last_write_time(path), written);
  MediaSummary s = ReadMedia(path);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_TRUE(s.first(AVMEDIA_TYPE_VIDEO) && s.first(AVMEDIA_TYPE_AUDIO));
  EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->codec, "h264");
  EXPECT_EQ(s.first(AVMEDIA_TYPE_AUDIO)->codec, "aac");
  EXPECT_EQ(s.videoFrames(), 50);
  ExpectAbout(s.first(AVMEDIA_TYPE_AUDIO)->durationUs, 2.0, 0.1, "audio");
}

TEST(TestMedia, AudioOnlyFiles) {
  MediaSummary wav = ReadMedia(WavPcm());
  ASSERT_TRUE(wav.ok) << wav.error;
  ASSERT_EQ(wav.streams.size(), 1u);
  EXPECT_EQ(wav.streams[0].codec, "pcm_s16le");
  EXPECT_EQ(wav.streams[0].channels, 2);
  EXPECT_EQ(wav.streams[0].sampleRate, 44100);
  ExpectAbout(wav.durationUs, 2.0, 0.01, "wav");

  MediaSummary mp3 = ReadMedia(Mp3Only());
  ASSERT_TRUE(mp3.ok) << mp3.error;
  ASSERT_EQ(mp3.streams.size(), 1u);
  EXPECT_EQ(mp3.streams[0].codec, "mp3");
  EXPECT_EQ(mp3.videoFrames(), 0);
  ExpectAbout(mp3.durationUs, 2.0, 0.1, "mp3");
}

TEST(TestMedia, TransportStreamJumpsThirtySecondsInTheMiddle) {
  MediaSummary s = ReadMedia(TsMpeg2Mp2Jump());
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.format, "mpegts");
  const StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  const StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(v->codec, "mpeg2video");
  EXPECT_EQ(a->codec, "mp2");
  EXPECT_EQ(s.videoFrames(), 100);
  // 4 s of content spread over 34 s of timestamps, with one step of ~30 s.
  ExpectAbout(v->durationUs, 34.0, 0.2, "video span");
  ExpectAbout(a->durationUs, 34.0, 0.2, "audio span");
  ExpectAbout(v->maxGapUs, 30.04, 0.1, "video gap");
  ExpectAbout(a->maxGapUs, 30.0, 0.1, "audio gap");
}

TEST(TestMedia, SeveralAudioStreamsAndBitmapSubtitles) {
  MediaSummary two = ReadMedia(TwoAudioStreams());
  ASSERT_TRUE(two.ok) << two.error;
  EXPECT_EQ(two.count(AVMEDIA_TYPE_VIDEO), 1);
  ASSERT_EQ(two.count(AVMEDIA_TYPE_AUDIO), 2);
  EXPECT_EQ(two.streams[1].codec, "mp3");
  EXPECT_EQ(two.streams[2].codec, "aac");

  MediaSummary sub = ReadMedia(WithBitmapSubtitle());
  ASSERT_TRUE(sub.ok) << sub.error;
  const StreamSummary* s = sub.first(AVMEDIA_TYPE_SUBTITLE);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->codec, "dvd_subtitle");
  EXPECT_EQ(s->packets, 3);
  auto events = DecodeSubtitles(WithBitmapSubtitle());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[0].bitmap);
  // The encoder trims transparent rows; the muxer may shift all timestamps
  // to keep the audio's encoder delay non-negative.
  EXPECT_GE(events[0].width, 190);
  EXPECT_GE(events[0].height, 30);
  EXPECT_LE(events[0].y + events[0].height, 240);
  EXPECT_GE(events[0].colours, 3);
  ExpectAbout(events[1].startUs - events[0].startUs, 2.0 / 3, 0.01, "event distance");
  ExpectAbout(events[1].endUs - events[1].startUs, 0.4667, 0.02, "event length");
}

TEST(TestMedia, ChineseFileNameIsWrittenAndReadBack) {
  const std::string path = ChineseNamed();
  EXPECT_EQ(path, TempDir() + "/测试视频.avi");
  EXPECT_EQ(access(path.c_str(), R_OK), 0);
  MediaSummary s = ReadMedia(path);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.videoFrames(), 25);
}

TEST(TestMedia, DecodedPicturesMoveAndToneIsPresent) {
  int w = 0, h = 0;
  auto frames = DecodeVideoFrames(AviMpeg4Mp3(), 3, &w, &h);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  ASSERT_EQ(frames[0].size(), size_t(320 * 3 * 240));
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_NE(frames[1], frames[2]);

  auto gray = DecodeVideoFrames(AviMpeg4Mp3(), 1, &w, &h, AV_PIX_FMT_GRAY8);
  ASSERT_EQ(gray.size(), 1u);
  EXPECT_EQ(gray[0].size(), size_t(320 * 240));

  int channels = 0, rate = 0;
  std::vector<float> samples = DecodeAudioSamples(WavPcm(), 0.5, &channels, &rate);
  ASSERT_EQ(channels, 2);
  ASSERT_EQ(rate, 44100);
  ASSERT_EQ(samples.size(), size_t(2 * 22050));
}

// Every sample format the encoders ask for is filled with the same tone:
// a 440 Hz sine of amplitude 0.5 (mean square 0.125, 880 zero crossings a second).
TEST(TestMedia, ToneSurvivesEachEncodersSampleFormat) {
  for (const std::string& path : {WavPcm(), Mp3Only(), Mp4H264Aac(), TsMpeg2Mp2Jump()}) {
    int channels = 0, rate = 0;
    std::vector<float> samples = DecodeAudioSamples(path, 1.5, &channels, &rate);
    ASSERT_EQ(channels, 2) << path;
    ASSERT_GT(rate, 0) << path;
    // Skip the encoder's start-up so that only steady tone is measured.
    const size_t skip = size_t(rate / 10) * 2;
    ASSERT_GT(samples.size(), skip + size_t(rate)) << path;
    double energy = 0;
    int crossings = 0;
    const size_t frames = samples.size() / 2 - skip / 2;
    for (size_t i = skip; i + 1 < samples.size(); i += 2) {
      energy += double(samples[i]) * samples[i];
      if (i + 2 < samples.size() && (samples[i] < 0) != (samples[i + 2] < 0)) crossings++;
      EXPECT_NEAR(samples[i], samples[i + 1], 0.05) << path << " channels differ at " << i;
      if (HasFailure()) return;
    }
    // Lossy encoders may scale a little (the MP3 one gives about 0.95).
    EXPECT_NEAR(energy / double(frames), 0.125, 0.02) << path;
    EXPECT_NEAR(crossings * double(rate) / double(frames), 880.0, 20.0) << path;
  }
}

TEST(TestMedia, FailuresAreReportedInEnglishAndLeaveNoFile) {
  std::string error;
  MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "no_such_encoder";
  const std::string path = TempPath("broken.avi");
  EXPECT_FALSE(WriteMedia(path, spec, &error));
  EXPECT_NE(error.find("no_such_encoder"), std::string::npos) << error;
  EXPECT_NE(access(path.c_str(), F_OK), 0);

  spec.container = "no_such_container";
  spec.videoCodec = "mpeg4";
  EXPECT_FALSE(WriteMedia(path, spec, &error));
  EXPECT_NE(error.find("no_such_container"), std::string::npos) << error;

  // The muxer takes the stream but not the codec: refused at the header.
  spec.container = "wav";
  EXPECT_FALSE(WriteMedia(TempPath("video.wav"), spec, &error));
  EXPECT_NE(error.find("'wav' muxer refused"), std::string::npos) << error;
  EXPECT_NE(access(TempPath("video.wav").c_str(), F_OK), 0);

  // Without a container the file name chooses one.
  spec.container.clear();
  spec.seconds = 0.2;
  ASSERT_TRUE(WriteMedia(TempPath("guessed.mkv"), spec, &error)) << error;
  EXPECT_EQ(ReadMedia(TempPath("guessed.mkv")).format, "matroska,webm");

  MediaSummary missing = ReadMedia(TempPath("missing.avi"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("missing.avi"), std::string::npos) << missing.error;
  EXPECT_TRUE(DecodeVideoFrames(TempPath("missing.avi"), 1, nullptr, nullptr).empty());
}

TEST(TestMedia, TextSubtitlesTagsAndReorderedPictures) {
  MediaSummary text = ReadMedia(WithTextSubtitle());
  ASSERT_TRUE(text.ok) << text.error;
  const StreamSummary* s = text.first(AVMEDIA_TYPE_SUBTITLE);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->codec, "subrip");
  auto events = DecodeSubtitles(WithTextSubtitle());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_FALSE(events[2].bitmap);
  EXPECT_NE(events[2].text.find(SubtitleEventText(2)), std::string::npos) << events[2].text;

  MediaSummary b = ReadMedia(Mp4WithBFrames());
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_NE(b.first(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_GT(b.first(AVMEDIA_TYPE_VIDEO)->reorderedPackets, 0);
  EXPECT_EQ(ReadMedia(Mp4H264Aac()).first(AVMEDIA_TYPE_VIDEO)->reorderedPackets, 0);

  MediaSpec spec;
  spec.container = "matroska";
  spec.audioCodecs = {"aac", "ac3"};
  spec.audioLanguages = {"chi", "eng"};
  spec.channels = 6;
  spec.seconds = 0.5;
  spec.metadata = {{"title", "标题 title"}};
  const std::string path = TempPath("tagged.mkv");
  std::string error;
  ASSERT_TRUE(WriteMedia(path, spec, &error)) << error;
  MediaSummary tagged = ReadMedia(path);
  ASSERT_TRUE(tagged.ok) << tagged.error;
  EXPECT_EQ(tagged.metadata["title"], "标题 title");
  ASSERT_EQ(tagged.streams.size(), 2u);
  EXPECT_EQ(tagged.streams[0].language, "chi");
  EXPECT_EQ(tagged.streams[1].language, "eng");
  EXPECT_EQ(tagged.streams[0].channels, 6);

  spec.audioCodecs = {"mp2"};
  EXPECT_FALSE(WriteMedia(path, spec, &error));
  EXPECT_NE(error.find("cannot take 6 channels"), std::string::npos) << error;
}

// The pairs later tests lean on: each writes a file that reads back with the
// codecs asked for and about the length asked for.
struct Combination {
  const char* container;
  const char* video;
  const char* audio;
  const char* videoName;  // as the reader names the codec
  const char* audioName;
};

class TestMediaCombinations : public ::testing::TestWithParam<Combination> {};

TEST_P(TestMediaCombinations, WritesAndReadsBack) {
  const Combination& c = GetParam();
  MediaSpec spec;
  spec.container = c.container;
  spec.videoCodec = c.video;
  if (*c.audio) spec.audioCodecs = {c.audio};
  if (spec.videoCodec == "h263") spec.width = 176, spec.height = 144;
  if (spec.videoCodec == "flv") spec.width = 176, spec.height = 144;
  spec.seconds = 1.0;
  for (const std::string& name : {spec.videoCodec, std::string(c.audio)})
    if (!name.empty() && !EncoderAvailable(name)) GTEST_SKIP() << name << " is not in this build";
  const std::string path = TempPath(std::string("combo_") + c.video + "_" + c.audio + "." + c.container);
  std::string error;
  ASSERT_TRUE(WriteMedia(path, spec, &error)) << error;
  MediaSummary s = ReadMedia(path);
  ASSERT_TRUE(s.ok) << s.error;
  if (*c.videoName) {
    ASSERT_NE(s.first(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->codec, c.videoName);
    EXPECT_EQ(s.videoFrames(), 25);
  }
  if (*c.audioName) {
    ASSERT_NE(s.first(AVMEDIA_TYPE_AUDIO), nullptr);
    EXPECT_EQ(s.first(AVMEDIA_TYPE_AUDIO)->codec, c.audioName);
  }
  ExpectAbout(s.durationUs, 1.0, 0.15, path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Common, TestMediaCombinations,
                         ::testing::Values(Combination{"avi", "mjpeg", "pcm_s16le", "mjpeg", "pcm_s16le"},
                                           Combination{"mpeg", "mpeg1video", "mp2", "mpeg1video", "mp2"},
                                           Combination{"vob", "mpeg2video", "ac3", "mpeg2video", "ac3"},
                                           Combination{"flv", "flv", "libmp3lame", "flv1", "mp3"},
                                           Combination{"3gp", "h263", "aac", "h263", "aac"},
                                           Combination{"asf", "wmv2", "wmav2", "wmv2", "wmav2"},
                                           Combination{"mov", "mpeg4", "aac", "mpeg4", "aac"},
                                           Combination{"ogg", "libtheora", "libvorbis", "theora", "vorbis"},
                                           Combination{"flac", "", "flac", "", "flac"},
                                           Combination{"ipod", "", "aac", "", "aac"}),
                         [](const ::testing::TestParamInfo<Combination>& info) {
                           std::string name = std::string(info.param.container) + "_" + info.param.video +
                                              "_" + info.param.audio;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(TestMedia, DamagedInputs) {
  const std::string cut = TruncatedCopy(AviMpeg4Mp3(), 0.5, "half.avi");
  MediaSummary half = ReadMedia(cut);
  ASSERT_TRUE(half.ok) << half.error;
  EXPECT_GT(half.videoFrames(), 5);
  EXPECT_LT(half.videoFrames(), 50);

  MediaSummary noise = ReadMedia(GarbageFile("noise.avi", 4096));
  EXPECT_FALSE(noise.ok);
  EXPECT_FALSE(noise.error.empty());
}

TEST(TestMedia, SameSpecWritesTheSameBytesAndJumpsWherever) {
  std::string error;
  const MediaSpec spec = AviMpeg4Mp3Spec();
  const std::string a = TempPath("same_a.avi"), b = TempPath("same_b.avi");
  ASSERT_TRUE(WriteMedia(a, spec, &error)) << error;
  ASSERT_TRUE(WriteMedia(b, spec, &error)) << error;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  const std::string bytesA((std::istreambuf_iterator<char>(fa)), std::istreambuf_iterator<char>());
  const std::string bytesB((std::istreambuf_iterator<char>(fb)), std::istreambuf_iterator<char>());
  EXPECT_GT(bytesA.size(), 10000u);
  EXPECT_TRUE(bytesA == bytesB);

  MediaSpec jump;
  jump.container = "matroska";
  jump.videoCodec = "mpeg4";
  jump.frameRate = AVRational{30000, 1001};
  jump.audioCodecs = {"aac"};
  jump.seconds = 1.0;
  jump.timestampJumpAt = 500000;
  jump.timestampJump = 10000000;
  const std::string path = TempPath("jump.mkv");
  ASSERT_TRUE(WriteMedia(path, jump, &error)) << error;
  MediaSummary s = ReadMedia(path);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_TRUE(s.first(AVMEDIA_TYPE_VIDEO) && s.first(AVMEDIA_TYPE_AUDIO));
  EXPECT_EQ(s.videoFrames(), 30);
  EXPECT_NEAR(av_q2d(s.first(AVMEDIA_TYPE_VIDEO)->avgFrameRate), 29.97, 0.01);
  ExpectAbout(s.first(AVMEDIA_TYPE_VIDEO)->maxGapUs, 10.033, 0.02, "video gap");
  ExpectAbout(s.first(AVMEDIA_TYPE_AUDIO)->maxGapUs, 10.0, 0.03, "audio gap");
  ExpectAbout(s.durationUs, 11.0, 0.1, "span");
}

// Run only as a child of the test below: writes into its own TempDir() and
// reports the folder's name in the file the parent named.
TEST(TestMedia, DISABLED_TempDirProbe) {
  const char* report = std::getenv("QUVEXA_TEMPDIR_PROBE");
  ASSERT_NE(report, nullptr);
  std::ofstream(TempPath("x")) << "x";
  std::ofstream(report) << TempDir();
}

TEST(TestMedia, TempDirIsRemovedWhenTheProgramEnds) {
  // A forked child shares the folder and must leave it in place when it exits.
  const std::string mine = TempDir();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::ofstream(TempPath("from_child")) << TempDir();
    std::exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(std::filesystem::exists(mine));
  EXPECT_TRUE(std::filesystem::exists(TempPath("from_child")));

  // A program of its own makes its own folder and removes it at exit.
  const std::string report = TempPath("probe.txt");
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back("QUVEXA_TEMPDIR_PROBE=" + report);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=TestMedia.DISABLED_TempDirProbe",
              disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "probe program failed";
  std::string childDir;
  std::ifstream(report) >> childDir;
  ASSERT_EQ(childDir.rfind("/tmp/quvexa-test-", 0), 0u) << childDir;
  EXPECT_NE(childDir, mine);
  EXPECT_FALSE(std::filesystem::exists(childDir)) << childDir;
}
