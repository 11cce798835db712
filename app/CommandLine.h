// The command line: "-C"/"-c" connects at start, "-F<name>" names a data file as typed,
// "-f<name>" one in the program's directory. Only the second character is examined; a later
// file option replaces an earlier one; anything else is ignored.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t MaxArgumentLength = 511;

struct StartupOptions {
  bool connectAtStart = false;
  std::string startupFileName;
  int ignoredTooLong = 0;  // arguments over 511 characters, ignored whole
};

[[nodiscard]] StartupOptions ReadCommandLine(std::span<const std::string> arguments, std::string_view programDirectory);

// The arguments after the program name, each exactly the bytes the platform handed over.
[[nodiscard]] std::vector<std::string> ArgumentsAfterProgramName(int argc, const char* const* argv);
