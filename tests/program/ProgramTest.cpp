// The shipped program run for real: started in a private folder and closed by signals.
// No test passes -c.
#include "program/PanelProcess.h"

#include <gtest/gtest.h>

using namespace panel_process;
using Events = std::vector<std::string>;

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
