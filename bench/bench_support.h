// What the benchmark programs share: timing on the calling thread's CPU
// clock, the vector level a run uses (set from QCAM_VECTORS), and a console
// reporter that keeps each benchmark's time for the table a program prints
// at the end of its run.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "driver/imaging/vector_level.h"

namespace bench_support {

// Seconds of CPU time of the calling thread: work of other processes on a
// shared machine does not count.
inline double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// QCAM_VECTORS=portable (or ssse3) in the environment limits the vector
// paths, to time them as processors without the wider units run them; the
// level in force is printed first.
inline void ChooseAndPrintVectorLevel() {
  if (const char* v = std::getenv("QCAM_VECTORS")) {
    const std::string level = v;
    SetEffectVectorCeiling(level == "portable" ? VectorLevel::kPortable
                                               : (level == "ssse3" ? VectorLevel::kSsse3 : VectorLevel::kAvx2));
  }
  const VectorLevel level = EffectVectorLevel();
  std::printf("vector level: %s\n",
              level == VectorLevel::kAvx2 ? "AVX2" : (level == VectorLevel::kSsse3 ? "SSSE3" : "portable"));
}

// The run of a benchmark program: the vector level printed, the command
// line read, every selected benchmark run into `reporter`.
inline int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  ChooseAndPrintVectorLevel();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// The median of some times or ratios (0 for none).
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A buffer that starts on a page, as the kernel's pool gives the class
// driver its transfer and frame buffers and as an allocator gives large
// media samples. Taken from the heap instead, a buffer's place within its
// page follows what the program allocated before, and so does the speed of
// copies between two such buffers: the same build read a tenth of a memcpy
// more or less from one layout to another.
class PageBuffer {
 public:
  // aligned_alloc takes a whole number of pages (at least one).
  explicit PageBuffer(size_t size)
      : size_(size), data_(static_cast<uint8_t*>(std::aligned_alloc(kPage, (size / kPage + 1) * kPage))) {
    if (!data_) throw std::bad_alloc();
    std::memset(data_.get(), 0, size);
  }
  PageBuffer(const uint8_t* bytes, size_t size) : PageBuffer(size) { std::memcpy(data(), bytes, size); }
  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  size_t size() const { return size_; }

 private:
  static constexpr size_t kPage = 4096;
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  size_t size_;
  std::unique_ptr<uint8_t, Free> data_;
};

// A reference timed in a row's own iterations, beside the work the row
// times (a memcpy of the same bytes, or another library's decode of the
// same frame): recorded as a counter of microseconds per iteration, so that
// the reporter can divide each repetition by the reference of the same
// moments.
constexpr const char* kPairedMemcpy = "memcpy_us";

inline void RecordPaired(benchmark::State& state, const char* counter, double referenceSeconds) {
  state.counters[counter] = benchmark::Counter(referenceSeconds * 1e6, benchmark::Counter::kAvgIterations);
}

inline void RecordPairedMemcpy(benchmark::State& state, double copySeconds) {
  RecordPaired(state, kPairedMemcpy, copySeconds);
}

// A repetition's time over its paired reference, or 0 when it has none.
inline double PairedRatio(const benchmark::BenchmarkReporter::Run& r, const char* counter = kPairedMemcpy) {
  const auto reference = r.counters.find(counter);
  if (r.run_type != benchmark::BenchmarkReporter::Run::RT_Iteration || r.error_occurred ||
      reference == r.counters.end() || reference->second.value <= 0)
    return 0;
  return r.GetAdjustedRealTime() / reference->second.value;
}

// Keeps, per benchmark, the adjusted real time of its run, or the median of
// its repetitions when repeated (manual-time rows report CPU time there).
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const std::string name = r.run_name.function_name;
      if (r.run_type == Run::RT_Iteration && !times_.count(name)) times_[name] = r.GetAdjustedRealTime();
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") times_[name] = r.GetAdjustedRealTime();
    }
  }

 protected:
  // The kept time in the rows' unit, or 0 when the benchmark did not run.
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace bench_support
