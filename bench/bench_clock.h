// The benchmarks' clock (seconds from the performance counter) and the summary of a row's times.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

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

// Median, least and greatest of a non-empty list of times.
struct Stats {
  double median, min, max;
};

inline Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v.front(), v.back()};
}

}  // namespace zarvik_bench
