// The log report over a year of realistic logs (365 days, about a million lines): found,
// read, judged and printed as text as the program does it, and once more with the page and
// the CSV file written as well.
#include "logreport/Run.h"
#include "tools/LogGenerator.h"

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace {
namespace fs = std::filesystem;

// Made once, on first use, and removed at exit.
struct YearOfLogs {
  fs::path root = fs::temp_directory_path() / ("qmx-log-report-bench-" + std::to_string(getpid()));
  std::size_t lines = 0;
  YearOfLogs() {
    fs::create_directories(root / "Logs");
    LogGeneratorOptions options;
    options.firstYear = 2026;
    options.firstMonth = 1;
    options.firstDay = 1;
    options.days = 365;
    options.activity = 20;
    for (const GeneratedLog& log : GenerateLogs(options)) {
      std::ofstream(root / "Logs" / log.name, std::ios::binary) << log.bytes;
      for (const char c : log.bytes) lines += c == '\n';
    }
  }
  ~YearOfLogs() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};
const YearOfLogs& Year() {
  static const YearOfLogs year;
  return year;
}

void RunOverYear(benchmark::State& state, bool allOutputs) {
  const YearOfLogs& year = Year();
  logreport::Options options;
  options.folder = (year.root / "Logs").string();
  if (allOutputs) {
    options.html = (year.root / "report.html").string();
    options.csv = (year.root / "episodes.csv").string();
  }
  for (auto _ : state) {
    const logreport::RunOutcome outcome = logreport::RunReport(options, {}, 0);
    if (!outcome.result.ok) state.SkipWithError(outcome.result.error.c_str());
    benchmark::DoNotOptimize(outcome.text.data());
  }
  state.counters["lines"] = static_cast<double>(year.lines);
}

void BM_LogReportYearText(benchmark::State& state) { RunOverYear(state, false); }
void BM_LogReportYearTextHtmlCsv(benchmark::State& state) { RunOverYear(state, true); }
BENCHMARK(BM_LogReportYearText)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LogReportYearTextHtmlCsv)->Unit(benchmark::kMillisecond)->Iterations(3);
}  // namespace
