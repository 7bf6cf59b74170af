// A private scratch folder per test program, removed when the program exits.
#pragma once

#include <string>

namespace testsupport {

// Creates /tmp/quvexa-test-XXXXXX on first use and returns the same folder
// afterwards. It is removed with everything in it at normal program exit
// (only by the process that created it, so forked children leave it alone).
std::string TempDir();

// TempDir() + "/" + name. Does not create anything.
std::string TempPath(const std::string& name);

// A fresh empty sub-folder of TempDir() whose name starts with prefix, for
// tests that need a folder of their own (for example to count output files).
std::string MakeTempSubdir(const std::string& prefix);

}  // namespace testsupport
