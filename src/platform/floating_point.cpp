#include "platform/floating_point.h"

#include <cstdlib>
#include <mutex>

namespace platform {

FloatingPointSetup::FloatingPointSetup() {
  std::fegetenv(&saved_);
  std::fesetenv(FE_DFL_ENV);
}

FloatingPointSetup::~FloatingPointSetup() { std::fesetenv(&saved_); }

namespace {
std::fenv_t gSaved;
void RestoreAtExit() { std::fesetenv(&gSaved); }
}  // namespace

void InitFloatingPoint() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::fegetenv(&gSaved);
    std::atexit(&RestoreAtExit);
  });
  std::fesetenv(FE_DFL_ENV);
}

bool AllFloatingPointExceptionsMasked() { return fegetexcept() == 0; }

}  // namespace platform
