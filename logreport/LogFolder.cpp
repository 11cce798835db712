#include "logreport/LogFolder.h"

#include "config/DataFile.h"
#include "logreport/BigVector.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

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

// A file is read this many bytes at a time, into its thread's room, whose pages are asked
// for at once.
constexpr std::size_t PieceBytes = std::size_t{128} << 10;
char* PieceRoom() {
  thread_local std::vector<char> room;
  if (room.empty()) {
    room.reserve(PieceBytes);
    PrefaultRoom(room.data(), PieceBytes);
    room.resize(PieceBytes);
  }
  return room.data();
}

// What a side reader read of one file since its last piece, in its own reader's names and
// files. The last piece of a file says how the reading ended.
struct Piece {
  bool begun = false;  // the file could be opened, and its reading began
  bool last = false;
  std::vector<Entry> entries;
  std::vector<std::string> names;  // the side reader's names new since its last piece
  std::vector<LineProblem> problems;
  std::uint64_t lines = 0;
  Result outcome = Result::Success();
};

// The pieces on their way from a side reader, a few at most: the side reader waits for room,
// so that what is read but not yet taken stays bounded however large the files. The lists of
// entries taken come back to be filled again, so that no piece asks for new memory; a new
// list takes a batch's room at once.
class PieceQueue {
 public:
  [[nodiscard]] std::vector<Entry> EmptyList() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      if (!spare_.empty()) {
        std::vector<Entry> list = std::move(spare_.back());
        spare_.pop_back();
        return list;
      }
    }
    std::vector<Entry> list;
    list.reserve(EntriesAtOnce);
    PrefaultRoom(list.data(), EntriesAtOnce * sizeof(Entry));
    return list;
  }
  void GiveBack(std::vector<Entry> list) {
    list.clear();
    const std::lock_guard<std::mutex> hold(lock_);
    if (spare_.size() < Room + 1) spare_.push_back(std::move(list));
  }
  // A taker waiting is woken when WakeAt pieces wait for it, or the last one came: each wake
  // costs both sides a call into the system. Both wake the other after letting go of the
  // lock, which the woken one would otherwise wait for at once.
  void Put(Piece piece) {
    std::unique_lock<std::mutex> lock(lock_);
    room_.wait(lock, [&] { return pieces_.size() < Room; });
    pieces_.push_back(std::move(piece));
    const bool wake = pieces_.size() >= WakeAt;
    lock.unlock();
    if (wake) ready_.notify_one();
  }
  // No more pieces come.
  void Close() { ready_.notify_one(); }
  Piece Get() {
    std::unique_lock<std::mutex> lock(lock_);
    ready_.wait(lock, [&] { return !pieces_.empty(); });
    Piece piece = std::move(pieces_.front());
    pieces_.pop_front();
    lock.unlock();
    room_.notify_one();
    return piece;
  }

 private:
  static constexpr std::size_t Room = 8, WakeAt = 4;
  std::mutex lock_;
  std::condition_variable room_, ready_;
  std::deque<Piece> pieces_;
  std::vector<std::vector<Entry>> spare_;
};

// Which side reader reads each file: the next file not yet taken goes to whichever side
// reader is free first, so that each reads as fast as it can, and a file slow to read holds
// up only its own reader. Each takes its files in their order.
class FileTurns {
 public:
  explicit FileTurns(std::size_t files) : readerOf_(files) {
    for (std::atomic<std::size_t>& reader : readerOf_) reader.store(None);
  }
  // The next file for the side reader, or the count of files when none is left.
  std::size_t Take(std::size_t reader) {
    const std::size_t file = next_.fetch_add(1);
    if (file < readerOf_.size()) {
      readerOf_[file].store(reader);
      readerOf_[file].notify_one();
    }
    return file;
  }
  // The side reader of a file, once one has taken it.
  std::size_t ReaderOf(std::size_t file) {
    readerOf_[file].wait(None);
    return readerOf_[file].load();
  }

 private:
  static constexpr std::size_t None = SIZE_MAX;
  std::atomic<std::size_t> next_{0};
  std::vector<std::atomic<std::size_t>> readerOf_;
};

// Reads the files it takes its turn at into a reader of its own, and sends what it reads in
// pieces.
class SideReader final : public EntrySink {
 public:
  explicit SideReader(PieceQueue& queue) : queue_(queue) {}

  void Take(const LogData& log, std::span<const Entry> entries) override {
    Piece piece = Collect(log);
    piece.entries = queue_.EmptyList();
    piece.entries.assign(entries.begin(), entries.end());
    Hold(std::move(piece));
  }
  // The reader's list goes on whole, and it reads on into one given back.
  void TakeList(const LogData& log, std::vector<Entry>& entries) override {
    Piece piece = Collect(log);
    piece.entries = std::exchange(entries, queue_.EmptyList());
    Hold(std::move(piece));
  }

  void Read(const std::filesystem::path& folder, std::span<const LogFile> files, FileTurns& turns, std::size_t me) {
    LogReader reader(this);
    for (std::size_t i = turns.Take(me); i < files.size(); i = turns.Take(me)) {
      filesBefore_ = reader.Data().files.size();
      Result read = ReadLogFile((folder / files[i].name).string(), files[i], reader);
      // How the reading ended goes with the file's last entries: a piece the fewer to hand
      // over, and so one wait the fewer on each side.
      Piece last = Collect(reader.Data());
      if (held_) {
        held_->names.insert(held_->names.end(), last.names.begin(), last.names.end());
        held_->problems.insert(held_->problems.end(), last.problems.begin(), last.problems.end());
        held_->lines += last.lines;
        last = std::move(*held_);
        held_.reset();
      }
      last.last = true;
      last.outcome = std::move(read);
      queue_.Put(std::move(last));
    }
    queue_.Close();
  }

 private:
  // All but the entries.
  Piece Collect(const LogData& log) {
    Piece piece;
    piece.begun = log.files.size() > filesBefore_;
    piece.names.assign(log.names.begin() + static_cast<std::ptrdiff_t>(namesSent_), log.names.end());
    piece.problems.assign(log.problems.begin() + static_cast<std::ptrdiff_t>(problemsSent_), log.problems.end());
    piece.lines = log.lines - linesSent_;
    namesSent_ = log.names.size();
    problemsSent_ = log.problems.size();
    linesSent_ = log.lines;
    return piece;
  }

  // A piece waits here until the next, to go with it if that one ends the file.
  void Hold(Piece piece) {
    if (held_) queue_.Put(std::move(*held_));
    held_ = std::move(piece);
  }

  PieceQueue& queue_;
  std::optional<Piece> held_;
  std::size_t filesBefore_ = 0, namesSent_ = 0, problemsSent_ = 0;
  std::uint64_t linesSent_ = 0;
};
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
  char* const buffer = PieceRoom();
  reader.BeginFile(file);
  std::uintmax_t left = size;
  Result outcome = Result::Success();
  while (left > 0) {
    const ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(std::min<std::uintmax_t>(left, PieceBytes)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      outcome = Result::Failure(std::strerror(errno));
      break;
    }
    if (got == 0) break;  // cut shorter meanwhile
    reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    left -= static_cast<std::uintmax_t>(got);
  }
  reader.EndFile();
  ::close(fd);
  return outcome;
}

std::vector<SkippedFile> ReadLogFiles(const std::string& folder, std::span<const LogFile> files, LogReader& reader,
                                      unsigned sideReaders, const std::function<void()>& meanwhile) {
  std::vector<SkippedFile> unread;
  const std::filesystem::path path(folder);
  if (sideReaders == 0 || files.size() < 2) {
    if (meanwhile) meanwhile();
    for (const LogFile& file : files)
      if (Result read = ReadLogFile((path / file.name).string(), file, reader); !read.ok)
        unread.push_back({file.name, std::move(read.error)});
    return unread;
  }

  const std::size_t n = std::min<std::size_t>(sideReaders, files.size());
  std::vector<PieceQueue> queues(n);
  FileTurns turns(files.size());
  std::vector<std::thread> threads;
  threads.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    threads.emplace_back([&, i] { SideReader(queues[i]).Read(path, files, turns, i); });
  if (meanwhile) meanwhile();

  // Each side reader's names by its own index: the index here.
  std::vector<std::vector<std::uint32_t>> names(n);
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::size_t side = turns.ReaderOf(f);
    PieceQueue& queue = queues[side];
    std::vector<std::uint32_t>& nameHere = names[side];
    bool begun = false;
    std::uint32_t fileHere = 0;
    for (;;) {
      Piece piece = queue.Get();
      for (const std::string& name : piece.names) nameHere.push_back(reader.NameIndex(name));
      if (piece.begun && !begun) {
        reader.BeginFile(files[f]);
        begun = true;
        fileHere = static_cast<std::uint32_t>(reader.Data().files.size() - 1);
      }
      for (LineProblem& problem : piece.problems) problem.file = fileHere;
      reader.AddRead(piece.entries, static_cast<std::uint16_t>(fileHere), nameHere, piece.problems, piece.lines);
      queue.GiveBack(std::move(piece.entries));
      if (!piece.last) continue;
      if (!piece.outcome.ok) unread.push_back({files[f].name, std::move(piece.outcome.error)});
      break;
    }
  }
  for (std::thread& thread : threads) thread.join();
  return unread;
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
