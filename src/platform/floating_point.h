// The process's floating-point set-up: every floating-point exception
// masked, so that no thread that calls into the media libraries traps on a
// division by zero or an invalid operation. Threads inherit the state of
// the thread that creates them, so this is done first thing in main().
#pragma once

#include <cfenv>

namespace platform {

// Saves the calling thread's floating-point environment and sets the
// default one (all exceptions masked, round to nearest); the destructor
// puts the saved environment back.
class FloatingPointSetup {
 public:
  FloatingPointSetup();
  ~FloatingPointSetup();
  FloatingPointSetup(const FloatingPointSetup&) = delete;
  FloatingPointSetup& operator=(const FloatingPointSetup&) = delete;

 private:
  std::fenv_t saved_;
};

// The same for the whole process: done once, restored at exit.
void InitFloatingPoint();

// True when no floating-point exception is unmasked in the calling thread.
bool AllFloatingPointExceptionsMasked();

}  // namespace platform
