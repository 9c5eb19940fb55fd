// The benchmarks' clock: seconds from the performance counter.
#pragma once

#include <windows.h>

namespace zarvik_bench {

inline double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

}  // namespace zarvik_bench
