// The report in three forms: text for the terminal, one self-contained HTML page, and the
// alarm episodes as CSV for a spreadsheet. All three are UTF-8; designators are shown through
// DisplayText.
#pragma once

#include "logreport/Analysis.h"
#include "logreport/LogFolder.h"

#include <cstdint>
#include <string>

namespace logreport {

// NOLINTBEGIN(readability-redundant-member-init): without the = {} GCC warns of every brace list that leaves them out
struct ReportContext {
  std::string folder;                        // the log folder as given or found
  std::string folderNote;                    // how it was found: "given", "the Logs folder beside this program", ...
  std::string channelText;                   // --channel as typed, empty for all channels
  std::vector<SkippedFile> unread = {};      // days' files of the period that could not be read: incomplete
  std::vector<SkippedFile> otherNames = {};  // files that look like days' logs but are not named as the panel does
};
// NOLINTEND(readability-redundant-member-init)

// The lines that name them, for the text and for standard error; empty when there are none.
[[nodiscard]] std::string UnreadText(const ReportContext& context);
// The days of the period without a file, less those whose file is there but could not be read.
[[nodiscard]] std::vector<Day> NoFileDays(const Analysis& analysis, const ReportContext& context);

[[nodiscard]] std::string TextReport(const LogData& log, const Analysis& analysis, const ReportContext& context);
[[nodiscard]] std::string HtmlReport(const LogData& log, const Analysis& analysis, const ReportContext& context);
[[nodiscard]] std::string CsvReport(const LogData& log, const Analysis& analysis);

// Pieces the forms share.
[[nodiscard]] std::string DayRanges(const std::vector<Day>& days);  // "08/12/2026, 12/12/2026 to 14/12/2026"
[[nodiscard]] std::string LinkEndText(LinkEnd end);
// A delay's median or worst as "h:mm:ss"; "-" when there was none.
[[nodiscard]] std::string MedianText(const DelayFigures& figures);
[[nodiscard]] std::string WorstText(const DelayFigures& figures);
[[nodiscard]] std::string Location(const LogData& log, std::uint32_t file, std::uint32_t line);  // "261205.csv line 7"

}  // namespace logreport
