// The simulated unit at work: a UDP socket on 127.0.0.1, standard input for the operator,
// a time-stamped trace on standard output and, when asked, a recording of every datagram.
// Two kinds of station share that: the simulator, which plays the unit's part live, and the
// replay, which plays back the unit's side of a recording.
#pragma once

#include "tools/unit_sim_protocol.h"
#include "tools/unit_sim_record.h"

#include <cstdint>
#include <string>
#include <vector>

struct SimOptions {
  std::uint16_t port = 3012;
  std::string name = "KELDRON";
  double every = 5;  // seconds between unsolicited reports, 0 for none
  std::string script;
  std::uint64_t seed = 1;
  std::string record;
  std::string replay;
  double speed = 1;
};

// Each runs until quit, a signal, the end of the replay or a failure; the exit status.
int RunSimulator(const SimOptions& options, std::vector<ScriptStep> script);
int RunReplay(const SimOptions& options, ReplayPlan plan);
