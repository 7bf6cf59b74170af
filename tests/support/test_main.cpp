// Test entry point: headless drivers for Qt and SDL unless the caller chose.
#include <gtest/gtest.h>

#include <cstdlib>

// Leaks the sanitizer should not report whatever the environment says:
// fontconfig keeps its caches until the process ends once Qt has drawn text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
