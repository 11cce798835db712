#include "logreport/LogFolder.h"

#include "config/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>

namespace logreport {
namespace {
bool Digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Why a name that looks like a day's log is not one the panel writes; empty when it is not of
// that look at all: five to eight digits and ".csv" in any case.
std::string NotADayLog(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view stem = name.substr(0, dot), extension = name.substr(dot + 1);
  if (extension.size() != 3 || !Digits(stem) || stem.size() < 5 || stem.size() > 8) return {};
  for (std::size_t i = 0; i < 3; ++i)
    if ((extension[i] | 0x20) != "csv"[i]) return {};
  if (stem.size() != 6) return std::to_string(stem.size()) + " digits, not yymmdd";
  if (extension != "csv") return "not named as the panel names its files (yymmdd.csv, in small letters)";
  return "no such date";
}

SkippedFile Skipped(std::string name, std::string reason) { return {std::move(name), std::move(reason)}; }
}  // namespace

Result ListLogFiles(const std::string& folder, LogListing& listing) {
  listing = {};
  std::error_code failure;
  std::filesystem::directory_iterator it(folder, failure);
  if (failure) return Result::Failure(folder + ": " + failure.message());
  for (; it != std::filesystem::directory_iterator(); it.increment(failure)) {
    if (failure) return Result::Failure(folder + ": " + failure.message());
    std::string name = it->path().filename().string();
    const std::optional<Day> day = FileDayOf(name);
    if (!day) {
      std::string reason = NotADayLog(name);
      if (!reason.empty()) listing.notRead.push_back(Skipped(std::move(name), std::move(reason)));
      continue;
    }
    std::error_code kind;
    if (!it->is_regular_file(kind)) {
      listing.notRead.push_back(Skipped(std::move(name), "not a regular file"));
      continue;
    }
    listing.files.push_back({std::move(name), *day});
  }
  std::sort(listing.files.begin(), listing.files.end(),
            [](const LogFile& a, const LogFile& b) { return a.day != b.day ? a.day < b.day : a.name < b.name; });
  std::sort(listing.notRead.begin(), listing.notRead.end(),
            [](const SkippedFile& a, const SkippedFile& b) { return a.name < b.name; });
  return Result::Success();
}

Result ReadLogFile(const std::string& path, const LogFile& file, LogReader& reader) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Result::Failure(std::strerror(errno));
  struct stat info = {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    Result failed = Result::Failure(S_ISREG(info.st_mode) ? std::strerror(errno) : "not a regular file");
    ::close(fd);
    return failed;
  }
  const auto size = static_cast<std::uintmax_t>(info.st_size);
  if (size > MaxDayLogBytes) {
    ::close(fd);
    return Result::Failure(std::to_string(size) + " bytes, far more than a day's log can hold (at most " +
                           std::to_string(MaxDayLogBytes >> 20) + " MiB)");
  }
  // What the file holds now: entries the panel appends meanwhile wait for the next report.
  static constexpr std::size_t Piece = std::size_t{1} << 20;
  thread_local std::string buffer;
  buffer.resize(Piece);
  reader.BeginFile(file);
  std::uintmax_t left = size;
  Result outcome = Result::Success();
  while (left > 0) {
    const ssize_t got = ::read(fd, buffer.data(), static_cast<std::size_t>(std::min<std::uintmax_t>(left, Piece)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      outcome = Result::Failure(std::strerror(errno));
      break;
    }
    if (got == 0) break;  // cut shorter meanwhile
    reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    left -= static_cast<std::uintmax_t>(got);
  }
  reader.EndFile();
  ::close(fd);
  return outcome;
}

Result WriteReportFile(const std::string& path, std::string_view bytes) {
  const auto writeAll = [&](int fd) {
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      written += static_cast<std::size_t>(put);
    }
    return true;
  };
  if (path == "-") {
    if (writeAll(STDOUT_FILENO)) return Result::Success();
    return Result::Failure(std::string("standard output: ") + std::strerror(errno));
  }
  struct stat target = {};
  if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
    // A device, a pipe or a socket's stand-in: written where it is, never replaced.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    const bool ok = fd >= 0 && writeAll(fd);
    Result written = ok ? Result::Success() : Result::Failure(path + ": " + std::strerror(errno));
    if (fd >= 0 && ::close(fd) != 0 && ok) written = Result::Failure(path + ": " + std::strerror(errno));
    return written;
  }
  Result saved =
      WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!saved.ok) saved.error = path + ": " + saved.error;
  return saved;
}

}  // namespace logreport
