#include "monitor/EventLog.h"

#include <cerrno>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
Result Failure(int error) { return Result::Failure(std::generic_category().message(error)); }

// The designator of a channel, empty for a channel outside the array (no caller passes one).
std::string Designator(LogChannel kind, int channel, const UnitConfiguration& config) {
  switch (kind) {
    case LogChannel::DigitalInput:
      return channel >= 0 && channel < DigitalInputCount ? ReadText(config.InputDesignator[channel]) : std::string();
    case LogChannel::AnalogueInput:
      return channel >= 0 && channel < AnalogueInputCount ? ReadText(config.AnalogueDesignator[channel])
                                                          : std::string();
    case LogChannel::Output:
      return channel >= 0 && channel < OutputCount ? ReadText(config.OutputDesignator[channel]) : std::string();
    case LogChannel::None: return {};
  }
  return {};
}
}  // namespace

LocalTime SystemClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

Result FileLogSink::Append(const std::string& path, std::string_view bytes) {
  // O_APPEND: every write goes to the end, and other programs may keep the file open meanwhile.
  // The file is made only when missing (O_EXCL tells us we made it), never truncated.
  // O_NONBLOCK: a FIFO put in the file's place fails the entry at once instead of stopping the
  // panel until some program reads it (it changes nothing for a regular file).
  constexpr int AppendFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  bool created = false;
  int fd = ::open(path.c_str(), AppendFlags);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(path.c_str(), AppendFlags | O_CREAT | O_EXCL, 0666);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), AppendFlags);
  }
  if (fd < 0) return Failure(errno);

  struct stat before = {};
  if (::fstat(fd, &before) != 0) {
    const int error = errno;
    ::close(fd);
    return Failure(error);
  }
  std::size_t written = 0;
  int error = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      error = n < 0 ? errno : EIO;
      break;
    }
  }
  if (error != 0 && written > 0) {
    // A short write (full disk, size limit) would leave a torn line for the next entry to be
    // glued to: cut the file back, but only while the bytes past the old end are all ours.
    struct stat after = {};
    if (::fstat(fd, &after) == 0 && after.st_size == before.st_size + static_cast<off_t>(written)) {
      // Best effort: the entry is reported as not written either way.
      [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
    }
  }
  if (error != 0 && created) {
    struct stat now = {};
    if (::fstat(fd, &now) == 0 && now.st_size == 0) (void)::unlink(path.c_str());
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  return error == 0 ? Result::Success() : Failure(error);
}

std::string FormatLogLine(EventCode code, int channel, const UnitConfiguration& config, const LocalTime& time) {
  return FormatEventLine(time, code, Designator(ChannelOf(code), channel, config));
}
