#include "engine/helper_class.h"

#include "platform/thread_priority.h"

TLoadSource TLoadSource::System() {
  return {platform::MonotonicSeconds, platform::SampleCpu, platform::CanLeaveIdleClass};
}

THelperClassKeeper::THelperClassKeeper(THelperClass mode, bool canLeaveIdle, const platform::TCpuSample& began)
    : mode_(mode), windowStart_(began) {
  switch (mode) {
    case THelperClass::Idle:
      watching_ = true;  // for the one move
      break;
    case THelperClass::IdleWhenQuiet:
      // Helpers that could not come back are never sent.
      watching_ = canLeaveIdle && began.Valid;
      break;
    case THelperClass::Nicer:
      watching_ = false;
      break;
  }
}

bool THelperClassKeeper::Due(double now) const {
  if (!watching_) return false;
  if (mode_ == THelperClass::Idle) return true;
  const int windowMs = firstWindow_ ? kIdleClassSampleMs : kLoadWindowMs;
  return now - windowStart_.WallSeconds >= windowMs / 1000.0;
}

THelperClassKeeper::TMove THelperClassKeeper::Next(const platform::TCpuSample& sample) {
  if (!watching_) return TMove::None;
  if (mode_ == THelperClass::Idle) {
    watching_ = false;
    idle_ = true;
    return TMove::ToIdle;
  }
  if (!sample.Valid) {
    // The load can no longer be told: back to where no load can hurt.
    watching_ = false;
    if (!idle_) return TMove::None;
    idle_ = false;
    return TMove::ToNormal;
  }
  const double others = platform::OtherProgramsCores(windowStart_, sample);
  windowStart_ = sample;
  firstWindow_ = false;
  if (!idle_ && others < kQuietMachineCores) {
    idle_ = true;
    return TMove::ToIdle;
  }
  if (idle_ && others >= kBusyMachineCores) {
    idle_ = false;
    return TMove::ToNormal;
  }
  return TMove::None;
}
