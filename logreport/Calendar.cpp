#include "logreport/Calendar.h"

#include "config/EventLogFormat.h"

#include <algorithm>
#include <chrono>

namespace logreport {
namespace {
using namespace std::chrono;

year_month_day DateOf(Day day) { return year_month_day{sys_days{days{day}}}; }

void AppendDigits(std::string& out, long long value, int width) {
  char buffer[24];
  int length = 0;
  for (long long rest = value < 0 ? 0 : value; length < width || rest > 0; rest /= 10)
    buffer[length++] = static_cast<char>('0' + rest % 10);
  while (length > 0) out.push_back(buffer[--length]);
}
}  // namespace

std::optional<Day> DayOf(int yearNumber, int monthNumber, int dayNumber) {
  if (monthNumber < 1 || monthNumber > 12 || dayNumber < 1 || dayNumber > 31) return std::nullopt;
  const year_month_day date{year{yearNumber}, month{static_cast<unsigned>(monthNumber)},
                            std::chrono::day{static_cast<unsigned>(dayNumber)}};
  if (!date.ok()) return std::nullopt;
  return sys_days{date}.time_since_epoch().count();
}

std::optional<Day> ParseFileDay(std::string_view text) {
  const std::optional<LocalTime> date = ParseLogDay(text);
  return date ? DayOf(date->year, date->month, date->day) : std::nullopt;
}

std::optional<Day> FileDayOf(std::string_view fileName) {
  const std::optional<LocalTime> date = LogFileDay(fileName);
  return date ? DayOf(date->year, date->month, date->day) : std::nullopt;
}

std::string FileNameOf(Day day) {
  const year_month_day date = DateOf(day);
  const auto month = static_cast<unsigned>(date.month()), dayOfMonth = static_cast<unsigned>(date.day());
  return LogFileName({static_cast<int>(date.year()), static_cast<int>(month), static_cast<int>(dayOfMonth), 0, 0, 0});
}

std::string FormatDate(Day day) {
  const year_month_day date = DateOf(day);
  std::string text;
  AppendDigits(text, static_cast<unsigned>(date.day()), 2);
  text.push_back('/');
  AppendDigits(text, static_cast<unsigned>(date.month()), 2);
  text.push_back('/');
  AppendDigits(text, static_cast<int>(date.year()), 4);
  return text;
}

std::string FormatClock(Seconds time) {
  const Seconds ofDay = time - DayOfTime(time) * SecondsPerDay;
  std::string text;
  AppendDigits(text, ofDay / 3600, 2);
  text.push_back(':');
  AppendDigits(text, ofDay / 60 % 60, 2);
  return text;
}

namespace {
// " hh:nn:ss" after a date.
void AppendTimeOfDay(std::string& text, Seconds time) {
  text.push_back(' ');
  text += FormatClock(time);
  text.push_back(':');
  AppendDigits(text, (time - DayOfTime(time) * SecondsPerDay) % 60, 2);
}
}  // namespace

std::string FormatDateTime(Seconds time) {
  std::string text = FormatDate(DayOfTime(time));
  AppendTimeOfDay(text, time);
  return text;
}

std::string FormatSortableTime(Seconds time) {
  const year_month_day date = DateOf(DayOfTime(time));
  std::string text;
  AppendDigits(text, static_cast<int>(date.year()), 4);
  text.push_back('-');
  AppendDigits(text, static_cast<unsigned>(date.month()), 2);
  text.push_back('-');
  AppendDigits(text, static_cast<unsigned>(date.day()), 2);
  AppendTimeOfDay(text, time);
  return text;
}

std::string FormatDuration(Seconds span) {
  span = std::max<Seconds>(span, 0);
  std::string text;
  if (span >= SecondsPerDay) {
    AppendDigits(text, span / SecondsPerDay, 1);
    text += " d ";
    AppendDigits(text, span % SecondsPerDay / 3600, 2);
  } else {
    AppendDigits(text, span / 3600, 1);
  }
  text.push_back(':');
  AppendDigits(text, span / 60 % 60, 2);
  text.push_back(':');
  AppendDigits(text, span % 60, 2);
  return text;
}

}  // namespace logreport
