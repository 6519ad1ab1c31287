// The summary every mapping benchmark prints after Google Benchmark's own
// output: per benchmark the median CPU time per frame, ns per pixel and the
// speed-up over the reference of its group. Names are Group/Variant/case;
// Group/Reference/case is the reference of every variant of that case. CPU
// time, since a busy machine inflates wall time.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace selvo::bench {

// Prints the usual console output, then one table: per benchmark the median
// time per frame, ns per pixel and the speed-up over its group's reference.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that saved output stays plain text.
  SummaryReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // With --benchmark_report_aggregates_only only the aggregates come.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string& name = run.run_name.function_name;
      if (times_.find(name) == times_.end()) order_.push_back(name);
      const double ns = run.GetAdjustedCPUTime() * ToNanoseconds(run.time_unit);
      if (median) reportedMedians_[name] = ns;
      else times_[name].push_back(ns);
      const auto pixels = run.counters.find("pixels");
      if (pixels != run.counters.end()) pixels_[name] = pixels->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::map<std::string, double> medians;
    for (const std::string& name : order_)
      medians[name] = reportedMedians_.count(name) ? reportedMedians_[name] : Median(times_[name]);
    std::printf("\n%-36s %12s %10s %10s\n", "benchmark (median CPU time)", "ms/frame", "ns/pixel",
                "speed-up");
    for (const std::string& name : order_) {
      const double ns = medians[name];
      const double pixels = pixels_.count(name) ? pixels_[name] : 1.0;
      std::printf("%-36s %12.2f %10.2f", name.c_str(), ns / 1e6, ns / pixels);
      const auto reference = medians.find(ReferenceOf(name));
      if (reference != medians.end() && reference->first != name)
        std::printf(" %9.1fx", reference->second / ns);
      std::printf("\n");
    }
  }

 private:
  static double ToNanoseconds(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1.0;
    }
  }
  static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  }
  // Group/Variant/argument -> Group/Reference/argument.
  static std::string ReferenceOf(const std::string& name) {
    const std::size_t first = name.find('/');
    const std::size_t second = name.find('/', first + 1);
    if (first == std::string::npos || second == std::string::npos) return "";
    return name.substr(0, first) + "/Reference" + name.substr(second);
  }

  std::vector<std::string> order_;
  std::map<std::string, std::vector<double>> times_;
  std::map<std::string, double> reportedMedians_;
  std::map<std::string, double> pixels_;
};

// A benchmark program's main: Google Benchmark's own flags, the benchmarks
// `registerAll` registers, times in milliseconds, then the summary.
inline int RunWithSummary(int argc, char** argv, void (*registerAll)()) {
  benchmark::Initialize(&argc, argv);
  benchmark::SetDefaultTimeUnit(benchmark::kMillisecond);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  registerAll();
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace selvo::bench
