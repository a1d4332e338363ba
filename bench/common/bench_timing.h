// Timing helpers shared by the benchmark programs.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

namespace bench {

// Median time of one call in nanoseconds, over `rounds` rounds of `batch` calls.
inline double medianNs(int rounds, int batch, const std::function<void()>& work) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> samples;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    for (int i = 0; i < batch; ++i) work();
    samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / batch);
  }
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

// Whether "--quick" (shorter runs, same figures) is among the arguments.
inline bool quickRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) return true;
  return false;
}

}  // namespace bench
