// Entry point of the benchmark program; the benchmarks register themselves.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
