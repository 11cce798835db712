#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace {
using Lines = std::vector<std::string>;
std::string At(const std::string& text) { return "05/12/2026,14:03:27," + text + "\r\n"; }
}  // namespace

TEST(OutputControl, CommandsAndTheirEntriesRestOnTheLastReport) {
  Rig rig;
  PanelCore& core = rig.core;
  // Toggle use, reported on: " Set to Inactive", and again for a second click before a report.
  // The panel is not connected: the command still leaves.
  core.Report.ReportedOutputs[3] = 1;
  core.SendOutputCommand(3);
  core.SendOutputCommand(3);
  // Pulse use, reported off: " Set to Active" for every click.
  core.Configuration.OutputUsePulse[0] = 1;
  core.SendOutputCommand(0);
  core.SendOutputCommand(0);
  // The stored length goes out unaltered: 0, and negative with its sign.
  core.Configuration.OutputUsePulse[15] = 1;
  core.Configuration.OutputPulsePeriod[15] = 0;
  core.SendOutputCommand(15);
  core.Configuration.OutputPulsePeriod[15] = -25;
  core.Report.ReportedOutputs[15] = 1;
  core.SendOutputCommand(15);
  EXPECT_EQ(rig.endpoint.sent, (Lines{"KELDRON,U,T,***1************", "KELDRON,U,T,***1************",
                                      "KELDRON,U,P1000,1***************", "KELDRON,U,P1000,1***************",
                                      "KELDRON,U,P0,***************1", "KELDRON,U,P-25,***************1"}));
  EXPECT_EQ(rig.eventLines(),
            (Lines{At("Output 4 Set to Inactive"), At("Output 4 Set to Inactive"), At("Output 1 Set to Active"),
                   At("Output 1 Set to Active"), At("Output 16 Set to Active"), At("Output 16 Set to Inactive")}));

  // A send that fails shows its error and logs nothing.
  rig.endpoint.failSend = true;
  core.SendOutputCommand(1);
  EXPECT_EQ(rig.prompts.errors, Lines{"Cannot send the command for Output 2: send refused"});
  EXPECT_EQ(rig.eventLines().size(), 6u);
}
