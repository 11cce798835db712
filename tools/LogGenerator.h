// Realistic event logs for trying and timing the log report: a seeded simulation of one panel
// over many days, whose alarm and lost-link machines are the panel's own, so every line is one
// the panel would write. It has nuisance channels that chatter, occasional floods, link losses,
// restarts (some without "Application Closed", some leaving a torn line), days without a file,
// operators whose accepts mostly come quickly but now and then take hours, designators with
// commas, quotes and 8-bit bytes, and one name that a digital and an analogue input share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LogGeneratorOptions {
  std::uint64_t seed = 1;
  int firstYear = 2026, firstMonth = 12, firstDay = 1;
  int days = 7;
  double activity = 1.0;  // scales how often inputs alarm, and the operator's output clicks
};

struct GeneratedLog {
  std::string name;  // "yymmdd.csv"
  std::string bytes;
};

[[nodiscard]] std::vector<GeneratedLog> GenerateLogs(const LogGeneratorOptions& options);
