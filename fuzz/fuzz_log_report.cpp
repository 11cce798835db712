// Event log files from outside: every line becomes one entry or one named problem, and the
// three reports over whatever was read are whole UTF-8 text.
#include "logreport/Analysis.h"
#include "logreport/Reports.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
bool Utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logreport;
  LogReader reader;
  const Day day = *ParseFileDay("261205");
  reader.AddFile({"261205.csv", day}, std::string_view(reinterpret_cast<const char*>(data), size));
  const LogData log = reader.Take();
  std::size_t lost = 0;
  // A torn entry's whole successor is read, and CR-only endings are a note on the file: no line lost.
  for (const LineProblem& problem : log.problems)
    lost += problem.problem != Problem::TornBeforeEntry && problem.problem != Problem::CrOnly;
  if (log.entries.size() + lost != log.lines) std::abort();

  const Analysis analysis = Analyse(log, {day, day, (day + 1) * SecondsPerDay}, {});
  const ReportContext context{"Logs", "given", ""};
  if (!Utf8(TextReport(log, analysis, context)) || !Utf8(HtmlReport(log, analysis, context)) ||
      !Utf8(CsvReport(log, analysis)))
    std::abort();
  return 0;
}
