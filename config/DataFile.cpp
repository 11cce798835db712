#include "config/DataFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string_view LoadOutcomeMessage(LoadOutcome outcome) {
  switch (outcome) {
    case LoadOutcome::Loaded: return {};
    case LoadOutcome::CannotOpen: return "Error Opening File.";
    case LoadOutcome::Incompatible: return "Incompatible data file.";
    case LoadOutcome::LaterFormat: return "The file uses a later data format.\r\nCannot load";
    case LoadOutcome::ReadError: return "Error Opening File.";
  }
  return "Error Opening File.";
}

LoadOutcome DecodeDataFile(std::span<const std::uint8_t> bytes, UnitConfiguration& config) {
  if (bytes.size() < DataFileHeaderSize) return LoadOutcome::Incompatible;
  if (std::memcmp(bytes.data() + 4, DataFileIdentity.data(), DataFileIdentitySize) != 0)
    return LoadOutcome::Incompatible;
  std::int32_t version = 0;
  std::memcpy(&version, bytes.data(), sizeof version);
  if (version > DataFileVersion) return LoadOutcome::LaterFormat;
  const std::size_t body = std::min(bytes.size() - DataFileHeaderSize, sizeof(UnitConfiguration));
  std::memcpy(reinterpret_cast<std::uint8_t*>(&config), bytes.data() + DataFileHeaderSize, body);
  return LoadOutcome::Loaded;
}

std::array<std::uint8_t, DataFileSize> EncodeDataFile(const UnitConfiguration& config) {
  std::array<std::uint8_t, DataFileSize> bytes{};
  const std::int32_t version = DataFileVersion;
  std::memcpy(bytes.data(), &version, sizeof version);
  std::memcpy(bytes.data() + 4, DataFileIdentity.data(), DataFileIdentitySize);
  std::memcpy(bytes.data() + DataFileHeaderSize, &config, sizeof(UnitConfiguration));
  return bytes;
}

namespace {
// A file descriptor that is closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { (void)Close(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes now; a late write error (a full disk on some file systems) shows up here.
  int Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

LoadOutcome ReadDataFile(const std::string& path, UnitConfiguration& config) {
  // Only a regular file is read. A FIFO or a device is refused before it is opened, and the
  // open itself does not wait (a FIFO swapped in meanwhile would block it until a writer came).
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return LoadOutcome::CannotOpen;
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) return LoadOutcome::CannotOpen;
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return LoadOutcome::CannotOpen;
  std::array<std::uint8_t, DataFileSize> buffer{};
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::read(file.get(), buffer.data() + got, buffer.size() - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      return LoadOutcome::ReadError;
    }
  }
  UnitConfiguration copy;
  CopyConfiguration(copy, config);
  const LoadOutcome outcome = DecodeDataFile(std::span(buffer.data(), got), copy);
  if (outcome == LoadOutcome::Loaded) CopyConfiguration(config, copy);
  return outcome;
}

SaveResult WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string temporary = path + ".saving";
  auto fail = [&](const char* what, int error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return SaveResult{false, std::string(what) + ": " + std::strerror(error)};
  };
  errno = 0;
  std::FILE* raw = std::fopen(temporary.c_str(), "wb");
  if (!raw) return SaveResult{false, std::string("cannot create the file: ") + std::strerror(errno)};
  File file(raw);
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fflush(file.get()) != 0) {
    const int error = errno;
    file.reset();
    return fail("cannot write the file", error);
  }
  if (::fsync(::fileno(file.get())) != 0) {
    const int error = errno;
    file.reset();
    return fail("cannot write the file", error);
  }
  if (std::fclose(file.release()) != 0) return fail("cannot write the file", errno);
  std::error_code renamed;
  std::filesystem::rename(temporary, path, renamed);
  if (renamed) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return SaveResult{false, "cannot replace the file: " + renamed.message()};
  }
  return SaveResult{true, {}};
}

SaveResult WriteDataFile(const std::string& path, const UnitConfiguration& config) {
  const auto bytes = EncodeDataFile(config);
  return WriteFileAtomically(path, bytes);
}
