// quellmarinox-make-logs: writes realistic daily event logs, for trying and timing the log report.
#include "tools/LogGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  LogGeneratorOptions options;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--seed" && hasValue) {
      options.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (argument == "--days" && hasValue) {
      options.days = std::atoi(argv[++i]);
    } else if (argument == "--activity" && hasValue) {
      options.activity = std::atof(argv[++i]);
    } else if (argument == "--start" && hasValue && std::strlen(argv[i + 1]) == 6) {
      const std::string day = argv[++i];  // yymmdd
      options.firstYear = 2000 + std::stoi(day.substr(0, 2));
      options.firstMonth = std::stoi(day.substr(2, 2));
      options.firstDay = std::stoi(day.substr(4, 2));
    } else if (argument[0] != '-' && folder == nullptr) {
      folder = argv[i];
    } else {
      std::fputs(
          "Usage: quellmarinox-make-logs FOLDER [--seed N] [--days N] [--start yymmdd] [--activity X]\n"
          "Writes one yymmdd.csv a day into FOLDER, as the panel would (defaults: seed 1, 7 days from\n"
          "261201, activity 1: about 200 alarms a day; activity 20 gives about a million lines a year).\n",
          stderr);
      return 2;
    }
  }
  if (folder == nullptr || options.days <= 0 || options.activity <= 0) {
    std::fputs("quellmarinox-make-logs: give a folder, and positive --days and --activity (--help)\n", stderr);
    return 2;
  }
  std::filesystem::create_directories(folder);
  std::size_t lines = 0, files = 0;
  for (const GeneratedLog& log : GenerateLogs(options)) {
    std::ofstream out(std::filesystem::path(folder) / log.name, std::ios::binary | std::ios::trunc);
    out.write(log.bytes.data(), static_cast<std::streamsize>(log.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "quellmarinox-make-logs: cannot write %s\n", log.name.c_str());
      return 1;
    }
    for (const char c : log.bytes) lines += c == '\n';
    ++files;
  }
  std::printf("%zu files, %zu lines in %s\n", files, lines, folder);
  return 0;
}
