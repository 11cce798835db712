// The log report over logs of our own making: torn and malformed lines, designators with
// commas and 8-bit bytes, a name two inputs share, midnight, a day without a file, restarts.
#include "logreport/Analysis.h"
#include "logreport/Options.h"
#include "logreport/Reports.h"
#include "logreport/Text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {
using namespace logreport;
using Files = std::vector<std::pair<std::string, std::string>>;
using namespace std::string_view_literals;

LogData Read(const Files& files) {
  LogReader reader;
  for (const auto& [name, bytes] : files) reader.AddFile({name, *ParseFileDay(name.substr(0, 6))}, bytes);
  return reader.Take();
}

Period Days(const char* first, const char* last) {
  const Day to = *ParseFileDay(last);
  return {*ParseFileDay(first), to, (to + 1) * SecondsPerDay};
}

// Lines as the panel writes them, each ending in CR LF.
std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string bytes;
  for (const std::string_view line : lines) bytes.append(line).append("\r\n");
  return bytes;
}

TEST(LogParser, TakesEveryLineShapeAndNamesTheOnesItCannotRead) {
  const LogData log = Read({{"261205.csv",
                             Lines({
                                 "05/12/2026,09:00:00,Tank 2, level Alarm",   // comma in the designator
                                 "05/12/2026,09:00:01,K\xFChl Alarm Accept",  // an 8-bit byte
                                 "05/12/2026,09:00:02, Alarm Reset",          // an empty designator
                                 "05/12/2026,09:00:03,Pump Alarm Alarm",      // a designator ending in " Alarm"
                                 "04/12/2026,23:59:59,Comms Lost",            // written at midnight: the day before
                                 "05/12/2026,09:0005/12/2026,09:00:04,Door Alarm",  // a torn entry, then a whole one
                                 "05/12/2026,09:00:05,Door Alarm Acknowledge",
                                 "Door Alarm",
                                 "",
                                 "05/12/2026,09:00:06,Do\0r Alarm"sv,
                                 "03/12/2026,09:00:07,Door Alarm",
                                 "05/12/2026,24:00:00,Door Alarm",
                                 "05.12.2026,09.00.08,Door Set to Inactive",  // other date and time separators
                                 "05/12/2026,09:00:09,A name much longer than thirty-four bytes Alarm",
                             }) + "05/12/2026,09:00:10,Door Al"}});
  ASSERT_EQ(log.entries.size(), 7u);
  const auto name = [&](std::size_t i) { return log.names[log.entries[i].name]; };
  EXPECT_EQ(name(0), "Tank 2, level");
  EXPECT_EQ(name(1), "K\xFChl");
  EXPECT_EQ(name(2), "");
  EXPECT_EQ(name(3), "Pump Alarm");
  EXPECT_EQ(name(5), "Door");
  EXPECT_EQ(FormatDateTime(log.entries[4].time), "04/12/2026 23:59:59");
  EXPECT_EQ(FormatDateTime(log.entries[5].time), "05/12/2026 09:00:04");
  EXPECT_EQ(log.entries[6].kind, LogEntryKind::SetToInactive);
  EXPECT_EQ(log.lines, 15u);

  std::string problems;
  for (const LineProblem& p : log.problems)
    problems += Location(log, p.file, p.line) + ": " + std::string(ProblemText(p.problem)) + "\n";
  EXPECT_EQ(problems,
            "261205.csv line 6: torn entry run into the next one (the whole entry after it is read)\n"
            "261205.csv line 7: not an event the panel writes\n"
            "261205.csv line 8: no date and time at the start\n"
            "261205.csv line 9: empty line\n"
            "261205.csv line 10: holds NUL bytes\n"
            "261205.csv line 11: dated outside its file's day\n"
            "261205.csv line 12: no date and time at the start\n"
            "261205.csv line 14: name longer than 34 bytes\n"
            "261205.csv line 15: torn: no CR LF at the end of the file\n");
}

// Every byte value at every place of a time stamp, and the separators changed in pairs: the
// shape holds exactly for digits in the fourteen digit places, commas after the date and the
// time, and one same byte, neither digit nor comma, in both places of the date and of the time.
TEST(LogParser, TellsATimeStampByEveryByteOfIt) {
  const std::string stamp = "05/12/2026,09:00:00,";
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t at = 0; at < stamp.size(); ++at)
    for (int value = 0; value < 256; ++value) {
      std::string changed = stamp;
      changed[at] = static_cast<char>(value);
      const char c = changed[at];
      const bool separator = at == 2 || at == 5 || at == 13 || at == 16;
      const bool expected = at == 10 || at == 19 ? c == ',' : separator ? c == stamp[at] : digit(c);
      EXPECT_EQ(StartsWithTimeStamp(changed + "Comms Lost"), expected) << at << " " << value;
    }
  for (const std::size_t first : {2, 13})
    for (int value = 0; value < 256; ++value) {
      std::string changed = stamp;
      changed[first] = changed[first + 3] = static_cast<char>(value);
      const char c = changed[first];
      EXPECT_EQ(StartsWithTimeStamp(changed), !digit(c) && c != ',') << first << " " << value;
    }
  EXPECT_FALSE(StartsWithTimeStamp(stamp.substr(0, TimeStampLength - 1)));
}

// Every event text after designators of every length up to 20, whole and with any one byte
// changed: read as the first text of the table that it ends with (that it is, for a text
// that stands alone), and nothing else.
TEST(LogParser, ReadsEveryEventTextAfterDesignatorsOfEveryLength) {
  const auto expected = [](std::string_view text) -> std::optional<EventText> {
    for (const EventLogText& entry : EventLogTexts) {
      if (entry.channel == LogChannel::None ? text == entry.text : text.ends_with(entry.text))
        return EventText{entry.kind, entry.channel == LogChannel::None
                                         ? std::nullopt
                                         : std::optional(text.substr(0, text.size() - entry.text.size()))};
    }
    return std::nullopt;
  };
  const auto same = [](const std::optional<EventText>& x, const std::optional<EventText>& y) {
    return x.has_value() == y.has_value() && (!x || (x->kind == y->kind && x->designator == y->designator));
  };
  for (const EventLogText& entry : EventLogTexts)
    for (std::size_t length = 0; length <= 20; ++length) {
      const std::string whole = std::string("Tank 2, level Kuehler").substr(0, length) + std::string(entry.text);
      ASSERT_TRUE(same(ParseEventText(whole), expected(whole))) << whole;
      ASSERT_TRUE(ParseEventText(whole)) << whole;
      for (std::size_t at = 0; at < whole.size(); ++at)
        for (const char value : {'\0', 'x', 'A', ' '}) {
          std::string changed = whole;
          changed[at] = value;
          EXPECT_TRUE(same(ParseEventText(changed), expected(changed))) << changed;
        }
      if (entry.channel == LogChannel::None) break;
    }
}

// A NUL byte is found wherever it stands in a text of any length; a comma anywhere in a
// name still reads as part of it.
TEST(LogParser, FindsANulOrACommaAtEveryPlaceOfTheText) {
  for (const std::string_view text : {"X Alarm"sv, "Comms Lost"sv, "Flow switch Alarm Accept"sv}) {
    std::string nul;
    for (std::size_t at = 0; at < text.size(); ++at) {
      std::string line = "05/12/2026,09:00:00," + std::string(text);
      line[TimeStampLength + at] = '\0';
      nul += line + "\r\n";
    }
    const LogData withNul = Read({{"261205.csv", nul}});
    EXPECT_TRUE(withNul.entries.empty()) << text;
    EXPECT_EQ(withNul.problems.size(), text.size()) << text;
    for (const LineProblem& problem : withNul.problems) EXPECT_EQ(problem.problem, Problem::NulBytes) << text;
  }
  std::string commas;
  const std::string name = "Flow switch 12345";
  for (std::size_t at = 0; at < name.size(); ++at) {
    std::string named = name;
    named[at] = ',';
    commas += "05/12/2026,09:00:00," + named + " Alarm\r\n";
  }
  const LogData withComma = Read({{"261205.csv", commas}});
  ASSERT_EQ(withComma.entries.size(), name.size());
  EXPECT_TRUE(withComma.problems.empty());
  for (std::size_t at = 0; at < name.size(); ++at) EXPECT_EQ(withComma.names[withComma.entries[at].name].find(','), at);
}

// Three files and a missing day: an analogue alarm with two resets, a digital reset without
// an accept, an accept after midnight, an entry dated the day before at the top of a file,
// a link loss, a close, a torn last line, a restart without a close, and an alarm still open.
Files WeekEnd() {
  return {
      {"261205.csv", Lines({"05/12/2026,08:00:00,Application Started", "05/12/2026,08:00:01,Comms Connected",
                            "05/12/2026,09:00:00,Tank 2, level Alarm", "05/12/2026,09:00:30,Tank 2, level Alarm Accept",
                            "05/12/2026,09:04:00,Tank 2, level Alarm Reset",
                            "05/12/2026,09:05:00,Tank 2, level Alarm Reset", "05/12/2026,10:00:00,Door Alarm",
                            "05/12/2026,10:02:00,Door Alarm Reset", "05/12/2026,23:59:00,K\xFChlwasser Alarm"})},
      {"261206.csv",
       Lines({"05/12/2026,23:59:59,Output 1 Set to Active", "06/12/2026,00:01:00,K\xFChlwasser Alarm Accept",
              "06/12/2026,00:10:00,K\xFChlwasser Alarm Reset", "06/12/2026,10:00:00,Comms Lost",
              "06/12/2026,10:00:20,Comms Lost Accept", "06/12/2026,10:02:00,Comms Lost Reset",
              "06/12/2026,12:00:00,Door Alarm", "06/12/2026,12:00:40,Door Alarm Accept",
              "06/12/2026,17:00:00,Door Alarm", "06/12/2026,17:00:05,Door Alarm Accept",
              "06/12/2026,18:00:00,Application Closed"}) +
           "06/12/2026,18:00:01,Door Al"},
      {"261208.csv", Lines({"08/12/2026,08:00:00,Application Started", "08/12/2026,08:00:01,Comms Connected",
                            "08/12/2026,09:00:00,Door Alarm Reset", "08/12/2026,10:00:00,Pump Alarm",
                            "08/12/2026,12:00:00,Application Started", "08/12/2026,13:00:00,Pump Alarm",
                            "08/12/2026,13:00:10,Pump Alarm Accept"})}};
}

// Texts and names alike in their first and last eight bytes, or short and alike but for their
// length or their last byte, stay apart however often they come.
TEST(LogParser, TellsApartNamesThatShareTheirEnds) {
  std::string bytes;
  for (int i = 0; i < 3; ++i)
    bytes += Lines({"05/12/2026,09:00:00,Valve group A north side Alarm",
                    "05/12/2026,09:00:01,Valve group B north side Alarm", "05/12/2026,09:00:02,Pump Alarm",
                    "05/12/2026,09:00:03,Pump  Alarm", "05/12/2026,09:00:04,Door 1 Alarm",
                    "05/12/2026,09:00:05,Door 2 Alarm"});
  const LogData log = Read({{"261205.csv", bytes}});
  ASSERT_EQ(log.entries.size(), 18u);
  std::string names;
  for (const Entry& entry : log.entries) names += log.names[entry.name] + "|";
  EXPECT_EQ(names.substr(0, names.size() / 3),
            "Valve group A north side|Valve group B north side|Pump|Pump |Door 1|Door 2|");
  EXPECT_EQ(names,
            names.substr(0, names.size() / 3) + names.substr(0, names.size() / 3) + names.substr(0, names.size() / 3));
  EXPECT_EQ(log.names.size(), 6u);
}

TEST(LogReport, TextOverDaysWithMidnightAMissingDayAndRestarts) {
  const LogData log = Read(WeekEnd());
  const Analysis analysis = Analyse(log, Days("261205", "261208"), {});
  EXPECT_EQ(TextReport(log, analysis, {"/var/Logs", "given", ""}),
            R"(Event log report
Log folder: /var/Logs (given)
Period:     05/12/2026 to 08/12/2026, 4 days; 3 files, 28 lines
No file:    07/12/2026 (the panel was not running or logging was off)

Against ISA-18.2 / EEMUA 191 (input alarms and the lost-link alarm)
  Alarms a day:          2.7 on average over 3 days with a file (8 alarms, 1 of them lost-link); worst day 05/12/2026 with 3; 1 stop without "Application Closed": 3.8 to 4.0 per 24 h of running, by when it stopped
                         -> acceptable (about 150 a day)
  Alarms in 10 minutes:  0.0 on average; 0 of 288 ten-minute periods (0.0 %) had more than 2
                         -> acceptable (about 1)
  Floods:                0 floods (more than 10 alarms in 10 minutes, until fewer than 5); 0.0 % of the running time in flood; the most in 10 minutes: 1, up to 05/12/2026 09:00
                         -> under 1 % of the time: met
  Chattering:            no channel had 3 alarms within a minute
                         -> none: met
  Most frequent:         the 4 channels that alarmed are the top 10; the top 1 (a quarter of the 4 channels that alarmed) give 42.9 %
                         -> no few channels dominate
  Stale alarms:          0 alarms stood more than 24 h; the longest 11.0 h (Pump)
                         -> fewer than 5 on any day: met
  Standing alarms:       at most 1 open at once, 0.3 on average (1 alarm returned with no reset due and wrote no end: not counted)
                         -> fewer than 10 at once: met
  Hours over 30:         0 of 49 hours (0.0 %) had more than 30 alarms
                         -> under 1 %: met
  At the panel's stops:  1 alarm was still unaccepted when the panel stopped
                         -> look at who stopped it and why
  Not in this log:       shelving, suppression and priorities: the panel has none
                         -> cannot be judged
Look first at: no channel stands out

Alarms per channel (times from the alarm: median / worst)
  Channel        Raised  Accepted  Reset                To accept                 To reset  Open
  Door                3         2      1        0:00:22 / 0:00:40        0:02:00 / 0:02:00     0
  Pump                2         1      0        0:00:10 / 0:00:10                    - / -     1
  Kühlwasser          1         1      1        0:02:00 / 0:02:00        0:11:00 / 0:11:00     0
  Tank 2, level       1         1      1        0:00:30 / 0:00:30        0:05:00 / 0:05:00     0
  All                 7         5      3        0:00:30 / 0:02:00        0:05:00 / 0:11:00     1
  1 accept or reset entry has no alarm before it (raised before the period, on a day without a file, or in an unreadable line)

Open at the end (09/12/2026 00:00:00): 1
  Pump: raised 08/12/2026 13:00:00, accepted 08/12/2026 13:00:10
  (an alarm that returns to normal with no reset due writes no entry: some of these may be over)

Link losses: 1, 0:02:00 in all
  back after (median / worst): 0:02:00 / 0:02:00; accepted after: 0:00:20 / 0:00:20
  06/12/2026 10:00:00  0:02:00 until Comms Lost Reset
  (where the lost-link alarm waits for a reset, the return is logged only by the reset)
Connects: 2; operator's disconnects: 0; output commands: 1

Panel not running: 3 times, 2 d 00:00:00 in all (50.0 % of the period); no alarm could be seen then
  05/12/2026 00:00:00 to 05/12/2026 08:00:00         8:00:00
  06/12/2026 18:00:00 to 08/12/2026 08:00:00    1 d 14:00:00
  08/12/2026 10:00:00 to 08/12/2026 12:00:00         2:00:00  (from its last entry)
  1 stop without "Application Closed" (counted from the last entry)

Torn or unreadable lines: 1
  261206.csv line 12: torn: no CR LF at the end of the file
)");
}

// Two accepts after one raise are out of sequence: the second cannot be paired and that alarm
// is not timed; the others are, and the counts stay whole.
TEST(LogReport, SharedNameIsToldApartOnlyWhereItsEntriesAllow) {
  const LogData log = Read(
      {{"261205.csv", Lines({"05/12/2026,10:00:00,Boiler 1 Alarm", "05/12/2026,10:00:05,Boiler 1 Alarm",
                             "05/12/2026,10:00:30,Boiler 1 Alarm Accept", "05/12/2026,10:00:40,Boiler 1 Alarm Accept",
                             "05/12/2026,11:00:00,Boiler 1 Alarm", "05/12/2026,11:00:10,Boiler 1 Alarm Accept",
                             "05/12/2026,11:05:00,Boiler 1 Alarm Reset", "05/12/2026,12:00:00,Boiler 1 Alarm",
                             "05/12/2026,12:02:00,Boiler 1 Alarm Reset"})}});
  const Analysis analysis = Analyse(log, Days("261205", "261205"), {});
  ASSERT_EQ(analysis.channels.size(), 1u);
  const ChannelFigures& boiler = analysis.channels[0];
  EXPECT_EQ(boiler.raised, 4u);
  EXPECT_EQ(boiler.ambiguous, 1u);
  EXPECT_EQ(boiler.unpaired, 1u);
  EXPECT_EQ(boiler.toReset.count, 2u);
  EXPECT_EQ(boiler.toReset.worst, 300);
  EXPECT_EQ(boiler.toAccept.count, 1u);
  const std::string text = TextReport(log, analysis, {"Logs", "given", ""});
  EXPECT_NE(text.find("  Boiler 1 *       4         2      2        0:00:10 / 0:00:10        0:03:30 / 0:05:00     0\n"
                      "  All              4         2      2        0:00:10 / 0:00:10        0:03:30 / 0:05:00     0\n"
                      "  * Boiler 1: entries out of sequence (first at 261205.csv line 4): 1 accept after the alarm's "
                      "accept or reset could not be paired; 1 of its 4 alarms is not timed (two inputs may write "
                      "under this name)\n"),
            std::string::npos)
      << text;
}

// One day of running: a channel that chatters twice, two floods, and the load they make.
TEST(LogReport, JudgesLoadFloodsChatterAndTheMostFrequent) {
  std::vector<std::string> lines = {"05/12/2026,00:00:00,Application Started"};
  const auto at = [&](int minute, int second, std::string_view name) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "05/12/2026,%02d:%02d:%02d,", minute / 60, minute % 60, second);
    lines.push_back(std::string(stamp) + std::string(name) + " Alarm");
  };
  for (const int minute : {60, 600}) {  // three alarms less than a minute apart, twice
    at(minute, 0, "Flow");
    at(minute, 30, "Flow");
    at(minute, 59, "Flow");
  }
  at(700, 0, "Flow");
  at(700, 59, "Flow");
  at(701, 0, "Flow");                  // 60 s from the first: not within a minute
  for (const int minute : {120, 900})  // 11 alarms in one ten-minute period, twice
    for (int k = 0; k < 11; ++k) at(minute + k / 2, k, std::string("Input ") + static_cast<char>('A' + k % 4));
  for (int k = 0; k < 160; ++k) at(1000 + k * 2, 0, "Door " + std::to_string(k % 3));
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  const LogData log = Read({{"261205.csv", bytes}});
  const Analysis a = Analyse(log, Days("261205", "261205"), {});

  std::string verdicts;
  for (const Verdict& v : a.verdicts) verdicts += v.item + ": " + v.finding + " -> " + v.judgement + "\n";
  EXPECT_EQ(verdicts,
            "Alarms a day: 191.0 on average over 1 day with a file (191 alarms); worst day 05/12/2026 with 191 -> "
            "above the acceptable 150, within the manageable 300\n"
            "Alarms in 10 minutes: 1.3 on average; 37 of 144 ten-minute periods (25.7 %) had more than 2 -> above the "
            "acceptable 1, within the manageable 2\n"
            "Floods: 2 floods (more than 10 alarms in 10 minutes, until fewer than 5), lasting 0:07:56 at the median "
            "and 0:07:56 at the longest, with 22 alarms in them; 1.1 % of the running time in flood; the most in 10 "
            "minutes: 11, up to 05/12/2026 02:05 -> 1 % of the time or more: not met\n"
            "Chattering: 1 channel had 3 or more alarms within a minute: Flow (2 times); they gave 4.7 % of the input "
            "alarms -> should be none: not met\n"
            "Most frequent: the 8 channels that alarmed are the top 10; the top 2 (a quarter of the 8 channels that "
            "alarmed) give 56.0 % -> more than half: a few channels dominate\n"
            "Stale alarms: 0 alarms stood more than 24 h; the longest 12.3 h (Flow) -> fewer than 5 on any day: met\n"
            "Standing alarms: at most 8 open at once, 2.3 on average (183 alarms returned with no reset due and wrote "
            "no end: not counted) -> fewer than 10 at once: met\n"
            "Hours over 30: 0 of 24 hours (0.0 %) had more than 30 alarms -> under 1 %: met\n"
            "At the panel's stops: 0 alarms were still unaccepted when the panel stopped -> none\n"
            "Not in this log: shelving, suppression and priorities: the panel has none -> cannot be judged\n");
  EXPECT_EQ(a.lookFirst,
            (std::vector<std::string>{"Flow (chattering 2 times, 4.7 % of alarms)", "Door 0 (28.3 % of alarms)",
                                      "Door 1 (27.7 % of alarms)", "Door 2 (27.7 % of alarms)"}));
}

// A long steady load, large enough that the analysis splits its work over two threads: an
// alarm every ten seconds for eight days, accepted after 3 s and reset after 7 s.
TEST(LogReport, ALongSteadyLoadGivesItsExactFigures) {
  Files files;
  char line[64];
  for (int day = 0; day < 8; ++day) {
    std::string bytes = day == 0 ? "05/12/2026,00:00:00,Application Started\r\n" : "";
    for (int t = 0; t < 86400; t += 10)
      for (const auto& [after, text] : {std::pair{0, "Alarm"}, {3, "Alarm Accept"}, {7, "Alarm Reset"}}) {
        const int at = t + after;
        std::snprintf(line, sizeof line, "%02d/12/2026,%02d:%02d:%02d,Pump %s\r\n", 5 + day, at / 3600, at / 60 % 60,
                      at % 60, text);
        bytes += line;
      }
    std::snprintf(line, sizeof line, "2612%02d.csv", 5 + day);
    files.emplace_back(line, std::move(bytes));
  }
  const Analysis a = Analyse(Read(files), Days("261205", "261212"), {});
  EXPECT_EQ(a.alarms, 69120u);
  EXPECT_EQ(a.toAccept.count, 69120u);
  EXPECT_EQ(a.toAccept.median, 3);
  EXPECT_EQ(a.toReset.median, 7);
  EXPECT_EQ(a.toReset.worst, 7);
  EXPECT_EQ(a.standingPeak, 1u);
  EXPECT_EQ(OneDecimal(a.standingAverage), "0.7");
  ASSERT_EQ(a.floods.size(), 1u);  // from the eleventh alarm to the period's end
  EXPECT_EQ(a.floods[0].to - a.floods[0].from, 8 * SecondsPerDay - 100);
  EXPECT_EQ(a.peakTenMinutes, 60u);
  EXPECT_EQ(a.busyHours, 192u);
  ASSERT_EQ(a.channels.size(), 1u);
  EXPECT_EQ(a.channels[0].chatter, 1u);
}

// Medians of long lists, short delays and long: one channel's 20,000 accepts of 0 to 98 s,
// and fifty channels' 400 each of 5000 to 5006 s, so that the middle of all of them falls
// between the last short delay and the first long one.
TEST(LogReport, MediansOfLongListsAreExactWhereverTheMiddleFalls) {
  LogData log;
  const Day first = *ParseFileDay("261101");
  for (Day day = first; day < first + 28; ++day) log.files.push_back({std::to_string(day), day});
  log.names.emplace_back("Pump");
  for (int c = 0; c < 50; ++c) log.names.push_back("Valve " + std::to_string(c));
  const auto add = [&](Seconds at, std::uint32_t name, LogEntryKind kind) {
    log.entries.push_back({first * SecondsPerDay + at, name, 0, static_cast<std::uint16_t>(at / SecondsPerDay), kind});
  };
  for (int i = 0; i < 20000; ++i) {
    add(i * 100 + 1, 0, LogEntryKind::Alarm);
    add(i * 100 + 1 + 2 * (i % 50), 0, LogEntryKind::AlarmAccept);
  }
  for (int c = 0; c < 50; ++c)
    for (int j = 0; j < 400; ++j) {
      add(j * 6000 + c * 100 + 30, static_cast<std::uint32_t>(1 + c), LogEntryKind::Alarm);
      add(j * 6000 + c * 100 + 30 + 5000 + (c + j) % 7, static_cast<std::uint32_t>(1 + c), LogEntryKind::AlarmAccept);
    }
  std::stable_sort(log.entries.begin(), log.entries.end(),
                   [](const Entry& x, const Entry& y) { return x.time < y.time; });
  const Analysis a = Analyse(log, {first, first + 27, (first + 28) * SecondsPerDay}, {});
  EXPECT_EQ(a.toAccept.count, 40000u);
  EXPECT_EQ(a.toAccept.median, (98 + 5000) / 2);
  EXPECT_EQ(a.toAccept.worst, 5006);
  ASSERT_EQ(a.channels.front().name, 0u);
  EXPECT_EQ(a.channels.front().toAccept.median, (48 + 50) / 2);
  EXPECT_EQ(a.channels.front().toAccept.worst, 98);
  EXPECT_EQ(a.channels.back().toAccept.median, 5003);
}

// The clock set back between two alarms and the third: the figures that need the raises in
// time order still get them.
TEST(LogReport, TheClockSetBackLeavesTheRaisesInTimeOrder) {
  const LogData log =
      Read({{"261205.csv", Lines({"05/12/2026,08:00:00,Application Started", "05/12/2026,10:00:00,Door Alarm",
                                  "05/12/2026,10:00:10,Gate Alarm", "05/12/2026,10:20:00,Door Alarm Reset",
                                  "05/12/2026,09:50:00,Pump Alarm", "05/12/2026,09:55:00,Pump Alarm Reset",
                                  "05/12/2026,10:30:00,Gate Alarm Reset"})}});
  const Analysis a = Analyse(log, Days("261205", "261205"), {});
  EXPECT_EQ(a.stepsBack, 1u);
  EXPECT_EQ(a.standingPeak, 2u);  // Door and Gate; Pump was over before either
  EXPECT_EQ(a.peakTenMinutes, 2u);
  EXPECT_EQ(FormatDateTime(a.peakTenMinutesEnd), "05/12/2026 10:00:10");
  EXPECT_EQ(a.longestStanding, 29 * 60 + 50);
}

// An episode holds its moments in 32 bits from 31/12/1999: the first and the last second a
// log can name come back exact.
TEST(LogReport, MomentsAtTheEndsOfTheLogsYearsComeBackExact) {
  const LogData log =
      Read({{"000101.csv", Lines({"31/12/1999,23:59:58,Door Alarm", "01/01/2000,00:00:01,Door Alarm Accept"})},
            {"991231.csv", Lines({"31/12/2099,23:59:50,Door Alarm", "31/12/2099,23:59:59,Door Alarm Reset"})}});
  const Day last = *ParseFileDay("991231");
  const Analysis a = Analyse(log, {*ParseFileDay("000101"), last, (last + 1) * SecondsPerDay}, {});
  ASSERT_EQ(a.episodes.size(), 2u);
  EXPECT_EQ(FormatDateTime(a.episodes[0].raised), "31/12/1999 23:59:58");
  EXPECT_EQ(FormatDateTime(*a.episodes[0].accepted), "01/01/2000 00:00:01");
  EXPECT_EQ(FormatDateTime(a.episodes[1].raised), "31/12/2099 23:59:50");
  EXPECT_EQ(FormatDateTime(*a.episodes[1].reset()), "31/12/2099 23:59:59");
  EXPECT_FALSE(a.episodes[1].accepted.has_value());
  EXPECT_EQ(a.toAccept.median, 3);
  EXPECT_EQ(a.toReset.median, 9);
}

TEST(LogReport, CsvQuotesFieldsAndThePageIsEscapedAndSelfContained) {
  const LogData log =
      Read({{"261205.csv",
             Lines({"05/12/2026,10:00:00,Tank \"A\", level Alarm", "05/12/2026,10:00:30,Tank \"A\", level Alarm Accept",
                    "05/12/2026,10:01:00,=HYPERLINK(1) Alarm", "05/12/2026,10:02:00,K\xFChl\x01<b> Alarm",
                    "05/12/2026,10:03:00,Comms Lost", "05/12/2026,10:03:20,Comms Connected"})}});
  const Analysis analysis = Analyse(log, Days("261205", "261205"), {});
  EXPECT_EQ(CsvReport(log, analysis),
            "\xEF\xBB\xBF"
            "channel,kind,raised,accepted,reset or back,seconds to accept,seconds to reset or back,end,note\r\n"
            "\"Tank \"\"A\"\", level\",input,2026-12-05 10:00:00,2026-12-05 10:00:30,,30,,open at the end,\r\n"
            "'=HYPERLINK(1),input,2026-12-05 10:01:00,,,,,open at the end,\r\n"
            "K\xC3\xBChl\\x01<b>,input,2026-12-05 10:02:00,,,,,open at the end,\r\n"
            ",link,2026-12-05 10:03:00,,2026-12-05 10:03:20,,20,Comms Connected,\r\n");

  const std::string page = HtmlReport(log, analysis, {"/var/<Logs>", "given", ""});
  EXPECT_NE(page.find("<td>Tank &quot;A&quot;, level</td>"), std::string::npos);
  EXPECT_NE(page.find(">K\xC3\xBChl\\x01&lt;b&gt;</text>"), std::string::npos);
  EXPECT_NE(page.find("/var/&lt;Logs&gt;"), std::string::npos);
  EXPECT_EQ(page.find("\\x01<b>"), std::string::npos);
  for (const char* outside : {"<script", "src=", "href=", "@import", "<link"})
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  for (std::size_t at = page.find("url("); at != std::string::npos; at = page.find("url(", at + 1))
    EXPECT_EQ(page.compare(at, 5, "url(#"), 0) << page.substr(at, 20);  // a pattern in the page itself
  std::size_t links = 0, namespaces = 0;
  for (std::size_t at = page.find("http"); at != std::string::npos; at = page.find("http", at + 1)) ++links;
  for (std::size_t at = page.find("xmlns='http://www.w3.org/2000/svg'"); at != std::string::npos;
       at = page.find("xmlns='http://www.w3.org/2000/svg'", at + 1))
    ++namespaces;
  EXPECT_EQ(links, namespaces);  // the SVG namespace names, fetches nothing

  EXPECT_EQ(DisplayText("\x80\x81\x9F\xA0\xFF\x7F"), "\xE2\x82\xAC\\x81\xC5\xB8\xC2\xA0\xC3\xBF\\x7F");
  EXPECT_EQ(ToLogBytes("K\xC3\xBChl \xE2\x82\xAC"), "K\xFChl \x80");
  EXPECT_EQ(ToLogBytes("\xFF\xFE"), "\xFF\xFE");  // not UTF-8: taken byte for byte
}

// A report made during the period's last day, which has no file yet: the grey band of the
// time not watched ends where the period does (now), also in the chart of ten-minute periods
// that runs on to the end of the last one.
TEST(LogReport, PageGreysTheTimeNotWatchedOnlyUpToThePeriodsEnd) {
  const LogData log = Read({{"261205.csv", Lines({"05/12/2026,08:00:00,Application Started"})}});
  Period period = Days("261205", "261206");
  period.end -= 11 * 3600 + 55 * 60;  // 06/12/2026 12:05
  const std::string page = HtmlReport(log, Analyse(log, period, {}), {"Logs", "given", ""});
  const std::string chart = page.substr(0, page.find("</svg>"));  // the first: ten-minute periods
  std::string bands;
  for (std::size_t at = chart.find("<rect"); at != std::string::npos; at = chart.find("<rect", at + 1)) {
    const std::string rect = chart.substr(at, chart.find("/>", at) + 2 - at);
    if (rect.ends_with("fill='#e4e4e4'/>")) bands += rect + "\n";
  }
  EXPECT_EQ(bands,
            "<rect x='40.0' y='10' width='247.7' height='200' fill='#e4e4e4'/>\n"     // 05/12 00:00 to 08:00
            "<rect x='783.2' y='10' width='374.2' height='200' fill='#e4e4e4'/>\n");  // 06/12 00:00 to 12:05
}

TEST(LogReportOptions, ArgumentsAndTheirErrors) {
  const auto parse = [](const std::vector<std::string_view>& arguments) { return ParseArguments(arguments); };
  const ParsedArguments good =
      parse({"Logs", "--from", "261201", "--to=261207", "--channel", "Door", "--html", "r.html", "--csv=r.csv"});
  ASSERT_TRUE(good.options);
  EXPECT_EQ(good.options->folder, "Logs");
  EXPECT_EQ(FormatDate(*good.options->from), "01/12/2026");
  EXPECT_EQ(FormatDate(*good.options->to), "07/12/2026");
  EXPECT_EQ(good.options->channel, "Door");
  EXPECT_EQ(good.options->html, "r.html");
  EXPECT_EQ(good.options->csv, "r.csv");

  EXPECT_EQ(parse({"--from", "261332"}).error, "--from 261332: not a date as yymmdd (e.g. 261205)");
  EXPECT_EQ(parse({"--to=260229"}).error, "--to 260229: not a date as yymmdd (e.g. 261205)");
  EXPECT_EQ(parse({"--from", "261210", "--to", "261205"}).error,
            "--from 261210 (10/12/2026) is later than --to 261205 (05/12/2026)");
  EXPECT_EQ(parse({"--csv"}).error, "--csv needs a value");
  EXPECT_EQ(parse({"--html="}).error, "--html needs a value");
  EXPECT_EQ(parse({"--since", "261201"}).error, "unknown option --since");
  EXPECT_EQ(parse({"a", "b"}).error, "more than one log folder: a and b");
  EXPECT_TRUE(parse({"--help"}).options->help);

  // The default folder: Logs beside the program first, else where an installed panel keeps it.
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("log-report-" + std::to_string(getpid()));
  std::filesystem::create_directories(root / "bin");
  EXPECT_EQ(DefaultLogFolder((root / "bin").string()).folder, "");
  std::filesystem::create_directories(root / "lib/quellmarinox-simple-panel/Logs");
  EXPECT_EQ(DefaultLogFolder((root / "bin").string()).folder, (root / "lib/quellmarinox-simple-panel/Logs").string());
  EXPECT_EQ(DefaultLogFolder((root / "bin").string()).note, "the installed panel's Logs folder");
  std::filesystem::create_directories(root / "bin/Logs");
  EXPECT_EQ(DefaultLogFolder((root / "bin").string()).folder, (root / "bin/Logs").string());
  EXPECT_EQ(DefaultLogFolder((root / "bin").string()).note, "the Logs folder beside this program");
  std::filesystem::remove_all(root);
}
}  // namespace

namespace {
// A day with twelve alarms at one moment (or one alarm) and then a stop without "Application
// Closed": the flood by the sliding window, and the day's rate over the day with a file.
TEST(LogReport, FloodAtTheEdgeOfAnUnknownStopAndTheRateOverDaysWithFiles) {
  struct Case {
    const char* second;
    int alarms;
    const char* floods;
    const char* daily;
  } const cases[] = {
      {"00", 12, "1 flood", "12.0 on average over 1 day with a file (12 alarms)"},
      {"01", 12, "1 flood", "12.0 on average over 1 day with a file (12 alarms)"},
      {"00", 1, "0 floods", "1.0 on average over 1 day with a file (1 alarm)"},
  };
  for (const Case& c : cases) {
    std::string bytes = "05/12/2026,09:59:00,Application Started\r\n";
    for (int k = 0; k < c.alarms; ++k)
      bytes += "05/12/2026,10:00:" + std::string(c.second) + ",Input " + std::to_string(k) + " Alarm\r\n";
    bytes += "05/12/2026,11:00:00,Application Started\r\n";  // the stop before it wrote nothing
    const LogData log = Read({{"261205.csv", bytes}});
    const Analysis a = Analyse(log, Days("261205", "261205"), {});
    ASSERT_GE(a.verdicts.size(), 3u);
    EXPECT_TRUE(a.verdicts[2].finding.starts_with(c.floods)) << c.second << ": " << a.verdicts[2].finding;
    EXPECT_TRUE(a.verdicts[0].finding.starts_with(c.daily)) << c.second << ": " << a.verdicts[0].finding;
    EXPECT_EQ(a.floods.size(), c.alarms > 10 ? 1u : 0u);
    if (!a.floods.empty()) {
      EXPECT_EQ(a.floods[0].alarms, 12u);
      const std::string csv = CsvReport(log, a);
      EXPECT_EQ(csv.substr(csv.find(",flood,")),
                ",flood,2026-12-05 10:00:" + std::string(c.second) + ",,2026-12-05 10:10:" + c.second + ",,600," +
                    "fewer than 5 in 10 minutes,\"12 alarms, at most 12 in 10 minutes\"\r\n");
    }
  }
}
}  // namespace
