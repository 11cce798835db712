#include "monitor/EventLog.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

TEST(EventLog, LinesAreExactBytes) {
  UnitConfiguration config{};
  SetDefaults(config);
  const LocalTime t{2026, 12, 5, 14, 3, 27};
  EXPECT_EQ(FormatLogLine(EventCode::DigitalAlarm, 2, config, t), "05/12/2026,14:03:27,Input 3 Alarm\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::DigitalAlarm, 2, config, t).size(), 35u);
  EXPECT_EQ(FormatLogLine(EventCode::ApplicationStarted, 1, config, t), "05/12/2026,14:03:27,Application Started\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::OutputSetActive, 1, config, t), "05/12/2026,14:03:27,Output 2 Set to Active\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::OutputSetInactive, 15, config, t),
            "05/12/2026,14:03:27,Output 16 Set to Inactive\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::AnalogueAlarmAccept, 7, config, t),
            "05/12/2026,14:03:27,Analogue 8 Alarm Accept\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::CommsLostReset, 0, config, t), "05/12/2026,14:03:27,Comms Lost Reset\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::ApplicationClosed, 1, {}, {2009, 1, 2, 3, 4, 5}),
            "02/01/2009,03:04:05,Application Closed\r\n");

  // Designators go in as stored: empty, with a comma, the same text on two kinds of input.
  WriteText(config.InputDesignator[0], "");
  EXPECT_EQ(FormatLogLine(EventCode::DigitalAlarm, 0, config, t), "05/12/2026,14:03:27, Alarm\r\n");
  WriteText(config.InputDesignator[1], "Tank, north");
  WriteText(config.AnalogueDesignator[1], "Tank, north");
  EXPECT_EQ(FormatLogLine(EventCode::DigitalAlarmReset, 1, config, t),
            "05/12/2026,14:03:27,Tank, north Alarm Reset\r\n");
  EXPECT_EQ(FormatLogLine(EventCode::AnalogueAlarmReset, 1, config, t),
            FormatLogLine(EventCode::DigitalAlarmReset, 1, config, t));
  // A designator field without a NUL (only a file brings one) reads as all 35 bytes, never past them.
  std::memset(config.OutputDesignator[4], 'W', 35);
  EXPECT_EQ(FormatLogLine(EventCode::OutputSetInactive, 4, config, t).size(), 20u + 35u + 18u);
  // A channel outside its array writes no designator rather than reading past it.
  EXPECT_EQ(FormatLogLine(EventCode::AnalogueAlarm, 8, config, t), "05/12/2026,14:03:27, Alarm\r\n");

  EXPECT_EQ(LogFileName(t), "261205.csv");
  EXPECT_EQ(LogFileName({2031, 1, 9, 0, 0, 0}), "310109.csv");
}

TEST(EventLog, EntriesGoToTheDayOfTheirWritingAndLoggingOffTouchesNothing) {
  Rig rig;
  const std::string day1 = rig.core.LogDirectory + "/261205.csv";
  const std::string day2 = rig.core.LogDirectory + "/261206.csv";
  rig.clock.now = {2026, 12, 5, 23, 59, 59};
  rig.core.LogEvent(EventCode::DigitalAlarm, 0);
  rig.clock.now = {2026, 12, 6, 0, 0, 0};
  rig.core.LogEvent(EventCode::DigitalAlarmAccept, 0);
  EXPECT_EQ(rig.sink.files[day1], "05/12/2026,14:03:27,Application Started\r\n05/12/2026,23:59:59,Input 1 Alarm\r\n");
  EXPECT_EQ(rig.sink.files[day2], "06/12/2026,00:00:00,Input 1 Alarm Accept\r\n");

  // Off: no clock reading matters, no file is created or touched.
  const int attempts = rig.sink.attempts;
  rig.core.Configuration.EnableLogging = 0;
  rig.clock.now = {2026, 12, 7, 8, 0, 0};
  rig.core.LogEvent(EventCode::CommsLost, 1);
  EXPECT_EQ(rig.sink.attempts, attempts);
  EXPECT_EQ(rig.sink.files.count(rig.core.LogDirectory + "/261207.csv"), 0u);
  // Any non-zero flag byte counts as on.
  rig.core.Configuration.EnableLogging = 2;
  rig.core.LogEvent(EventCode::CommsLost, 1);
  EXPECT_EQ(rig.sink.files[rig.core.LogDirectory + "/261207.csv"], "07/12/2026,08:00:00,Comms Lost\r\n");

  // A failed entry is dropped alone; the next one is written.
  rig.sink.fail = true;
  rig.core.LogEvent(EventCode::CommsLostAccept, 0);
  rig.sink.fail = false;
  rig.core.LogEvent(EventCode::CommsLostReset, 0);
  EXPECT_EQ(rig.sink.files[rig.core.LogDirectory + "/261207.csv"],
            "07/12/2026,08:00:00,Comms Lost\r\n07/12/2026,08:00:00,Comms Lost Reset\r\n");
}

TEST(EventLog, FileSinkAppendsAndNeverTruncates) {
  const fs::path dir = fs::temp_directory_path() / ("qmx-log-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "261205.csv").string();
  std::ofstream(path, std::ios::binary) << "earlier run\r\n";
  {
    // Another program holding the day's file open does not stop the append.
    std::ifstream reader(path, std::ios::binary);
    FileLogSink sink;
    EXPECT_TRUE(sink.Append(path, "one\r\n"));
    EXPECT_TRUE(sink.Append(path, "two\r\n"));
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            "earlier run\r\none\r\ntwo\r\n");
  // The log directory gone: the entry is lost, quietly.
  FileLogSink sink;
  EXPECT_FALSE(sink.Append((dir / "gone" / "261205.csv").string(), "lost\r\n"));
  fs::remove_all(dir);
}
