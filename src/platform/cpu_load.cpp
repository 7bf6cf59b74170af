#include "platform/cpu_load.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace platform {
namespace {

double ClockSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

}  // namespace

bool ParseBusyTicks(std::string_view text, uint64_t& busyTicks) {
  // The aggregate line comes first: "cpu  user nice system idle iowait irq
  // softirq steal guest guest_nice".
  if (text.substr(0, 4) != "cpu ") return false;
  const std::string line(text.substr(0, text.find('\n')));
  unsigned long long v[8] = {};
  const int n = std::sscanf(line.c_str() + 4, "%llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                            &v[4], &v[5], &v[6], &v[7]);
  if (n < 4) return false;
  busyTicks = v[0] + v[1] + v[2] + v[5] + v[6] + v[7];
  return true;
}

TCpuSample SampleCpu() {
  TCpuSample sample;
  std::FILE* f = std::fopen("/proc/stat", "re");
  if (!f) return sample;
  char buffer[512];
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  uint64_t ticks = 0;
  const long hz = sysconf(_SC_CLK_TCK);
  if (hz <= 0 || !ParseBusyTicks(std::string_view(buffer, n), ticks)) return sample;
  sample.SystemBusySeconds = double(ticks) / double(hz);
  sample.OwnSeconds = ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
  sample.WallSeconds = MonotonicSeconds();
  sample.Valid = true;
  return sample;
}

double MonotonicSeconds() { return ClockSeconds(CLOCK_MONOTONIC); }

double OtherProgramsCores(const TCpuSample& before, const TCpuSample& after) {
  const double wall = after.WallSeconds - before.WallSeconds;
  if (!before.Valid || !after.Valid || wall <= 0) return 0;
  const double others =
      (after.SystemBusySeconds - before.SystemBusySeconds) - (after.OwnSeconds - before.OwnSeconds);
  return std::max(0.0, others / wall);
}

}  // namespace platform
