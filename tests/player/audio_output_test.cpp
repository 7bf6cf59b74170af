// The audio callback's mixing: volume, mute, and what happens without a
// sound device.
#include <cstdlib>
#include <vector>

#include "media/ffmpeg_logger.h"
#include "player_fixture.h"

namespace {

// Hands the callback a buffer of decoded samples and returns what it mixed.
std::vector<int16_t> Mix(TFFPlayer& player, const std::vector<int16_t>& decoded) {
  TPlayback is;
  is.owner = &player;
  std::vector<int16_t> source = decoded;
  is.audioBuf = reinterpret_cast<uint8_t*>(source.data());
  is.audioBufSize = int(source.size() * 2);
  is.audioBufIndex = 0;
  std::vector<int16_t> out(decoded.size(), 12345);  // SDL hands over garbage
  TPlayerTestAccess::AudioCallback(&is, reinterpret_cast<uint8_t*>(out.data()), int(out.size() * 2));
  return out;
}

}  // namespace

TEST(AudioOutput, VolumeScalesAndMuteWritesSilence) {
  testsupport::LoadPlayerLibraries();
  TFFPlayer player;
  const std::vector<int16_t> decoded = {1000, -1000, 20000, -20000, 0, 7};
  EXPECT_EQ(Mix(player, decoded), decoded);
  player.SetAudioVolume(64);
  const std::vector<int16_t> half = {500, -500, 10000, -10000, 0, 3};
  EXPECT_EQ(Mix(player, decoded), half);
  player.SetAudioVolume(0);
  EXPECT_EQ(Mix(player, decoded), std::vector<int16_t>(decoded.size(), 0));
  player.SetAudioVolume(128);
  player.SetMute(true);
  EXPECT_EQ(Mix(player, decoded), std::vector<int16_t>(decoded.size(), 0));
}

TEST_F(PlayerTest, WithoutASoundDevicePicturesPlayAndTheFailureIsLogged) {
  std::vector<std::string> lines;
  std::mutex linesLock;
  TFFLogger& logger = DefaultLogger();
  logger.SetLogLevel(llInfo);
  logger.SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& text) {
    std::lock_guard<std::mutex> guard(linesLock);
    if (level <= llError) lines.push_back(text);
  });
  const char* before = getenv("SDL_AUDIODRIVER");
  const std::string saved = before ? before : "";
  setenv("SDL_AUDIODRIVER", "no-such-sound-card", 1);
  const bool opened = Open(ShortVideo(), false);  // pictures and sound
  setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  ASSERT_TRUE(opened) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return player->Statistics().picturesShown > 3; }));
  player->Stop(true);
  EXPECT_FALSE(player->Statistics().hasAudio);
  logger.SetOnLog(nullptr);
  std::lock_guard<std::mutex> guard(linesLock);
  bool found = false;
  for (const std::string& l : lines) found = found || l.rfind("SDL_OpenAudio() failed: ", 0) == 0;
  EXPECT_TRUE(found);
}

// The sound of a playback with pictures waits (the callback plays silence
// and the sound clock stands) until the first picture is shown, so that
// both start together; a video stream that never shows a picture holds it
// back for kFirstPictureWait at most, and sound alone never waits.
TEST(AudioOutput, SoundStartsWithTheFirstPicture) {
  testsupport::LoadPlayerLibraries();
  TPlayback is;
  is.hasAudio = true;
  is.hasVideo = true;
  is.openedAt = lib::av_gettime();
  EXPECT_TRUE(is.SoundWaitsForFirstPicture());
  is.framesShown = 1;
  EXPECT_FALSE(is.SoundWaitsForFirstPicture());
  is.framesShown = 0;
  is.openedAt = lib::av_gettime() - kFirstPictureWait - 1;
  EXPECT_FALSE(is.SoundWaitsForFirstPicture());
  TPlayback soundOnly;
  soundOnly.hasAudio = true;
  soundOnly.openedAt = lib::av_gettime();
  EXPECT_FALSE(soundOnly.SoundWaitsForFirstPicture());
}

// The sound clock moves through the buffer the device is playing instead of
// jumping a whole buffer at each callback; paused, it stands where the data
// handed over ends.
TEST(AudioOutput, SoundClockMovesThroughTheBufferThatIsPlaying) {
  testsupport::LoadPlayerLibraries();
  TPlayback is;
  is.hasAudio = true;
  is.audioRate = 48000;
  is.audioChannels = 2;
  is.audioHwBufSize = kAudioCallbackSamples * 4;  // 21.3 ms of 16-bit stereo
  is.audioClock = 10.0;
  const double buffer = double(kAudioCallbackSamples) / 48000.0;
  EXPECT_DOUBLE_EQ(is.AudioClockNow(), 10.0);  // no callback yet
  {
    std::lock_guard<std::mutex> guard(is.handedLock);
    is.handedClock = 10.0;
    is.handedAt = lib::av_gettime();
  }
  const double justHanded = is.AudioClockNow();
  EXPECT_GE(justHanded, 10.0 - buffer);
  EXPECT_LT(justHanded, 10.0);
  {
    std::lock_guard<std::mutex> guard(is.handedLock);
    is.handedAt = lib::av_gettime() - 1000000;  // played out long ago
  }
  EXPECT_DOUBLE_EQ(is.AudioClockNow(), 10.0);
  {
    std::lock_guard<std::mutex> guard(is.handedLock);
    is.handedAt = lib::av_gettime();
  }
  is.paused = true;
  EXPECT_DOUBLE_EQ(is.AudioClockNow(), 10.0);
}
