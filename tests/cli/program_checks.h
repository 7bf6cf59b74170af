// What the converter's program tests share besides running it: the small
// input they convert, the C locale, and ways to look at what a run left.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "program_runner.h"
#include "support/test_media.h"

namespace clitest {

// The locale whose charset cannot hold a Chinese name.
inline const TEnvironment kCLocale = {{"LANG", "C"}, {"LC_ALL", "C"}, {"LC_CTYPE", ""}};

// 1 s of small MPEG-4 video and MP3 audio in AVI.
inline std::string SmallInput() {
  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 1.0;
  return testsupport::CachedMedia("small.avi", spec);
}

// The full paths of the entries of folder, sorted.
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A run's status and output, for the message of a failed expectation.
inline std::string Describe(const TProgramResult& r) {
  return "status " + std::to_string(r.Status) + "\nstdout:\n" + r.Out + "\nstderr:\n" + r.Err;
}

}  // namespace clitest
