// The player end to end with SDL's dummy drivers: what the application sees
// (events, states, snapshots) while files open, play, pause, seek and stop.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "player_fixture.h"
#include "support/media_reader.h"

namespace {

// Mean absolute difference of the snapshot and a decoded BGR24 picture.
double MeanDifference(const TBitmap& bmp, const std::vector<uint8_t>& frame, int width, int height) {
  if (bmp.Width() != width || bmp.Height() != height) return 1e9;
  int64_t sum = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bmp.Scanline(y);
    const uint8_t* ref = frame.data() + size_t(y) * size_t(width) * 3;
    for (int x = 0; x < width * 3; ++x) sum += std::abs(int(row[x]) - int(ref[x]));
  }
  return double(sum) / (double(width) * height * 3);
}

// The decoded picture the snapshot's time names (25 pictures a second).
std::vector<uint8_t> DecodedAt(const std::string& path, int64_t pts, int* width, int* height) {
  const int index = int(std::llround(double(pts) / 40000.0));
  auto frames = testsupport::DecodeVideoFrames(path, index + 1, width, height);
  return int(frames.size()) == index + 1 ? frames.back() : std::vector<uint8_t>();
}

}  // namespace

TEST_F(PlayerTest, OpenedPausedShowsTheFirstPictureAndReportsPauseAfterTheSecond) {
  const std::string path = PictureVideo();
  ASSERT_TRUE(Open(path, true)) << player->LastErrMsg();
  EXPECT_EQ(opened.frameWidth, 320);
  EXPECT_EQ(opened.frameHeight, 240);
  EXPECT_GT(opened.duration, 900000);
  ASSERT_TRUE(WaitFor([&] { return HasState(psPause); }));
  auto states = States();
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states[0], psPlay);
  EXPECT_EQ(states[1], psPause);

  // The picture stays: the first one, also a while later.
  Serve(200);
  int64_t pts = -2;
  TBitmap* bmp = player->CurrentFrame(pts);
  EXPECT_EQ(pts, 0);
  int w = 0, h = 0;
  const auto first = DecodedAt(path, 0, &w, &h);
  ASSERT_FALSE(first.empty());
  EXPECT_LT(MeanDifference(*bmp, first, w, h), 2.0);
  EXPECT_EQ(player->State(), psPause);
}

TEST_F(PlayerTest, SeekWhilePausedWithWaitReturnsWithTheNewPicture) {
  const std::string path = PictureVideo();
  ASSERT_TRUE(Open(path, true)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return HasState(psPause); }));
  player->Seek(0, true, 600000);
  int64_t pts = -1;
  TBitmap* bmp = player->CurrentFrame(pts);
  // The key picture at or before the target.
  EXPECT_GT(pts, 0);
  EXPECT_LE(pts, 600000);
  int w = 0, h = 0;
  const auto expected = DecodedAt(path, pts, &w, &h);
  ASSERT_FALSE(expected.empty());
  EXPECT_LT(MeanDifference(*bmp, expected, w, h), 2.0);

  // A second seek while one is pending is dropped.
  player->Seek(0, false, 0);
  player->Seek(0, false, 900000);
  ASSERT_TRUE(WaitFor([&] {
    int64_t now = -1;
    player->CurrentFrame(now);
    return now == 0;
  }));
  Serve(300);
  player->CurrentFrame(pts);
  EXPECT_EQ(pts, 0);
}

TEST_F(PlayerTest, SnapshotWithoutVideoIsEmptyAndAudioOnlyShowsTheWaveform) {
  player->SetCapturePresented(true);
  ASSERT_TRUE(Open(ShortAudio(), false)) << player->LastErrMsg();
  EXPECT_EQ(opened.frameWidth, -1);
  EXPECT_EQ(opened.frameHeight, -1);
  EXPECT_EQ(player->Statistics().audioDisplayMode, 1);
  int64_t pts = 0;
  TBitmap* bmp = player->CurrentFrame(pts);
  EXPECT_EQ(pts, -1);
  EXPECT_EQ(bmp->Width(), 0);
  EXPECT_EQ(bmp->Height(), 0);
  // The tone draws white bars on black.
  ASSERT_TRUE(WaitFor([&] {
    int w = 0, h = 0;
    auto pixels = player->PresentedPixels(w, h);
    int white = 0;
    for (uint32_t p : pixels) white += (p & 0xffffff) == 0xffffff;
    return white > w;  // more than the one line a silent picture would have
  }));
}

TEST_F(PlayerTest, EndOfFileIsReportedOnceAndAgainAfterSeekingBack) {
  ASSERT_TRUE(Open(ShortVideo(), false)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return HasState(psEnd); }));
  Serve(300);
  EXPECT_EQ(CountState(psEnd), 1);
  player->Seek(0, true, 0);
  ASSERT_TRUE(WaitFor([&] { return CountState(psEnd) == 2; }));
  // The clock runs on to the end: the last position is the duration.
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> guard(lock);
    return !positions.empty() && positions.back() == opened.duration;
  }));
  player->Stop(true);
  EXPECT_EQ(States().back(), psStop);
}

TEST_F(PlayerTest, StopFromTheMainThreadWhileHandlersRunThere) {
  // Slow handlers on the main thread: the notification thread waits for
  // them while Stop waits for the threads.
  player->SetOnPosition([this](void*, int64_t pts) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::lock_guard<std::mutex> guard(lock);
    positions.push_back(pts);
  });
  ASSERT_TRUE(Open(ShortVideo(), false)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> guard(lock);
    return positions.size() >= 2;
  }));
  player->Stop(true);
  ASSERT_FALSE(States().empty());
  EXPECT_EQ(States().back(), psStop);
  EXPECT_EQ(player->State(), psStop);
  EXPECT_EQ(TPlayerTestAccess::Playback(*player), nullptr);
}

TEST_F(PlayerTest, OpenWhilePlayingStopsTheOldPlaybackFirst) {
  ASSERT_TRUE(Open(ShortVideo(), false)) << player->LastErrMsg();
  ASSERT_TRUE(Open(ShortAudio(), false)) << player->LastErrMsg();
  auto states = States();
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states[0], psPlay);
  EXPECT_NE(std::find(states.begin(), states.end(), psStop), states.end());
  EXPECT_EQ(opened.frameWidth, -1);
}

TEST_F(PlayerTest, AudioClockStandsStillWhilePaused) {
  ASSERT_TRUE(Open(ShortAudio(), false)) << player->LastErrMsg();
  TPlayback* is = TPlayerTestAccess::Playback(*player);
  ASSERT_NE(is, nullptr);
  ASSERT_TRUE(WaitFor([&] { return is->AudioClockNow() > 0.1; }));
  player->Pause();
  EXPECT_EQ(player->State(), psPause);
  Serve(100);  // a callback that was running finishes its buffer
  const double paused = is->AudioClockNow();
  Serve(300);
  EXPECT_DOUBLE_EQ(is->AudioClockNow(), paused);
  player->Pause();  // already paused: nothing happens
  player->Resume();
  ASSERT_TRUE(WaitFor([&] { return is->AudioClockNow() > paused; }));
  EXPECT_LT(is->AudioClockNow(), paused + 0.5);
}

TEST_F(PlayerTest, PictureIsLaidOutByAspectRatioAndRedrawnWhenItChanges) {
  testsupport::MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "mpeg4";
  spec.width = 720;
  spec.height = 576;
  spec.seconds = 0.5;
  const std::string path = testsupport::CachedMedia("pal.avi", spec);
  forceScreenWidth = 400;
  forceScreenHeight = 300;
  player->SetCapturePresented(true);
  ASSERT_TRUE(Open(path, true)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return HasState(psPause); }));
  auto lit = [&](int x, int y) {
    int w = 0, h = 0;
    auto pixels = player->PresentedPixels(w, h);
    return w == 400 && h == 300 && (pixels[size_t(y) * 400 + size_t(x)] & 0xffffff) != 0;
  };
  ASSERT_TRUE(WaitFor([&] { return lit(200, 150); }));
  // 374 x 300 at x = 13: black margins left and right.
  EXPECT_FALSE(lit(12, 150));
  EXPECT_TRUE(lit(13, 150));
  EXPECT_TRUE(lit(386, 150));
  EXPECT_FALSE(lit(387, 150));
  player->SetAspectRatio(-1);
  EXPECT_TRUE(WaitFor([&] { return lit(0, 150) && lit(399, 150); }));
}

TEST_F(PlayerTest, FailuresAreRecorded) {
  EXPECT_FALSE(Open(testsupport::TempPath("missing.avi"), false));
  EXPECT_NE(player->LastErrMsg().find("missing.avi: "), std::string::npos) << player->LastErrMsg();
  EXPECT_FALSE(Open(testsupport::GarbageFile("garbage.avi", 4096), false));
  EXPECT_FALSE(player->LastErrMsg().empty());
  EXPECT_TRUE(States().empty());
  // Nothing to play with both kinds disabled.
  player->SetDisableAudio(true);
  player->SetDisableVideo(true);
  EXPECT_FALSE(Open(ShortVideo(), false));
  EXPECT_NE(player->LastErrMsg().find(": could not open codecs, no stream to play."), std::string::npos);
}

TEST_F(PlayerTest, HookedPicturesComeBackAsTheHandlerDrewThem) {
  player->SetHook(true);
  std::atomic<int> calls{0};
  player->SetOnHook([&](void*, TBitmap* bmp, int64_t) {
    ++calls;
    // A grey picture: survives the way back to the picture's format.
    for (int y = 0; y < bmp->Height(); ++y) std::memset(bmp->Scanline(y), 128, size_t(bmp->Width()) * 3);
  });
  ASSERT_TRUE(Open(PictureVideo(), true)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return HasState(psPause); }));
  EXPECT_GE(calls.load(), 2);
  TBitmap* bmp = player->Snapshot();
  ASSERT_EQ(bmp->Width(), 320);
  for (int y : {0, 120, 239})
    for (int x : {0, 160, 319})
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(bmp->Scanline(y)[x * 3 + c], 128, 8) << x << "," << y;
  player->Stop(true);

  // A handler that fails leaves the picture as it was decoded.
  player->SetOnHook([](void*, TBitmap*, int64_t) { throw std::runtime_error("broken hook"); });
  const std::string path = PictureVideo();
  ASSERT_TRUE(Open(path, true)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return CountState(psPause) == 2; }));
  int64_t pts = -1;
  bmp = player->CurrentFrame(pts);
  int w = 0, h = 0;
  const auto expected = DecodedAt(path, pts, &w, &h);
  ASSERT_FALSE(expected.empty());
  EXPECT_LT(MeanDifference(*bmp, expected, w, h), 2.0);
}

TEST_F(PlayerTest, ResumingBeforeTheFirstPictureStillPlays) {
  // The application may resume before the paused opening has shown anything.
  ASSERT_TRUE(Open(PictureVideo(), true)) << player->LastErrMsg();
  player->Resume();
  ASSERT_TRUE(WaitFor([&] { return player->Statistics().picturesShown > 5; }));
  const auto states = States();
  ASSERT_FALSE(states.empty());
  // Consecutive state notifications may be merged into the newest one, so
  // only the last state says whether the player plays.
  EXPECT_NE(states.back(), psPause);
}

TEST_F(PlayerTest, HandlersMayStopAndOpenTheNextFile) {
  // The common reaction to the end: stop, and play the next file, from
  // inside the state handler that reported it.
  int opened = 0;
  player->SetOnState([&](void*, TPlayState s) {
    {
      std::lock_guard<std::mutex> guard(lock);
      states.push_back(s);
    }
    if (s == psEnd && opened < 2) {
      ++opened;
      player->Stop(true);
      EXPECT_TRUE(Open(ShortAudio(), false)) << player->LastErrMsg();
    }
  });
  ASSERT_TRUE(Open(ShortAudio(), false)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return CountState(psEnd) == 3; }, 30000));
  player->Stop(true);
  EXPECT_EQ(CountState(psStop), 3);
  EXPECT_EQ(CountState(psPlay), 3);
  EXPECT_EQ(States().back(), psStop);
}

TEST_F(PlayerTest, FilesWithSubtitlesPlayToTheEnd) {
  // Bitmap subtitles are decoded, blended and expired; text ones decoded only.
  for (const std::string& path : {testsupport::WithBitmapSubtitle(), testsupport::WithTextSubtitle()}) {
    const int endsBefore = CountState(psEnd);
    ASSERT_TRUE(Open(path, false)) << player->LastErrMsg();
    EXPECT_GT(opened.frameWidth, 0);
    ASSERT_TRUE(WaitFor([&] { return CountState(psEnd) > endsBefore; }, 30000)) << path;
    player->Stop(true);
    EXPECT_EQ(States().back(), psStop);
  }
}

// A file of pictures only ends after its last picture, not when its last
// packet is read (the decoder and the picture queue still hold pictures
// then): every picture is accounted for when psEnd comes.
TEST_F(PlayerTest, EndComesAfterTheLastPicture) {
  ASSERT_TRUE(Open(PictureVideo(), false)) << player->LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return HasState(psEnd); }));
  const TFFPlayer::TPlayStatistics s = player->Statistics();
  EXPECT_EQ(s.picturesShown + s.picturesDroppedLate + s.picturesSkippedDecode,
            testsupport::ReadMedia(PictureVideo()).videoFrames());
}
