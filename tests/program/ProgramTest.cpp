// The shipped program run for real: started in a private folder, closed by signals, given
// toolkit options, run from a folder whose name is not UTF-8. Every data file here holds
// 127.0.0.1, and no test passes -c.
#include "program/PanelProcess.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

using namespace panel_process;
using Events = std::vector<std::string>;

namespace {

// A data file at 127.0.0.1, written into `folder`; `change` adjusts the defaults first.
std::string WriteUnitFile(const fs::path& folder, const std::string& name, void (*change)(UnitConfiguration&)) {
  UnitConfiguration config{};
  SetDefaults(config);
  WriteText(config.IPAddress, "127.0.0.1");
  change(config);
  std::string path = (folder / name).string();
  EXPECT_TRUE(WriteDataFile(path, config).ok);
  return path;
}
void LoggingOff(UnitConfiguration& config) { config.EnableLogging = 0; }

}  // namespace

TEST(Program, SignalsCloseThePanelAsTheExitButtonDoes) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempProgramDirectory folder("qmx-signal");
    PanelProcess panel(folder.path, {});
    ASSERT_TRUE(panel.WaitForEvent("Application Started"));
    panel.Signal(signal);
    EXPECT_EQ(panel.WaitForExit(), 0);
    EXPECT_EQ(panel.Events(), (Events{"Application Started", "Application Closed"}));
  }

  // During start-up, while the reader's error box waits for its OK: the box goes, and the
  // panel closes as soon as its window exists.
  TempProgramDirectory folder("qmx-signal");
  PanelProcess panel(folder.path, {"-F" + (folder.path / "missing.dat").string()});
  ASSERT_TRUE(panel.WaitForEvent("Application Started"));
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.WaitForExit(), 0);
  EXPECT_EQ(panel.Events(), (Events{"Application Started", "Application Closed"}));
}

// Where standard error goes never ends or stops the panel. Each run starts with a notice on
// standard error (an argument too long to read). A pipe whose reader has gone would end the
// panel with SIGPIPE at that notice; a closed descriptor 2 would be taken by the next file
// or socket opened (the X connection, say), and the notice written into it.
TEST(Program, StandardErrorClosedOrItsReaderGoneNeverEndsThePanel) {
  const std::string tooLong = "-" + std::string(600, 'x');
  for (const bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "standard error closed" : "standard error a pipe without a reader");
    TempProgramDirectory folder("qmx-stderr");
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[0]);
    PanelProcess panel(folder.path, {tooLong}, "offscreen", {}, closed ? ClosedDescriptor : pipe[1]);
    ::close(pipe[1]);
    ASSERT_TRUE(panel.WaitForEvent("Application Started"));
    if (closed) {
      const fs::path errors = "/proc/" + std::to_string(panel.Pid()) + "/fd/2";
      EXPECT_EQ(fs::read_symlink(errors), "/dev/null");
    }
    panel.Signal(SIGTERM);
    EXPECT_EQ(panel.WaitForExit(), 0);
    EXPECT_EQ(panel.Events(), (Events{"Application Started", "Application Closed"}));
  }
}

TEST(Program, ToolkitOptionsAreOrdinaryArguments) {
  {  // "-style" does not swallow the file argument: the file loads, and its logging is off.
    TempProgramDirectory folder("qmx-style");
    const std::string file = WriteUnitFile(folder.path, "unit.dat", LoggingOff);
    PanelProcess panel(folder.path, {"-style", "-F" + file});
    ASSERT_TRUE(panel.WaitForEvent("Application Started"));
    panel.Signal(SIGTERM);
    EXPECT_EQ(panel.WaitForExit(), 0);
    EXPECT_EQ(panel.Events(), Events{"Application Started"});
  }
  {  // "-platform bogus" is ignored: the platform comes from the environment only.
    TempProgramDirectory folder("qmx-platform");
    PanelProcess panel(folder.path, {"-platform", "bogus", "-reverse", "-qwindowtitle", "X"});
    ASSERT_TRUE(panel.WaitForEvent("Application Started"));
    panel.Signal(SIGTERM);
    EXPECT_EQ(panel.WaitForExit(), 0);
    EXPECT_EQ(panel.Events(), (Events{"Application Started", "Application Closed"}));
  }
}

TEST(Program, AFileSizeLimitFailsTheEntryInsteadOfEndingThePanel) {
  TempProgramDirectory folder("qmx-fsize");
  PanelProcess panel(folder.path, {});
  ASSERT_TRUE(panel.WaitForEvent("Application Started"));
  const rlimit limit{1, 1};  // every further write to the log goes past the limit
  ASSERT_EQ(::prlimit(panel.Pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.WaitForExit(), 0);
  EXPECT_EQ(panel.Events(), Events{"Application Started"});  // the close entry dropped whole
}

TEST(Program, FolderWhoseNameIsNotUtf8) {
  TempProgramDirectory folder("qmx-\xFF");
  WriteUnitFile(folder.path, "unit.dat", LoggingOff);
  PanelProcess panel(folder.path, {"-funit.dat"});
  // The log lands in the program's own folder, and -f finds the file beside the program.
  ASSERT_TRUE(panel.WaitForEvent("Application Started"));
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.WaitForExit(), 0);
  EXPECT_EQ(panel.Events(), Events{"Application Started"});  // logging off: the file was loaded
}
