#include "logreport/LogFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace logreport {

Result ListLogFiles(const std::string& folder, std::vector<LogFile>& files) {
  files.clear();
  std::error_code failure;
  std::filesystem::directory_iterator it(folder, failure);
  if (failure) return Result::Failure(folder + ": " + failure.message());
  for (; it != std::filesystem::directory_iterator(); it.increment(failure)) {
    if (failure) return Result::Failure(folder + ": " + failure.message());
    const std::string name = it->path().filename().string();
    const std::optional<Day> day = FileDayOf(name);
    if (!day) continue;
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    files.push_back({name, *day});
  }
  std::sort(files.begin(), files.end(),
            [](const LogFile& a, const LogFile& b) { return a.day != b.day ? a.day < b.day : a.name < b.name; });
  return Result::Success();
}

Result ReadWholeFile(const std::string& path, std::string& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Result::Failure(path + ": " + std::strerror(errno));
  struct stat info = {};
  if (::fstat(fd, &info) != 0) {
    Result failed = Result::Failure(path + ": " + std::strerror(errno));  // before close may change errno
    ::close(fd);
    return failed;
  }
  // What the file holds now: entries the panel appends meanwhile wait for the next report.
  buffer.resize(static_cast<std::size_t>(info.st_size));
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Result failed = Result::Failure(path + ": " + std::strerror(errno));
      ::close(fd);
      return failed;
    }
    if (got == 0) break;  // cut shorter meanwhile
    filled += static_cast<std::size_t>(got);
  }
  buffer.resize(filled);
  ::close(fd);
  return Result::Success();
}

}  // namespace logreport

namespace logreport {

Result WriteFileWhole(const std::string& path, std::string_view bytes) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return Result::Failure(path + ": " + std::strerror(errno));
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    written += static_cast<std::size_t>(put);
  }
  const int writeError = written == bytes.size() ? 0 : errno;
  // mkstemp makes the file for its owner only; give it the mode a plain new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const bool closed = ::close(fd) == 0;
  if (written != bytes.size() || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
    Result failed = Result::Failure(path + ": " + std::strerror(writeError != 0 ? writeError : errno));
    ::unlink(temporary.c_str());
    return failed;
  }
  return Result::Success();
}

}  // namespace logreport
