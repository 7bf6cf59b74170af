#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"

TEST(Loader, FileNamesCarryTheHeaderMajors) {
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkAVCodec), "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkSwResample),
            "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkCRT), "libc.so.6");
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkSDL), "libSDL2-2.0.so.0");
}

TEST(Loader, PlayerSetLoadsFromTheSystemAndBindsEveryEntry) {
  testsupport::LoadPlayerLibraries();
  EXPECT_TRUE(FFLoader().LibrariesLoaded(kConverterLibraries));
  EXPECT_FALSE(FFLoader().LibraryLoaded(lkAVDevice));
  EXPECT_NE(lib::avcodec_open2, nullptr);
  EXPECT_NE(lib::SDL_Init, nullptr);
  EXPECT_NE(lib::vsnprintf, nullptr);
  EXPECT_EQ(AV_VERSION_MAJOR(lib::avformat_version()), LIBAVFORMAT_VERSION_MAJOR);
}
