// Dates and times as the event log writes them: the panel's local clock with no time zone,
// held as seconds since 01/01/1970 00:00:00 of that clock (days times 86400 plus the time of day).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logreport {

using Seconds = std::int64_t;
using Day = std::int64_t;  // days since 01/01/1970
inline constexpr Seconds SecondsPerDay = 86400;

// A calendar date, or nothing for a date that does not exist (31/04, 29/02 of a common year).
[[nodiscard]] std::optional<Day> DayOf(int year, int month, int day);
// "yymmdd" as in the log file names, in the years 2000 to 2099; nothing for anything else.
[[nodiscard]] std::optional<Day> ParseFileDay(std::string_view text);
// The day of a log file's name, "yymmdd.csv"; nothing for any other name.
[[nodiscard]] std::optional<Day> FileDayOf(std::string_view fileName);

[[nodiscard]] std::string FileNameOf(Day day);               // "yymmdd.csv"
[[nodiscard]] std::string FormatDate(Day day);               // "dd/mm/yyyy"
[[nodiscard]] std::string FormatDateTime(Seconds time);      // "dd/mm/yyyy hh:nn:ss"
[[nodiscard]] std::string FormatSortableTime(Seconds time);  // "yyyy-mm-dd hh:nn:ss", for spreadsheets
[[nodiscard]] std::string FormatClock(Seconds time);         // "hh:nn"
// "h:mm:ss", with "N d " in front from a day on; a negative span counts as 0.
[[nodiscard]] std::string FormatDuration(Seconds span);

[[nodiscard]] constexpr Day DayOfTime(Seconds time) {
  return time >= 0 ? time / SecondsPerDay : (time - SecondsPerDay + 1) / SecondsPerDay;
}

}  // namespace logreport
