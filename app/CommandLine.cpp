#include "app/CommandLine.h"

StartupOptions ReadCommandLine(std::span<const std::string> arguments, std::string_view programDirectory) {
  StartupOptions options;
  for (const std::string& argument : arguments) {
    // Longer arguments do not fit the 511-character buffer the grammar is defined for: ignored
    // whole rather than cut, so a truncated file name can never load some other file.
    if (argument.size() > MaxArgumentLength) {
      ++options.ignoredTooLong;
      continue;
    }
    if (argument.size() < 2 || argument[0] != '-') continue;
    switch (argument[1]) {
      case 'C':
      case 'c': options.connectAtStart = true; break;
      case 'F': options.startupFileName = argument.substr(2); break;
      case 'f': options.startupFileName = std::string(programDirectory) + "/" + argument.substr(2); break;
      default: break;
    }
  }
  return options;
}

std::vector<std::string> ArgumentsAfterProgramName(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc && argv[i]; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}
