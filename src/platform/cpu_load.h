// How busy other programs keep the processors: the system's busy time from
// /proc/stat less this process's own processor time, between two samples.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

struct TCpuSample {
  bool Valid = false;
  double SystemBusySeconds = 0;  // all processors, since boot
  double OwnSeconds = 0;         // this process, all its threads
  double WallSeconds = 0;        // a monotonic clock
};

TCpuSample SampleCpu();
// The clock of TCpuSample::WallSeconds, now.
double MonotonicSeconds();

// Busy ticks of the aggregate "cpu" line of /proc/stat text: user, nice,
// system, irq, softirq and steal (idle and waiting for I/O are not busy;
// guest time is already in user). False when there is no such line.
bool ParseBusyTicks(std::string_view statText, uint64_t& busyTicks);

// Processors' worth kept busy by everything but this process between the
// samples (0 when either is invalid or no time passed; never below 0).
double OtherProgramsCores(const TCpuSample& before, const TCpuSample& after);

}  // namespace platform
