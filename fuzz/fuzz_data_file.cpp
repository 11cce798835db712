// Data files from outside, as real files: the input is written to a scratch file and read
// with ReadDataFile. Its last byte picks a variant of the file: as it is, with 8 KiB more after
// it, or followed by a sparse terabyte. The outcome and the configuration must be what the
// rules give for the file's first 1948 bytes, and what DecodeDataFile gives for them: the
// identity checked first, any version of 1 or less accepted, exactly the leading bytes the
// file holds after its header replaced, nothing touched on a refusal. No descriptor stays open.
#include "config/DataFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "data file: %s\n", what);
  std::abort();
}

// One scratch file for the whole run, in a folder of its own that goes when the run ends.
const std::string& ScratchFile() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "fuzz-data-file-XXXXXX").string();
    Check(::mkdtemp(folder.data()) != nullptr, "cannot make a scratch folder");
    static const std::string remove = folder;
    std::atexit([] { std::filesystem::remove_all(remove); });
    return folder + "/unit.dat";
  }();
  return path;
}

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

enum Variant { AsItIs, Longer, Sparse };
constexpr std::size_t Tail = 8192;
constexpr std::uint8_t Filler = 0xEE;

// Writes the file afresh (emptying the old one would cost ext4 a flush each time); returns
// its first 1948 bytes, as the reader will find them.
std::vector<std::uint8_t> WriteFile(const std::string& path, std::span<const std::uint8_t> bytes, Variant variant) {
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  Check(fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "cannot write");
  const std::span<const std::uint8_t> kept = bytes.first(std::min<std::size_t>(bytes.size(), 1948));
  std::vector<std::uint8_t> head(kept.begin(), kept.end());
  if (variant == Longer) {
    const std::vector<std::uint8_t> more(Tail, Filler);
    Check(::write(fd, more.data(), more.size()) == static_cast<ssize_t>(more.size()), "cannot write");
    head.resize(std::min<std::size_t>(bytes.size() + Tail, 1948), Filler);
  } else if (variant == Sparse && ::ftruncate(fd, static_cast<off_t>(bytes.size() + (std::uint64_t{1} << 40))) == 0) {
    head.resize(1948, 0);
  }
  ::close(fd);
  return head;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto variant = static_cast<Variant>(size == 0 ? 0 : data[size - 1] % 4 % 3);
  const std::vector<std::uint8_t> head = WriteFile(ScratchFile(), std::span(data, size), variant);

  // Before the load every byte differs from the one the file would put there.
  UnitConfiguration before;
  auto* const old = reinterpret_cast<std::uint8_t*>(&before);
  for (std::size_t i = 0; i < sizeof before; ++i)
    // cppcheck-suppress objectIndex ; the record's own bytes, read as unsigned char
    old[i] = 36 + i < head.size() ? head[36 + i] ^ 0xA5 : static_cast<std::uint8_t>(i * 29 + 7);

  // The rules, read here from the bytes themselves.
  std::int32_t version = 0;
  if (head.size() >= 4) std::memcpy(&version, head.data(), 4);
  const std::string_view identity = "KELDRON Quellmarinox Simple Pane";
  LoadOutcome expected = LoadOutcome::Loaded;
  if (head.size() < 36 || std::memcmp(head.data() + 4, identity.data(), 32) != 0) {
    expected = LoadOutcome::Incompatible;
  } else if (version > 1) {
    expected = LoadOutcome::LaterFormat;
  }
  const std::size_t replaced = expected == LoadOutcome::Loaded ? head.size() - 36 : 0;

  const std::size_t descriptors = OpenDescriptors();
  UnitConfiguration read;
  CopyConfiguration(read, before);
  const LoadOutcome outcome = ReadDataFile(ScratchFile(), read);
  Check(OpenDescriptors() == descriptors, "a descriptor left open");
  Check(outcome == expected, "the outcome the rules give");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&read);
  Check(replaced == 0 || std::memcmp(bytes, head.data() + 36, replaced) == 0, "the bytes after the header loaded");
  Check(std::memcmp(bytes + replaced, old + replaced, sizeof read - replaced) == 0, "the rest kept");

  UnitConfiguration decoded;
  CopyConfiguration(decoded, before);
  Check(DecodeDataFile(head, decoded) == outcome && !ConfigurationDiffers(decoded, read), "decoded as read");

  const char* message = outcome == LoadOutcome::Loaded         ? ""
                        : outcome == LoadOutcome::Incompatible ? "Incompatible data file."
                                                               : "The file uses a later data format.\r\nCannot load";
  Check(LoadOutcomeMessage(outcome) == message, "the message shown");

  // A whole file encodes back to its own bytes, any accepted version written as 1.
  if (replaced == sizeof read) {
    const auto encoded = EncodeDataFile(read);
    Check(std::memcmp(encoded.data(), "\x01\x00\x00\x00", 4) == 0, "version 1 written");
    Check(std::memcmp(encoded.data() + 4, head.data() + 4, 1944) == 0, "encodes back");
  }
  return 0;
}
