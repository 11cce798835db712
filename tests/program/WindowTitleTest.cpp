// The window titles as a window manager reads them (_NET_WM_NAME), from the real program on
// a private X server started here. Clicks land only on Edit and Finish, with 127.0.0.1 in force.
#include "app/PanelCore.h"
#include "program/PanelProcess.h"
#include "support/WindowPoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include <poll.h>

using namespace panel_process;
using Events = std::vector<std::string>;

namespace {

struct XWindow {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};

class WindowTitles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xprop", "/usr/bin/xwininfo", "/usr/bin/xdotool"})
      if (::access(tool, X_OK) != 0) {
        missing_ = std::string(tool) + " is missing (Debian packages xvfb, x11-utils, xdotool)";
        return;
      }
    int fds[2];
    if (::pipe(fds) != 0) return;
    // -displayfd: the server takes the first free display number and writes it to us.
    // -noreset: the second panel must not meet a server that is resetting itself because the
    // first one, its last client, has just gone (it cannot connect then).
    server_ = Spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-noreset", "-screen", "0", "1280x800x24",
                     "-nolisten", "tcp"},
                    {});
    ::close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&ready, 1, 60000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) {
      missing_ = "Xvfb did not start";
      return;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  static void TearDownTestSuite() {
    // cppcheck-suppress knownConditionTrueFalse ; SetUpTestSuite sets it
    if (server_ > 0) {
      ::kill(server_, SIGTERM);
      if (!panel_process::WaitForExit(server_)) ::kill(server_, SIGKILL), ::waitpid(server_, nullptr, 0);
    }
    ::unsetenv("DISPLAY");
  }
  void SetUp() override {
    if (!missing_.empty()) GTEST_SKIP() << "no X server for the window-title test: " << missing_;
  }

  // The panel's viewable top-level windows, found by their class.
  static std::vector<XWindow> PanelWindows() {
    std::vector<XWindow> windows;
    std::istringstream tree(Capture({"xwininfo", "-root", "-children"}).value_or(""));
    const std::string panelClass = R"(("quellmarinox-simple-panel" "quellmarinox-simple-panel"))";
    for (std::string line; std::getline(tree, line);) {
      const std::size_t at = line.find(panelClass);
      if (at == std::string::npos) continue;
      XWindow w;
      std::istringstream(line) >> w.id;
      if (std::sscanf(line.c_str() + at + panelClass.size(), " %dx%d+%d+%d", &w.width, &w.height, &w.x, &w.y) != 4)
        continue;
      if (Capture({"xwininfo", "-id", w.id}).value_or("").find("IsViewable") != std::string::npos) windows.push_back(w);
    }
    return windows;
  }
  // A window of the panel's that is not among `known`; nothing if the panel ends first.
  static std::optional<XWindow> WaitForWindowBesides(PanelProcess& panel, const std::set<std::string>& known) {
    const auto deadline = SteadyClock::now() + Patience;
    while (SteadyClock::now() < deadline && !panel.Ended()) {
      for (const XWindow& w : PanelWindows())
        if (!known.contains(w.id)) return w;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
  }
  static std::string Title(const XWindow& w) {
    const std::string text = Capture({"xprop", "-id", w.id, "_NET_WM_NAME"}).value_or("");
    const std::size_t open = text.find(" = \"");
    const std::size_t close = text.rfind('"');
    return open == std::string::npos || close <= open + 3 ? "no title: " + text
                                                          : text.substr(open + 4, close - open - 4);
  }
  static void Click(int x, int y) {
    ASSERT_TRUE(Capture({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}));
  }

  static inline pid_t server_ = -1;
  static inline std::string missing_;
};

}  // namespace

TEST_F(WindowTitles, MainWindowEditorSaveQuestionAndErrorBox) {
  {
    TempProgramDirectory folder("qmx-titles");
    // Port 65535 is beyond the editor's limit, so Finish always finds a change and asks.
    UnitConfiguration config{};
    SetDefaults(config);
    WriteText(config.IPAddress, "127.0.0.1");
    config.Port = 65535;
    ASSERT_TRUE(WriteDataFile((folder.path / "unit.dat").string(), config).ok);
    PanelProcess panel(folder.path, {"-qwindowtitle", "X", "-reverse", "-F" + (folder.path / "unit.dat").string()},
                       "xcb");

    const auto main = WaitForWindowBesides(panel, {});
    ASSERT_TRUE(main);
    ASSERT_EQ(main->width, 899);
    EXPECT_EQ(Title(*main), MainWindowTitle());  // its text: tests/app/StartupTest.cpp

    const std::vector<WindowPoint> points = ReadWindowPoints();
    const auto edit = std::ranges::find(points, "EditButton", &WindowPoint::name);
    ASSERT_NE(edit, points.end()) << QMX_WINDOW_POINTS;
    Click(main->x + edit->x, main->y + edit->y);
    const auto editor = WaitForWindowBesides(panel, {main->id});
    ASSERT_TRUE(editor);
    EXPECT_EQ(Title(*editor), "EditForm");

    Click(editor->x + editor->width / 2, editor->y + editor->height - 35);  // Finish, the middle of three
    const auto question = WaitForWindowBesides(panel, {main->id, editor->id});
    ASSERT_TRUE(question);
    // The question's own title is empty; the X platform never leaves a title empty and shows
    // the application's name instead: the name the program was started by.
    EXPECT_EQ(Title(*question), "quellmarinox-simple-panel");

    panel.Signal(SIGTERM);  // with the question open: it ends unanswered, the panel closes
    EXPECT_EQ(panel.WaitForExit(), 0);
    EXPECT_EQ(panel.Events(), (Events{"Application Started", "Application Closed"}));
  }
  {  // The reader's error box at start-up carries the main window's title.
    TempProgramDirectory folder("qmx-titles");
    PanelProcess panel(folder.path, {"-F" + (folder.path / "missing.dat").string()}, "xcb");
    const auto box = WaitForWindowBesides(panel, {});
    ASSERT_TRUE(box);
    EXPECT_EQ(Title(*box), MainWindowTitle());
    panel.Signal(SIGTERM);
    EXPECT_EQ(panel.WaitForExit(), 0);
  }
}
