#include "support/media_libraries.h"

#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"

namespace testsupport {

void LoadConverterLibraries() {
  TFFmpegLoader& loader = FFLoader();
  if (loader.LibrariesLoaded(kConverterLibraries)) return;
  loader.SetLibraryPath("");
  ASSERT_TRUE(loader.LoadLibraries(kConverterLibraries)) << loader.LastError();
}

void LoadPlayerLibraries() {
  TFFmpegLoader& loader = FFLoader();
  if (loader.LibrariesLoaded(kPlayerLibraries)) return;
  loader.SetLibraryPath("");
  ASSERT_TRUE(loader.LoadLibraries(kPlayerLibraries)) << loader.LastError();
}

}  // namespace testsupport
