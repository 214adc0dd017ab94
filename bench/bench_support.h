#pragma once
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <exception>

#include "text/cp1250.h"
#include "text/error.h"

namespace bench_support {

// Peak resident memory of the whole process so far. The 1M cases run after
// the 100k ones, so a peak that grows with the rows would show.
inline double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux counts KiB
}

// Engine errors end the case with their text rather than the whole run.
template <class Body>
void guarded(benchmark::State& state, Body body) {
  try {
    body();
  } catch (const mincar::Error& e) {
    state.SkipWithError(text::toUtf8(e.what()).c_str());
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

}  // namespace bench_support
