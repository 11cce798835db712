#include "logreport/LogParser.h"
#include "monitor/EventLog.h"
#include "support/ChildProcess.h"
#include "support/Fakes.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// The soak checks every entry's bytes and its day's file on every tick; here, what it does
// not reach: a field without its NUL, a channel outside its array, and a clock that passes
// midnight between two readings.
TEST(EventLog, LinesStayInsideTheirFieldsAndInTheirDay) {
  UnitConfiguration config{};
  SetDefaults(config);
  const LocalTime t{2026, 12, 5, 14, 3, 27};
  EXPECT_EQ(FormatLogLine(EventCode::DigitalAlarm, 2, config, t), "05/12/2026,14:03:27,Input 3 Alarm\r\n");
  // A designator field without a NUL (only a file brings one) reads as all 35 bytes, never past them.
  std::memset(config.OutputDesignator[4], 'W', 35);
  EXPECT_EQ(FormatLogLine(EventCode::OutputSetInactive, 4, config, t),
            "05/12/2026,14:03:27," + std::string(35, 'W') + " Set to Inactive\r\n");
  // A channel outside its array writes no designator rather than reading past it.
  EXPECT_EQ(FormatLogLine(EventCode::AnalogueAlarm, 8, config, t), "05/12/2026,14:03:27, Alarm\r\n");

  // The clock passes midnight right after the first entry reads it: that entry still goes to
  // the file of the day it is dated.
  Rig rig;
  rig.clock.now = {2026, 12, 5, 23, 59, 59};
  rig.clock.later = {{2026, 12, 6, 0, 0, 0}};
  rig.core.LogEvent(EventCode::DigitalAlarm, 0);
  rig.core.LogEvent(EventCode::DigitalAlarmAccept, 0);
  EXPECT_EQ(rig.sink.files[rig.core.LogDirectory + "/261205.csv"],
            "05/12/2026,14:03:27,Application Started\r\n05/12/2026,23:59:59,Input 1 Alarm\r\n");
  EXPECT_EQ(rig.sink.files[rig.core.LogDirectory + "/261206.csv"], "06/12/2026,00:00:00,Input 1 Alarm Accept\r\n");
}

// Every code as the panel logs it, read back by the log report: the kind, the channel's name
// and the time written, across midnight into the next day's file.
TEST(EventLog, TheReportReadsBackEveryEntryThePanelWrites) {
  struct Row {
    EventCode code;
    int channel;
    LogEntryKind kind;
    std::optional<std::string> name;
  };
  const std::string comma = "Tank 2, level Alarm", eightBit = "K\xFChlwasser \x80\x81", longest(34, 'W');
  // clang-format off
  const Row rows[] = {
      {EventCode::DigitalAlarm,        2,  LogEntryKind::Alarm,              comma},
      {EventCode::DigitalAlarmAccept,  2,  LogEntryKind::AlarmAccept,        comma},
      {EventCode::DigitalAlarmReset,   2,  LogEntryKind::AlarmReset,         comma},
      {EventCode::AnalogueAlarm,       7,  LogEntryKind::Alarm,              eightBit},
      {EventCode::AnalogueAlarmAccept, 7,  LogEntryKind::AlarmAccept,        eightBit},
      {EventCode::AnalogueAlarmReset,  7,  LogEntryKind::AlarmReset,         eightBit},
      {EventCode::OutputSetActive,     15, LogEntryKind::SetToActive,        longest},
      {EventCode::OutputSetInactive,   0,  LogEntryKind::SetToInactive,      ""},
      {EventCode::CommsConnected,      0,  LogEntryKind::CommsConnected,     std::nullopt},
      {EventCode::CommsDisconnected,   0,  LogEntryKind::CommsDisconnected,  std::nullopt},
      {EventCode::CommsLost,           0,  LogEntryKind::CommsLost,          std::nullopt},
      {EventCode::CommsLostAccept,     0,  LogEntryKind::CommsLostAccept,    std::nullopt},
      {EventCode::CommsLostReset,      0,  LogEntryKind::CommsLostReset,     std::nullopt},
      {EventCode::ApplicationStarted,  1,  LogEntryKind::ApplicationStarted, std::nullopt},
      {EventCode::ApplicationClosed,   1,  LogEntryKind::ApplicationClosed,  std::nullopt},
  };
  // clang-format on
  Rig rig;  // its start wrote "Application Started" at 05/12/2026 14:03:27
  WriteText(rig.core.Configuration.InputDesignator[2], comma);
  WriteText(rig.core.Configuration.AnalogueDesignator[7], eightBit);
  WriteText(rig.core.Configuration.OutputDesignator[15], longest);
  WriteText(rig.core.Configuration.OutputDesignator[0], "");
  std::vector<LocalTime> times;
  for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
    times.push_back(i < 7 ? LocalTime{2026, 12, 5, 23, 59, 53 + i} : LocalTime{2026, 12, 6, 0, 0, i - 7});
    rig.clock.now = times.back();
    rig.core.LogEvent(rows[i].code, rows[i].channel);
  }

  logreport::LogReader reader;
  for (const auto& [path, bytes] : rig.sink.files) {
    const std::string name = fs::path(path).filename().string();
    reader.AddFile({name, *logreport::FileDayOf(name)}, bytes);
  }
  const logreport::LogData log = reader.Take();
  EXPECT_EQ(log.files.size(), 2u);
  EXPECT_TRUE(log.problems.empty());
  ASSERT_EQ(log.entries.size(), std::size(rows) + 1);
  EXPECT_EQ(log.names, (Lines{comma, eightBit, longest, ""}));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const logreport::Entry& entry = log.entries[i + 1];
    const LocalTime& t = times[i];
    const int ofDay = t.hour * 3600 + t.minute * 60 + t.second;
    EXPECT_EQ(entry.kind, rows[i].kind) << i;
    if (rows[i].name) {
      EXPECT_EQ(log.names[entry.name], *rows[i].name) << i;
    }
    EXPECT_EQ(entry.time, *logreport::DayOf(t.year, t.month, t.day) * logreport::SecondsPerDay + ofDay) << i;
  }
}

namespace {
std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
std::string At(const std::string& text) { return "05/12/2026,14:03:27," + text + "\r\n"; }
std::string Joined(const Lines& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// A panel over the fakes that writes its log for real, in a program folder of the test's.
struct FileRig : FakeServices<FakeEndpoint, SettableClock, FileLogSink> {
  explicit FileRig(const fs::path& folder) : logs(folder / "Logs") {
    core.FormCreate({}, (folder / "quellmarinox-simple-panel").string());
  }
  std::string day(const char* name) const { return (logs / name).string(); }
  // What the operator is told about a day's file that cannot take entries.
  std::string told(const char* name, const char* reason) const {
    return "Events are not being written to " + day(name) + ": " + reason;
  }

  fs::path logs;
  PanelCore core{services(), view};
};
}  // namespace

// The log folder is made at start-up only: gone or replaced while the panel runs, entries are
// dropped (the operator told once) until it is back, and the next failure is told anew.
TEST(LogFolderFaults, GoneReplacedByAFileOrHoldingAFifo) {
  TempProgramDirectory folder("qmx-logs");
  FileRig rig(folder.path);
  const std::string today = rig.day("261205.csv");
  ASSERT_EQ(Contents(today), At("Application Started"));

  fs::remove_all(rig.logs);
  rig.core.LogEvent(EventCode::DigitalAlarm, 0);
  rig.core.LogEvent(EventCode::DigitalAlarmAccept, 0);
  EXPECT_FALSE(fs::exists(rig.logs));
  fs::create_directory(rig.logs);
  rig.core.LogEvent(EventCode::DigitalAlarmReset, 0);
  EXPECT_EQ(Contents(today), At("Input 1 Alarm Reset"));

  fs::remove(today);
  fs::remove(rig.logs);
  std::ofstream(rig.logs) << "not a folder";
  rig.core.LogEvent(EventCode::CommsLost, 0);
  EXPECT_EQ(Contents(rig.logs), "not a folder");
  fs::remove(rig.logs);
  fs::create_directory(rig.logs);
  rig.core.LogEvent(EventCode::CommsLostAccept, 0);
  EXPECT_EQ(Contents(today), At("Comms Lost Accept"));

  // A FIFO in the day's file's place that no program reads: refused at once, not waited on.
  fs::remove(today);
  ASSERT_EQ(::mkfifo(today.c_str(), 0600), 0);
  rig.core.LogEvent(EventCode::CommsLostReset, 0);
  EXPECT_EQ(rig.notifier.notices,
            (Lines{rig.told("261205.csv", "No such file or directory"), rig.told("261205.csv", "Not a directory"),
                   rig.told("261205.csv", "No such device or address")}));
}

// A folder the panel may not write: the day's file there still takes entries, a new day's
// file cannot be made until the folder is writable again. Run as an ordinary user.
TEST(LogFolderFaults, ReadOnly) {
  TempProgramDirectory folder("qmx-logs");
  const fs::path logs = folder.path / "Logs";
  fs::create_directory(logs);
  std::ofstream(logs / "261205.csv", std::ios::binary) << "earlier run\r\n";
  ::chmod((logs / "261205.csv").c_str(), 0666);
  ::chmod(logs.c_str(), 0555);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(logs.c_str(), 65534, 65534), 0);
  }
  const ChildOutcome run = InChild(DropPrivileges, [&] {
    FileRig rig(folder.path);
    rig.clock.now.day = 6;
    rig.core.LogEvent(EventCode::CommsLost, 0);
    rig.core.LogEvent(EventCode::CommsLost, 0);
    const bool made = fs::exists(logs / "261206.csv");
    ::chmod(logs.c_str(), 0755);
    rig.core.LogEvent(EventCode::CommsLostAccept, 0);
    return Joined(rig.notifier.notices) + (made ? "made\n" : "") + Contents(logs / "261205.csv") + "|" +
           Contents(logs / "261206.csv");
  });
  ::chmod(logs.c_str(), 0755);
  if (run.skipped) GTEST_SKIP() << run.text;
  EXPECT_EQ(run.text, "Events are not being written to " + (logs / "261206.csv").string() +
                          ": Permission denied\nearlier run\r\n" + At("Application Started") + "|" +
                          "06/12/2026,14:03:27,Comms Lost Accept\r\n");
}

// A full disk as the file size limit makes one: the write comes back short, the piece is taken
// back, so the entry is dropped whole and the next one starts on a line of its own.
TEST(LogFolderFaults, ShortWritesLeaveNoTornLine) {
  TempProgramDirectory folder("qmx-logs");
  FileRig rig(folder.path);
  const std::string today = rig.day("261205.csv"), tomorrow = rig.day("261206.csv");
  {
    // Another program holding the day's file open does not stop the append.
    std::ifstream reader(today, std::ios::binary);
    rig.core.LogEvent(EventCode::DigitalAlarm, 9);
  }
  const std::string before = At("Application Started") + At("Input 10 Alarm");
  ASSERT_EQ(Contents(today), before);
  {
    FileSizeLimit limit(before.size() + 20);  // room for 20 bytes of the next entry
    rig.core.LogEvent(EventCode::DigitalAlarmAccept, 9);
  }
  {
    // A new day's file that cannot take its first entry is not left behind empty.
    FileSizeLimit limit(10);
    rig.clock.now.day = 6;
    rig.core.LogEvent(EventCode::DigitalAlarmReset, 9);
    EXPECT_FALSE(fs::exists(tomorrow));
  }
  rig.core.LogEvent(EventCode::DigitalAlarm, 9);
  EXPECT_EQ(Contents(today), before);
  EXPECT_EQ(Contents(tomorrow), "06/12/2026,14:03:27,Input 10 Alarm\r\n");
  EXPECT_EQ(rig.notifier.notices, Lines{rig.told("261205.csv", "File too large")});
}

// A log folder on a file system that fills up: the day's file ends 20 bytes before the end of
// its page and a filler takes the other page of an 8 KiB tmpfs.
TEST(LogFolderFaults, FullFileSystem) {
  TempProgramDirectory folder("qmx-logs");
  const fs::path logs = folder.path / "Logs";
  fs::create_directory(logs);
  const ChildOutcome run =
      InChild([&] { return MountSmallFileSystem(logs.string()); },
              [&] {
                const std::string before(4096 - 20, 'e');
                std::ofstream(logs / "261205.csv", std::ios::binary) << before;
                {
                  std::ofstream filler(logs / "filler", std::ios::binary);
                  const std::string page(4096, 'f');
                  for (int i = 0; i < 4 && filler.write(page.data(), static_cast<std::streamsize>(page.size())); ++i)
                    filler.flush();
                }
                FileRig rig(folder.path);
                rig.core.LogEvent(EventCode::CommsLost, 0);
                const std::string full = Contents(logs / "261205.csv");
                fs::remove(logs / "filler");
                rig.core.LogEvent(EventCode::CommsLostAccept, 0);
                const std::string after = Contents(logs / "261205.csv");
                return Joined(rig.notifier.notices) + (full == before ? "unchanged|" : "changed|") +
                       (after.starts_with(before) ? after.substr(before.size()) : "earlier bytes changed");
              });
  if (run.skipped) GTEST_SKIP() << run.text;
  EXPECT_EQ(run.text, "Events are not being written to " + (logs / "261205.csv").string() +
                          ": No space left on device\nunchanged|" + At("Comms Lost Accept"));
}
