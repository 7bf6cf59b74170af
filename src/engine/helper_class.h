// Which scheduling class the helper threads of an overlapped run belong in,
// decided from the load that other programs put on the machine (the reasons
// and the bounds are in stage_pipeline.h).
//
// The keeper only decides; the run asks it at each step and while it waits
// for an item, takes a sample of the load when the keeper says one is due,
// and carries out the move the keeper returns:
//
//   THelperClassKeeper keeper(HelperClass, source.CanLeaveIdle(), began);
//   if (keeper.Due(source.Now())) switch (keeper.Next(source.Sample())) ...
#pragma once

#include <functional>

#include "engine/stage_pipeline.h"
#include "platform/cpu_load.h"

// Where a run reads the clock, the machine's load and whether its helpers
// could leave the idle class again; tests put their own here (all three).
struct TLoadSource {
  std::function<double()> Now;
  std::function<platform::TCpuSample()> Sample;
  std::function<bool()> CanLeaveIdle;
  // The system's: platform::MonotonicSeconds, SampleCpu, CanLeaveIdleClass.
  static TLoadSource System();
};

class THelperClassKeeper {
 public:
  enum class TMove { None, ToIdle, ToNormal };

  // `began` is the sample taken when the run set out (invalid: no way to
  // tell the load, the helpers stay only nicer).
  THelperClassKeeper(THelperClass mode, bool canLeaveIdle, const platform::TCpuSample& began);

  // Whether a new sample is wanted at `now` (the clock of the samples).
  bool Due(double now) const;
  // Takes the sample that was due and returns where the helpers go now.
  TMove Next(const platform::TCpuSample& sample);
  // The last move could not be carried out: the helpers stay where they
  // are for the rest of the run.
  void Stop() { watching_ = false; }

  bool Idle() const { return idle_; }

 private:
  THelperClass mode_;
  bool watching_;
  bool idle_ = false;
  bool firstWindow_ = true;
  platform::TCpuSample windowStart_;
};
