#include "media/sound_player.h"

#include <cstdint>
#include <fstream>

#include <gtest/gtest.h>

#include "support/media_libraries.h"
#include "support/temp_dir.h"

namespace {
void Put32(std::ofstream& o, uint32_t v) { o.write(reinterpret_cast<const char*>(&v), 4); }
void Put16(std::ofstream& o, uint16_t v) { o.write(reinterpret_cast<const char*>(&v), 2); }

// A tenth of a second of 8 kHz mono 16-bit silence.
std::string WriteClick() {
  const std::string path = testsupport::TempPath("click.wav");
  std::ofstream o(path, std::ios::binary);
  const uint32_t dataBytes = 1600;
  o.write("RIFF", 4);
  Put32(o, 36 + dataBytes);
  o.write("WAVEfmt ", 8);
  Put32(o, 16);
  Put16(o, 1);
  Put16(o, 1);
  Put32(o, 8000);
  Put32(o, 16000);
  Put16(o, 2);
  Put16(o, 16);
  o.write("data", 4);
  Put32(o, dataBytes);
  o << std::string(dataBytes, '\0');
  return path;
}
}  // namespace

TEST(SoundPlayer, PlaysWavFilesAndRefusesOthers) {
  testsupport::LoadPlayerLibraries();  // the test program runs with SDL's dummy audio driver
  const std::string click = WriteClick();
  EXPECT_TRUE(PlaySoundFileAsync(click));
  EXPECT_TRUE(PlaySoundFileAsync(click));  // again while the first plays
  EXPECT_FALSE(PlaySoundFileAsync(click + ".missing"));
  const std::string notWav = testsupport::TempPath("not.wav");
  std::ofstream(notWav) << "text";
  EXPECT_FALSE(PlaySoundFileAsync(notWav));
  StopSounds();
}
