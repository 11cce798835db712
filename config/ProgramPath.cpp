#include "config/ProgramPath.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string ProgramFilePath(std::string_view invokedAs) {
  std::error_code failed;
  const fs::path program = fs::read_symlink("/proc/self/exe", failed);
  if (!failed && program.is_absolute()) return program.native();
  return std::string(invokedAs);
}

std::string ProgramDirectoryOf(std::string_view programFile) {
  fs::path directory = fs::path(programFile).parent_path();
  if (directory.is_relative()) {
    std::error_code failed;
    const fs::path here = fs::current_path(failed);
    // Without a current directory, a relative folder: files then fail to open, nothing lands at the root.
    directory = failed ? "." / directory : here / directory;
  }
  std::string text = directory.lexically_normal().native();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  if (text == "/") text.clear();  // no trailing separator, even at the root
  return text;
}
