// The command line as the program entry reads it: the input, split at NUL bytes, is argv
// (empty input: no argv at all); a piece that is one byte from 1 to 31 stands for a toolkit
// option of the table below, so -style, -platform, -reverse and the like come mixed in. The
// toolkit is given only the program's name, so every argument must be read exactly as a
// reference reading of the grammar, written here, reads it.
#include "app/CommandLine.h"
#include "config/ProgramPath.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "command line: %s\n", what);
  std::abort();
}

const char* const ToolkitOptions[] = {"-style",
                                      "fusion",
                                      "-style=windows",
                                      "-stylesheet",
                                      "panel.qss",
                                      "-platform",
                                      "offscreen",
                                      "-platformpluginpath",
                                      "-platformtheme",
                                      "-plugin",
                                      "-qwindowgeometry",
                                      "640x480+0+0",
                                      "-qwindowicon",
                                      "-qwindowtitle",
                                      "Panel",
                                      "-reverse",
                                      "-session",
                                      "-widgetcount",
                                      "-display",
                                      ":0",
                                      "-geometry",
                                      "-font",
                                      "-fn",
                                      "-cmap",
                                      "-nograb",
                                      "-dograb",
                                      "-sync",
                                      "-title",
                                      "-name",
                                      "-visual",
                                      "-qmljsdebugger=port:3768"};
static_assert(std::size(ToolkitOptions) == 31);

// Each argument alone, by its first two characters: -C/-c connect, -F the rest as typed, -f
// the rest in the program's folder, anything else nothing. Over 511 characters: ignored whole.
StartupOptions Grammar(const std::vector<std::string>& arguments, const std::string& folder) {
  StartupOptions read;
  for (const std::string& argument : arguments) {
    const std::string_view option = std::string_view(argument).substr(0, 2);
    if (argument.size() > 511) {
      ++read.ignoredTooLong;
    } else if (option == "-C" || option == "-c") {
      read.connectAtStart = true;
    } else if (option == "-F") {
      read.startupFileName = argument.substr(2);
    } else if (option == "-f") {
      read.startupFileName = folder + "/" + argument.substr(2);
    }
  }
  return read;
}

std::string FolderOfThisProgram() {
  const std::string self = ProgramFilePath("");
  Check(!self.empty() && self[0] == '/', "the program's own path");
  return self.substr(0, self.rfind('/'));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces;
  if (size > 0) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0;;) {
      const std::size_t end = std::min(input.find('\0', start), input.size());
      std::string piece(input.substr(start, end - start));
      if (piece.size() == 1 && piece[0] >= 1 && piece[0] <= 31) piece = ToolkitOptions[piece[0] - 1];
      pieces.push_back(std::move(piece));
      if (end == input.size()) break;
      start = end + 1;
    }
  }
  std::vector<const char*> argv;
  argv.reserve(pieces.size() + 1);
  for (const std::string& piece : pieces) argv.push_back(piece.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(pieces.size());

  // As main and the start-up sequence do it.
  const std::string invokedAs = argc > 0 ? argv[0] : "quellmarinox-simple-panel";
  const std::vector<std::string> arguments = ArgumentsAfterProgramName(argc, argv.data());
  const std::string folder = ProgramDirectoryOf(ProgramFilePath(invokedAs));
  const StartupOptions options = ReadCommandLine(arguments, folder);

  static const std::string expectedFolder = FolderOfThisProgram();
  Check(folder == expectedFolder, "the program's folder");
  Check(arguments == std::vector<std::string>(pieces.begin() + (pieces.empty() ? 0 : 1), pieces.end()),
        "every argument after the program name, byte for byte");
  const StartupOptions expected = Grammar(arguments, expectedFolder);
  Check(options.connectAtStart == expected.connectAtStart, "connect at start");
  Check(options.startupFileName == expected.startupFileName, "the start-up file name");
  Check(options.ignoredTooLong == expected.ignoredTooLong, "arguments ignored as too long");

  // Where the program's path is unknown, the one it was started by gives an absolute folder,
  // without a trailing separator; a plain absolute path simply loses its last component.
  const std::string fallback = ProgramDirectoryOf(invokedAs);
  Check(fallback.empty() || (fallback[0] == '/' && fallback.back() != '/'), "the fallback folder");
  Check(fallback.find("//") == std::string::npos, "the fallback folder");
  const bool plain = invokedAs.starts_with('/') && invokedAs.find("//") == std::string::npos &&
                     invokedAs.find("/.") == std::string::npos;
  if (plain) Check(fallback == invokedAs.substr(0, invokedAs.rfind('/')), "a plain path's folder");
  return 0;
}
