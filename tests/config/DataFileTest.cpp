#include "config/DataFile.h"
#include "support/ChildProcess.h"
#include "support/Fakes.h"
#include "support/FileSizeLimit.h"

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
class TempDir {
 public:
  TempDir()
      : path_(fs::temp_directory_path() / ("qmx-data-" + std::to_string(::getpid()) + "-" + std::to_string(++n_))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int n_ = 0;
  fs::path path_;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void Spit(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
std::string Encoded(const UnitConfiguration& config) {
  const auto bytes = EncodeDataFile(config);
  return std::string(bytes.begin(), bytes.end());
}
// What a folder holds, sorted: a save leaves nothing behind but the file it wrote.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
mode_t Mode(const std::string& path) {
  struct stat status = {};
  ::stat(path.c_str(), &status);
  return status.st_mode & 07777;
}
ino_t Inode(const std::string& path) {
  struct stat status = {};
  ::stat(path.c_str(), &status);
  return status.st_ino;
}
std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}
// What a save came to: "saved", or the reason it gives.
std::string Outcome(const Result& result) { return result.ok ? "saved" : result.error; }
UnitConfiguration Unusual() {
  UnitConfiguration config;
  std::memset(&config, 0x5A, sizeof config);  // holes and bytes after terminators all set
  SetDefaults(config);
  config.DigitalEnableReporting[3] = 2;
  config.AlarmAbove[7] = X(0x3FFF, 0x8000000000000001ULL);
  WriteText(config.InputDesignator[0], std::string(32, 'D'));
  return config;
}
}  // namespace

TEST(DataFile, SavedFileHasItsHeaderAndLoadsBackByteForByte) {
  TempDir dir;
  const UnitConfiguration saved = Unusual();
  ASSERT_TRUE(WriteDataFile(dir.file("unit.dat"), saved).ok);
  const std::string bytes = Slurp(dir.file("unit.dat"));
  ASSERT_EQ(bytes.size(), 1948u);
  EXPECT_EQ(bytes.substr(0, 36), std::string("\x01\x00\x00\x00", 4) + "KELDRON Quellmarinox Simple Pane");
  EXPECT_EQ(std::memcmp(bytes.data() + 36, &saved, 1912), 0);

  UnitConfiguration loaded{};
  SetDefaults(loaded);
  EXPECT_EQ(ReadDataFile(dir.file("unit.dat"), loaded), LoadOutcome::Loaded);
  EXPECT_FALSE(ConfigurationDiffers(saved, loaded));
  EXPECT_EQ(Names(dir.file("")), std::vector<std::string>{"unit.dat"});
}

// The scratch file's name does not grow with the target's: names up to the file system's
// 255-byte limit are saved new and replaced by a rename (a new inode, never an in-place
// overwrite), directly and through a link; one byte more is refused by the system.
TEST(DataFile, NamesUpToTheLimitAreSavedNewAndReplacedWhole) {
  TempDir dir;
  const UnitConfiguration first = Unusual();
  UnitConfiguration second{};
  SetDefaults(second);
  const std::string name250 = std::string(246, 'n') + ".dat", name255 = std::string(251, 'm') + ".dat";
  ASSERT_EQ(name250.size(), 250u);
  ASSERT_EQ(name255.size(), 255u);
  for (const std::string& name : {name250, name255}) {
    EXPECT_EQ(Outcome(WriteDataFile(dir.file(name), first)), "saved") << name.size();
    EXPECT_EQ(Slurp(dir.file(name)), Encoded(first)) << name.size();
    const ino_t old = Inode(dir.file(name));
    EXPECT_EQ(Outcome(WriteDataFile(dir.file(name), second)), "saved") << name.size();
    EXPECT_EQ(Slurp(dir.file(name)), Encoded(second)) << name.size();
    EXPECT_NE(Inode(dir.file(name)), old) << name.size();
  }
  fs::create_symlink(name255, dir.file("link"));
  EXPECT_EQ(Outcome(WriteDataFile(dir.file("link"), first)), "saved");
  EXPECT_EQ(Slurp(dir.file(name255)), Encoded(first));
  EXPECT_EQ(Outcome(WriteDataFile(dir.file(std::string(252, 'x') + ".dat"), first)),
            "cannot create the file: File name too long");
  EXPECT_EQ(Names(dir.file("")), (std::vector<std::string>{"link", name255, name250}));
}

TEST(DataFile, WhatCannotBeOpenedIsRefusedAndClosed) {
  // Headers, versions and lengths of real files: fuzz_data_file and its seeds.
  TempDir dir;
  UnitConfiguration config{};
  SetDefaults(config);
  UnitConfiguration before;
  CopyConfiguration(before, config);
  const std::size_t descriptors = OpenDescriptors();
  fs::create_directory(dir.file("folder.dat"));
  for (const std::string& name : {dir.file("missing.dat"), dir.file("folder.dat"), std::string("/dev/zero")})
    EXPECT_EQ(ReadDataFile(name, config), LoadOutcome::CannotOpen) << name;
  EXPECT_FALSE(ConfigurationDiffers(before, config));
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(LoadOutcomeMessage(LoadOutcome::CannotOpen), "Error Opening File.");
  EXPECT_EQ(LoadOutcomeMessage(LoadOutcome::ReadError), "Error Opening File.");
}

// A file cut short at every length: under the header's 36 bytes it cannot match the identity;
// from there on it loads, and replaces only as many leading bytes of the record as it holds.
TEST(DataFile, CutAtEveryLengthLoadsOnlyTheBytesItHolds) {
  Rig rig;
  const std::string path = (rig.directory / "cut.dat").string();
  UnitConfiguration working{};
  SetDefaults(working);
  UnitConfiguration other{};  // every byte differs from the working configuration's
  const auto* w = reinterpret_cast<const std::uint8_t*>(&working);
  auto* o = reinterpret_cast<std::uint8_t*>(&other);
  for (std::size_t i = 0; i < sizeof other; ++i) o[i] = w[i] ^ 0xFF;
  Spit(path, Encoded(other));
  std::vector<std::size_t> wrong;
  for (std::size_t length = DataFileSize + 1; length-- > 0;) {
    fs::resize_file(path, length);  // cut from the end: cheaper than writing each file afresh
    CopyConfiguration(rig.core.Configuration, working);
    rig.prompts.errors.clear();
    rig.core.LoadConfigurationFile(path);
    const std::size_t held = length < 36 ? 0 : length - 36;
    const auto* now = reinterpret_cast<const std::uint8_t*>(&rig.core.Configuration);
    const auto shown = length < 36 ? std::vector<std::string>{"Incompatible data file."} : std::vector<std::string>{};
    if (rig.prompts.errors != shown || std::memcmp(now, o, held) != 0 ||
        std::memcmp(now + held, w + held, sizeof working - held) != 0)
      wrong.push_back(length);
  }
  EXPECT_EQ(wrong, std::vector<std::size_t>{});
}

TEST(DataFile, AFifoIsRefusedAtOnceInsteadOfWaitingForAWriter) {
  TempDir dir;
  const std::string fifo = dir.file("unit.dat");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A writer stands ready with a good file: a reader that waited for it would load it.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0) return;
    (void)!::write(fd, Encoded(Unusual()).data(), DataFileSize);
    ::close(fd);
  });
  UnitConfiguration config{};
  SetDefaults(config);
  UnitConfiguration before;
  CopyConfiguration(before, config);
  EXPECT_EQ(ReadDataFile(fifo, config), LoadOutcome::CannotOpen);
  EXPECT_FALSE(ConfigurationDiffers(before, config));
  // Let the writer go by reading the FIFO ourselves.
  const int release = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  ::close(release);
  std::signal(SIGPIPE, previous);
}

TEST(DataFile, SavingWritesThroughLinksKeepsModeAndOwnerAndTouchesNoOtherFile) {
  TempDir dir;
  const UnitConfiguration saved = Unusual();
  fs::create_directory(dir.file("real"));
  const std::string real = dir.file("real/unit.dat");
  Spit(real, "old");
  ::chmod(real.c_str(), 0640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
  }
  Spit(real + ".saving", "not ours");
  fs::create_symlink("real/unit.dat", dir.file("link1"));
  fs::create_symlink("link1", dir.file("link2"));

  const Result result = WriteDataFile(dir.file("link2"), saved);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(fs::is_symlink(dir.file("link1")));
  EXPECT_TRUE(fs::is_symlink(dir.file("link2")));
  EXPECT_EQ(Slurp(real), Encoded(saved));
  EXPECT_EQ(Mode(real), 0640u);
  if (root) {
    struct stat status = {};
    ::stat(real.c_str(), &status);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
  }
  EXPECT_EQ(Slurp(real + ".saving"), "not ours");
  EXPECT_EQ(Names(dir.file("real")), (std::vector<std::string>{"unit.dat", "unit.dat.saving"}));

  // A dangling link: the file it names is made, as any new file, 0666 less the umask.
  fs::create_symlink("real/new.dat", dir.file("dangling"));
  const mode_t umask = ::umask(022);
  EXPECT_TRUE(WriteDataFile(dir.file("dangling"), saved).ok);
  ::umask(umask);
  EXPECT_TRUE(fs::is_symlink(dir.file("dangling")));
  EXPECT_EQ(Slurp(dir.file("real/new.dat")), Encoded(saved));
  EXPECT_EQ(Mode(dir.file("real/new.dat")), 0644u);

  // Links in a ring name no file; a FIFO is not replaced.
  fs::create_symlink("ring-b", dir.file("ring-a"));
  fs::create_symlink("ring-a", dir.file("ring-b"));
  EXPECT_EQ(WriteDataFile(dir.file("ring-a"), saved).error,
            "cannot create the file: Too many levels of symbolic links");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(WriteDataFile(dir.file("fifo"), saved).error, "cannot replace the file: it is not a regular file");
  EXPECT_EQ(fs::status(dir.file("fifo")).type(), fs::file_type::fifo);
  EXPECT_EQ(Names(dir.file("")),
            (std::vector<std::string>{"dangling", "fifo", "link1", "link2", "real", "ring-a", "ring-b"}));
}

TEST(DataFile, FailedSaveKeepsTheOldFileAndLeavesNothingBehind) {
  TempDir dir;
  const std::string good = Encoded(Unusual());
  Spit(dir.file("unit.dat"), good);
  UnitConfiguration second{};
  SetDefaults(second);

  // A full disk: the new bytes never reach the file, the old ones stay, no scratch file is left.
  Result replaced, created;
  {
    FileSizeLimit full(1000);
    replaced = WriteDataFile(dir.file("unit.dat"), second);
    created = WriteDataFile(dir.file("new.dat"), second);
  }
  EXPECT_FALSE(replaced.ok);
  EXPECT_EQ(replaced.error, "cannot write the file: File too large");
  EXPECT_EQ(created.error, "cannot write the file: File too large");
  EXPECT_EQ(Slurp(dir.file("unit.dat")), good);
  EXPECT_EQ(Names(dir.file("")), std::vector<std::string>{"unit.dat"});
}

TEST(DataFile, AFolderThatCannotBeWrittenGetsItsWritableFileOverwrittenInPlace) {
  TempDir dir;
  const std::string folder = dir.file("locked");
  fs::create_directory(folder);
  const UnitConfiguration saved = Unusual();
  const std::string unit = folder + "/unit.dat", readOnly = folder + "/read-only.dat", shorter = folder + "/short.dat";
  Spit(unit, std::string(2000, 'x'));  // longer than a data file: the tail goes
  Spit(readOnly, "read-only");
  Spit(shorter, std::string(1000, 'y'));
  ::chmod(unit.c_str(), 0666);
  ::chmod(readOnly.c_str(), 0444);
  ::chmod(shorter.c_str(), 0666);
  ::chmod(folder.c_str(), 0555);

  // As an ordinary user, to whom the folder's permission bits apply.
  const ChildOutcome run = InChild(DropPrivileges, [&] {
    const std::string inPlace = Outcome(WriteDataFile(unit, saved));
    const std::string refused = Outcome(WriteDataFile(readOnly, saved));
    const std::string fresh = Outcome(WriteDataFile(folder + "/new.dat", saved));
    // A full disk: room for the longer content is claimed before any old byte is overwritten.
    FileSizeLimit limit(1500);
    return inPlace + "|" + refused + "|" + fresh + "|" + Outcome(WriteDataFile(shorter, saved));
  });
  ::chmod(folder.c_str(), 0755);
  if (run.skipped) GTEST_SKIP() << run.text;

  EXPECT_EQ(run.text,
            "saved|cannot create the file: Permission denied|cannot create the file: Permission denied|"
            "cannot write the file: File too large");
  EXPECT_EQ(Slurp(unit), Encoded(saved));
  EXPECT_EQ(Mode(unit), 0666u);
  EXPECT_EQ(Slurp(readOnly), "read-only");
  EXPECT_EQ(Slurp(shorter), std::string(1000, 'y'));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"read-only.dat", "short.dat", "unit.dat"}));
}

TEST(DataFile, AFullFileSystemKeepsTheOldFile) {
  TempDir dir;
  const std::string small = dir.file("small");
  fs::create_directory(small);
  const std::string unit = small + "/unit.dat";
  const ChildOutcome run =
      InChild([&] { return MountSmallFileSystem(small); },
              [&] {
                const std::string first = Outcome(WriteDataFile(unit, Unusual()));
                {
                  std::ofstream filler(small + "/filler", std::ios::binary);
                  const std::string page(4096, 'f');
                  while (filler.write(page.data(), static_cast<std::streamsize>(page.size())) && filler.flush()) {
                  }
                }
                UnitConfiguration second{};
                SetDefaults(second);
                const std::string full = Outcome(WriteDataFile(unit, second));
                std::string names;
                for (const std::string& name : Names(small)) names += " " + name;
                return first + "|" + full + "|" + (Slurp(unit) == Encoded(Unusual()) ? "kept" : "lost") + names;
              });
  if (run.skipped) GTEST_SKIP() << run.text;
  EXPECT_EQ(run.text, "saved|cannot write the file: No space left on device|kept filler unit.dat");
}

// The soak loads files of every kind through the Load button; a cancelled dialog is what it
// cannot tell apart: no caption changes, the endpoint is applied again all the same.
TEST(DataFile, LoadButtonCancelledAppliesOnlyTheEndpoint) {
  Rig rig;
  rig.view.inputLabels[2] = "unchanged";
  rig.endpoint.SetRemote("", 0);
  rig.prompts.openNames.push_back(std::nullopt);
  rig.core.LoadButtonClick();
  EXPECT_EQ(rig.view.inputLabels[2], "unchanged");
  EXPECT_EQ(rig.endpoint.host(), "192.168.0.6");
  EXPECT_EQ(rig.endpoint.port(), 3012);
  EXPECT_TRUE(rig.prompts.errors.empty());
}
