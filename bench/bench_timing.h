// What the benchmark programs share: the median time of repeated runs of a step.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace verbix::bench {

// The median time in seconds of `runs` calls of `step`, each after an untimed `prepare`.
inline double median_seconds(int runs, const std::function<void()>& prepare,
                             const std::function<void()>& step) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    step();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

inline double median_seconds(int runs, const std::function<void()>& step) {
  return median_seconds(
      runs, [] {}, step);
}

}  // namespace verbix::bench
