#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The grammar itself, argument by argument and with toolkit options mixed in: fuzz_command_line.
TEST(Startup, RunsTheSequenceWithTheDefaults) {
  Rig rig({"F", "/C", "-x"});
  // The title's one spelling-out in the tests; the version in it is the project's (CMakeLists.txt).
  EXPECT_EQ(rig.view.title, "KELDRON Quellmarinox Simple Panel Vesion: 1.00");
  EXPECT_EQ(rig.core.ProgramDirectory, rig.directory.string());
  EXPECT_EQ(rig.core.LogDirectory, rig.directory.string() + "/Logs");
  EXPECT_TRUE(fs::is_directory(rig.core.LogDirectory));
  EXPECT_EQ(rig.logLines(), Lines{"05/12/2026,14:03:27,Application Started\r\n"});
  EXPECT_EQ(rig.view.inputLabels[15], "Input 16");
  EXPECT_EQ(rig.view.outputCaptions[0], "Output 1");
  EXPECT_EQ(rig.view.analogueLabels[7], "Analogue 8");
  EXPECT_EQ(rig.endpoint.port(), 3012);
  EXPECT_FALSE(rig.endpoint.IsOpen());  // not connected: nothing is sent
  EXPECT_TRUE(rig.endpoint.sent.empty());
  EXPECT_FALSE(rig.view.helpVisible);  // no help engine on this platform
  EXPECT_EQ(rig.core.HelpFilePath, rig.directory.string() + "/quellmarinox-simple-panel.chm");
  EXPECT_TRUE(rig.prompts.errors.empty());

  // Closing while connected writes "Application Closed" alone.
  rig.core.ConnectButtonClick();
  rig.core.FormClose();
  EXPECT_EQ(rig.logLines().back(), "05/12/2026,14:03:27,Application Closed\r\n");
  EXPECT_EQ(rig.logLines().size(), 2u);
  EXPECT_TRUE(rig.endpoint.IsOpen());  // the link is not closed first
}

namespace {
// A start-up file in a fresh program directory, with a loopback address.
struct StartupFile {
  StartupFile() : dir(fs::temp_directory_path() / ("qmx-start-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    SetDefaults(config);
    WriteText(config.IPAddress, "127.0.0.1");
    config.Port = 4000;
    WriteText(config.OutputDesignator[1], "Siren");
  }
  ~StartupFile() { fs::remove_all(dir); }
  std::string save(const std::string& name) const {
    std::string path = (dir / name).string();
    EXPECT_TRUE(WriteDataFile(path, config).ok);
    return path;
  }
  fs::path dir;
  UnitConfiguration config{};
};
}  // namespace

TEST(Startup, ProgramDirectoryIsAbsoluteWithoutTrailingSeparator) {
  // A bare name, or no program path at all: the current directory, never the root.
  for (const char* program : {"quellmarinox-simple-panel", ""}) {
    SCOPED_TRACE(program);
    FakeServices<> fakes;
    PanelCore core(fakes.services(), fakes.view);
    TempProgramDirectory here("qmx-cwd");
    const fs::path previous = fs::current_path();
    fs::current_path(here.path);
    core.FormCreate({}, program);
    fs::current_path(previous);
    EXPECT_EQ(core.ProgramDirectory, here.path.string());
    EXPECT_EQ(core.LogDirectory, here.path.string() + "/Logs");
    EXPECT_TRUE(fs::is_directory(here.path / "Logs"));
  }
}

TEST(Startup, LoadsTheFileBeforeConnectingWhateverTheOrder) {
  StartupFile file;
  const std::string path = file.save("data.dat");
  for (const auto& args : {std::vector<std::string>{"-C", "-F" + path}, std::vector<std::string>{"-F" + path, "-c"}}) {
    Rig rig(args);
    EXPECT_TRUE(rig.endpoint.IsOpen());
    EXPECT_EQ(rig.endpoint.hostAtOpen, "127.0.0.1");
    EXPECT_EQ(rig.endpoint.port(), 4000);
    EXPECT_EQ(rig.view.outputCaptions[1], "Siren");
    EXPECT_EQ(rig.view.connectCaption, "Disconnect");
  }
}

TEST(Startup, FileOptionsAndTheirFailures) {
  StartupFile file;
  file.config.EnableLogging = 0;
  file.save("a.dat");
  file.config.EnableLogging = 1;
  WriteText(file.config.OutputDesignator[1], "Horn");
  const std::string b = file.save("b.dat");

  {  // Only the last file named is loaded.
    Rig rig({"-F" + (file.dir / "a.dat").string(), "-F" + b});
    EXPECT_EQ(rig.view.outputCaptions[1], "Horn");
  }
  {  // A lone -F: nothing loaded, nothing shown.
    Rig rig({"-F"});
    EXPECT_TRUE(rig.prompts.errors.empty());
    EXPECT_EQ(rig.view.outputCaptions[1], "Output 2");
  }
  {  // A missing file: its message, the defaults kept, start-up goes on.
    Rig rig({"-F" + (file.dir / "none.dat").string()});
    EXPECT_EQ(rig.prompts.errors, std::vector<std::string>{"Error Opening File."});
    EXPECT_EQ(rig.view.outputCaptions[1], "Output 2");
    EXPECT_EQ(rig.core.Configuration.Port, 3012);
  }
  {  // Logging off in the file: the start entry was written before the load, the close entry is not.
    Rig rig({"-F" + (file.dir / "a.dat").string()});
    rig.core.FormClose();
    EXPECT_EQ(rig.logLines(), Lines{"05/12/2026,14:03:27,Application Started\r\n"});
  }
}

TEST(Startup, LogDirectoryIsMadeWhenMissingAndLeftAloneOtherwise) {
  const fs::path dir = fs::temp_directory_path() / ("qmx-logs-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Logs");
  std::ofstream(dir / "Logs" / "keep.csv") << "x";
  FakeServices<FakeEndpoint, SettableClock, FileLogSink> fakes;
  PanelCore core(fakes.services(), fakes.view);
  core.FormCreate({}, (dir / "quellmarinox-simple-panel").string());
  EXPECT_TRUE(fs::exists(dir / "Logs" / "keep.csv"));
  EXPECT_EQ(fs::file_size(dir / "Logs" / "261205.csv"), 41u);  // "Application Started" and CR LF
  // Help file present but no engine: the button is hidden all the same.
  std::ofstream(dir / "quellmarinox-simple-panel.chm") << "help";
  fs::remove_all(dir / "Logs");
  PanelCore again(fakes.services(), fakes.view);
  fakes.view.helpVisible = true;
  again.FormCreate({}, (dir / "quellmarinox-simple-panel").string());
  EXPECT_TRUE(fs::is_directory(dir / "Logs"));
  EXPECT_FALSE(fakes.view.helpVisible);
  fs::remove_all(dir);
}
