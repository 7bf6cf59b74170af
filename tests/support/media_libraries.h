// Loads the converter (or player) libraries from the system once per test
// program; asserts on failure with the loader's message.
#pragma once

namespace testsupport {
void LoadConverterLibraries();
void LoadPlayerLibraries();
}  // namespace testsupport
