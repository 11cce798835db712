// The command that starts one of our own programs from a test. In a cross build the tests
// and the programs both run through the build's emulator (qemu-aarch64 on amd64), and the
// kernel puts it in front of the test alone: a program the test starts needs it in front too.
// QMX_TARGET_RUNNER is that emulator's command line, words separated by blanks, from the
// build; empty in a native build, where the command is the program alone.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#ifndef QMX_TARGET_RUNNER
#define QMX_TARGET_RUNNER ""
#endif

inline std::vector<std::string> TargetCommand(const std::string& program) {
  std::vector<std::string> command;
  std::istringstream words(QMX_TARGET_RUNNER);
  for (std::string word; words >> word;) command.push_back(word);
  command.push_back(program);
  return command;
}
