#include "config/DataFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
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

Result Failed(const char* what, int error) { return Result::Failure(std::string(what) + ": " + std::strerror(error)); }

// Writes every byte from offset 0, going on after short writes; false with errno set on failure.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      errno = ENOSPC;
      return false;
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// The file a name stands for: symbolic links are followed link by link, so a dangling link
// names the file the save is to create.
std::optional<std::string> FollowLinks(std::string path, int& error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status = {};
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) return path;
      error = errno;
      return std::nullopt;
    }
    if (!S_ISLNK(status.st_mode)) return path;
    std::error_code failed;
    const std::filesystem::path link = std::filesystem::read_symlink(path, failed);
    if (failed) {
      error = failed.value();
      return std::nullopt;
    }
    path = link.is_absolute() ? link.string() : (std::filesystem::path(path).parent_path() / link).string();
  }
  error = ELOOP;
  return std::nullopt;
}

// A path split into its folder and the last name in it.
struct Place {
  std::string folder;
  std::string name;
};
Place Split(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return Place{".", path};
  return Place{slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Creates a new file in `folder` under a short name of its own, made unique by O_EXCL, so
// nothing that already exists is ever overwritten by the save's scratch copy. The name does
// not grow with the target's, so a target named up to the file system's limit still gets one.
// Returns the new file's descriptor, or -1 with `error` set.
int CreateTemporary(int folder, mode_t mode, std::string& name, int& error) {
  static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix(6, ' ');
    for (char& c : suffix) c = letters[pick(random)];
    name.assign("qmx-").append(suffix).append(".saving");
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = errno;
  name.clear();
  return -1;
}

// Where no scratch file can be made beside the file (a folder the user cannot write) but the
// file itself can be written, it is overwritten where it lies. Room for the whole content is
// claimed first, so a full disk refuses the save before any old byte is touched.
Result WriteInPlace(const std::string& target, const struct stat& old, std::span<const std::uint8_t> bytes,
                    const Result& noTemporary) {
  Descriptor out(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!out) return noTemporary;
  const off_t length = static_cast<off_t>(bytes.size());
  if (old.st_size < length) {
    const int claimed = ::posix_fallocate(out.get(), 0, length);
    if (claimed != 0 && claimed != EOPNOTSUPP && claimed != EINVAL) {
      [[maybe_unused]] const int cut = ::ftruncate(out.get(), old.st_size);  // best effort: the save fails anyway
      return Failed("cannot write the file", claimed);
    }
  }
  if (!WriteAll(out.get(), bytes) || ::ftruncate(out.get(), length) != 0 || ::fsync(out.get()) != 0 || out.Close() != 0)
    return Failed("cannot write the file", errno);
  return Result::Success();
}
}  // namespace

LoadOutcome ReadDataFile(const std::string& path, UnitConfiguration& config) {
  // Only a regular file is read. A FIFO or a device is refused before it is opened, and the
  // open itself does not wait (a FIFO swapped in meanwhile would block it until a writer came).
  struct stat status = {};
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

Result WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  int error = 0;
  const std::optional<std::string> followed = FollowLinks(path, error);
  if (!followed) return Failed("cannot create the file", error);
  const std::string& target = *followed;
  struct stat old = {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Failed("cannot create the file", errno);
  if (exists && !S_ISREG(old.st_mode)) return Result::Failure("cannot replace the file: it is not a regular file");

  const Place place = Split(target);
  if (place.name.empty() || place.name == "." || place.name == "..") return Failed("cannot create the file", EISDIR);

  // The scratch file is made and renamed relative to the folder's descriptor, so the rename
  // lands in the folder the save began in. A new file gets the usual 0666 less the umask; a
  // replaced one keeps its mode and owner.
  const Descriptor folder(::open(place.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder) error = errno;
  std::string temporary;
  Descriptor out(folder ? CreateTemporary(folder.get(), exists ? 0600 : 0666, temporary, error) : -1);
  if (!out) {
    const Result noTemporary = Failed("cannot create the file", error);
    return exists ? WriteInPlace(target, old, bytes, noTemporary) : noTemporary;
  }
  auto fail = [&](const char* what, int why) {
    (void)out.Close();
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return Failed(what, why);
  };
  if (exists) {
    if (::fchown(out.get(), old.st_uid, old.st_gid) != 0) {
      // Not allowed to give the owner (not root): keep at least the group, where permitted.
      [[maybe_unused]] const int groupOnly = ::fchown(out.get(), static_cast<uid_t>(-1), old.st_gid);
    }
    if (::fchmod(out.get(), old.st_mode & 07777) != 0) return fail("cannot create the file", errno);
  }
  if (!WriteAll(out.get(), bytes) || ::fsync(out.get()) != 0) return fail("cannot write the file", errno);
  if (out.Close() != 0) return fail("cannot write the file", errno);
  if (::renameat(folder.get(), temporary.c_str(), folder.get(), place.name.c_str()) != 0)
    return fail("cannot replace the file", errno);
  // Make the new name itself durable; a folder that cannot be synced still holds the file.
  const Descriptor synced(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (synced) (void)::fsync(synced.get());
  return Result::Success();
}

Result WriteDataFile(const std::string& path, const UnitConfiguration& config) {
  const auto bytes = EncodeDataFile(config);
  return WriteFileAtomically(path, bytes);
}
