// What the harnesses share: the media libraries loaded once, a scratch
// folder of the process for files the code under test must read from disk,
// and splitting an input into NUL-separated pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzsupport {

// Loads the converter set from the system once; ends the process with the
// loader's message when it cannot, since no input could be tested then.
void LoadConverterLibraries();

// A folder of this process under $TMPDIR (or /tmp), removed at exit.
const std::string& ScratchDir();
std::string ScratchPath(const std::string& name);

// Replaces the file with the bytes; ends the process when it cannot.
void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size);

// The input cut at every NUL byte; at least one (possibly empty) piece.
std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size);

}  // namespace fuzzsupport
