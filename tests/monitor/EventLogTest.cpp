#include "monitor/EventLog.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <sys/mount.h>
#include <sys/resource.h>

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
  // The clock passes midnight right after the first entry reads it: that entry still goes to
  // the file of the day it is dated.
  rig.clock.now = {2026, 12, 5, 23, 59, 59};
  rig.clock.later = {{2026, 12, 6, 0, 0, 0}};
  rig.core.LogEvent(EventCode::DigitalAlarm, 0);
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

  // A failed entry is dropped alone, and the operator is told once, with the file and the
  // reason, however many fail; a written entry ends that, so a new failure is told again.
  const std::string day3 = rig.core.LogDirectory + "/261207.csv";
  rig.sink.fail = true;
  rig.core.LogEvent(EventCode::CommsLostAccept, 0);
  rig.core.LogEvent(EventCode::CommsLostAccept, 0);
  EXPECT_EQ(rig.notifier.notices, Lines{"Events are not being written to " + day3 + ": No space left on device"});
  rig.sink.fail = false;
  rig.core.LogEvent(EventCode::CommsLostReset, 0);
  rig.sink.fail = true;
  rig.core.LogEvent(EventCode::CommsLost, 0);
  EXPECT_EQ(rig.notifier.notices, Lines(2, "Events are not being written to " + day3 + ": No space left on device"));
  EXPECT_EQ(rig.sink.files[day3], "07/12/2026,08:00:00,Comms Lost\r\n07/12/2026,08:00:00,Comms Lost Reset\r\n");
}

namespace {
std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Lowers this process's file size limit while it lives, with SIGXFSZ ignored, so a write
// across the limit comes back short and the next one fails, as on a disk that fills up.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

const std::string Entry = "07/12/2026,02:35:15,Input 10 Alarm\r\n";
const std::string NextEntry = "07/12/2026,02:35:17,Input 10 Alarm\r\n";
}  // namespace

TEST(EventLog, FileSinkAppendsWholeEntriesOrLeavesTheFileAsItWas) {
  TempProgramDirectory dir("qmx-log");
  const std::string path = (dir.path / "261207.csv").string();
  std::ofstream(path, std::ios::binary) << "earlier run\r\n";
  FileLogSink sink;
  {
    // Another program holding the day's file open does not stop the append.
    std::ifstream reader(path, std::ios::binary);
    EXPECT_TRUE(sink.Append(path, "one\r\n").ok);
  }
  const std::string before = "earlier run\r\none\r\n";
  ASSERT_EQ(Contents(path), before);

  // Room for 20 of the entry's 35 bytes: the write comes back short, the piece is taken
  // back, and the next entry starts on a line of its own.
  {
    FileSizeLimit limit(before.size() + 20);
    const AppendResult torn = sink.Append(path, Entry);
    EXPECT_FALSE(torn.ok);
    EXPECT_EQ(torn.error, "File too large");
    EXPECT_EQ(Contents(path), before);
    // A day's file that did not exist is not left behind empty.
    EXPECT_FALSE(sink.Append((dir.path / "261208.csv").string(), std::string(before.size() + 30, 'x')).ok);
    EXPECT_FALSE(fs::exists(dir.path / "261208.csv"));
  }
  EXPECT_TRUE(sink.Append(path, NextEntry).ok);
  EXPECT_EQ(Contents(path), before + NextEntry);

  // The log directory gone: the entry is lost, and the sink says why.
  EXPECT_EQ(sink.Append((dir.path / "gone" / "261207.csv").string(), Entry).error, "No such file or directory");
}

TEST(EventLog, FileSinkOnAFullFileSystemLeavesNoTornLine) {
  TempProgramDirectory dir("qmx-full");
  const fs::path logs = dir.path / "Logs";
  fs::create_directory(logs);
  // Two pages: the day's file ends 20 bytes short of its page's end, a filler takes the other.
  if (::mount("tmpfs", logs.c_str(), "tmpfs", 0, "size=8k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); the size-limit test stands in";
  const std::unique_ptr<const char, void (*)(const char*)> unmount(logs.c_str(),
                                                                   [](const char* at) { ::umount2(at, MNT_DETACH); });
  const fs::path path = logs / "261207.csv";
  const std::string before(4096 - 20, 'e');
  std::ofstream(path, std::ios::binary) << before;
  {
    std::ofstream filler(logs / "filler", std::ios::binary);
    const std::string page(4096, 'f');
    for (int i = 0; i < 4 && filler.write(page.data(), page.size()); ++i) filler.flush();
  }
  // What follows the earlier bytes, which must stay as they were.
  const auto added = [&] {
    const std::string now = Contents(path);
    return now.compare(0, before.size(), before) == 0 ? now.substr(before.size()) : "(earlier bytes changed)";
  };
  FileLogSink sink;
  const AppendResult full = sink.Append(path.string(), Entry);
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.error, "No space left on device");
  EXPECT_EQ(added(), "");

  fs::remove(logs / "filler");
  EXPECT_TRUE(sink.Append(path.string(), NextEntry).ok);
  EXPECT_EQ(added(), NextEntry);
}
