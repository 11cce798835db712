#include "config/DataFile.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <csignal>
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
std::string Header(std::int32_t version, std::string identity = "KELDRON Quellmarinox Simple Pane") {
  std::string header(reinterpret_cast<const char*>(&version), 4);
  return header + identity.substr(0, 32);
}
std::string Encoded(const UnitConfiguration& config) {
  const auto bytes = EncodeDataFile(config);
  return std::string(bytes.begin(), bytes.end());
}
std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}
UnitConfiguration Unusual() {
  UnitConfiguration config;
  std::memset(&config, 0x5A, sizeof config);  // holes and bytes after terminators all set
  SetDefaults(config);
  config.DigitalEnableReporting[3] = 2;
  config.AlarmAbove[7].Set(1.0L + 0x1p-63L);
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
  EXPECT_FALSE(fs::exists(dir.file("unit.dat.saving")));
}

TEST(DataFile, RefusalsComeInTheirOrderAndChangeNothing) {
  TempDir dir;
  const std::string body(1912, '\x11');
  UnitConfiguration config{};
  SetDefaults(config);
  UnitConfiguration before;
  CopyConfiguration(before, config);

  // Cannot be opened: missing, or not a regular file at all. Every file opened is closed again.
  const std::size_t descriptors = OpenDescriptors();
  fs::create_directory(dir.file("folder.dat"));
  for (const std::string& name : {dir.file("missing.dat"), dir.file("folder.dat"), std::string("/dev/zero")})
    EXPECT_EQ(ReadDataFile(name, config), LoadOutcome::CannotOpen) << name;
  // The identity is checked before the version; a short file cannot match it.
  Spit(dir.file("other.dat"), Header(2, "KELDRON Quellmarinox Simple Pans") + body);
  EXPECT_EQ(ReadDataFile(dir.file("other.dat"), config), LoadOutcome::Incompatible);
  Spit(dir.file("short.dat"), Header(1).substr(0, 35));
  EXPECT_EQ(ReadDataFile(dir.file("short.dat"), config), LoadOutcome::Incompatible);
  Spit(dir.file("later.dat"), Header(2) + body);
  EXPECT_EQ(ReadDataFile(dir.file("later.dat"), config), LoadOutcome::LaterFormat);
  EXPECT_FALSE(ConfigurationDiffers(before, config));
  EXPECT_EQ(OpenDescriptors(), descriptors);

  EXPECT_EQ(LoadOutcomeMessage(LoadOutcome::CannotOpen), "Error Opening File.");
  EXPECT_EQ(LoadOutcomeMessage(LoadOutcome::Incompatible), "Incompatible data file.");
  EXPECT_EQ(LoadOutcomeMessage(LoadOutcome::LaterFormat), "The file uses a later data format.\r\nCannot load");
}

TEST(DataFile, OlderVersionsAndShortFilesReplaceOnlyTheBytesTheyHold) {
  TempDir dir;
  UnitConfiguration config{};
  SetDefaults(config);
  UnitConfiguration before;
  CopyConfiguration(before, config);

  for (std::int32_t version : {0, -5}) {
    Spit(dir.file("old.dat"), Header(version) + std::string(1912, '\x22'));
    UnitConfiguration c{};
    EXPECT_EQ(ReadDataFile(dir.file("old.dat"), c), LoadOutcome::Loaded) << version;
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&c)[1911], 0x22);
  }
  // Exactly the header: loads, nothing replaced.
  Spit(dir.file("header.dat"), Header(1));
  EXPECT_EQ(ReadDataFile(dir.file("header.dat"), config), LoadOutcome::Loaded);
  EXPECT_FALSE(ConfigurationDiffers(before, config));
  // 1000 bytes: the first 964 of the record replaced, the rest kept.
  Spit(dir.file("part.dat"), Header(1) + std::string(964, '\x33'));
  EXPECT_EQ(ReadDataFile(dir.file("part.dat"), config), LoadOutcome::Loaded);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&config);
  const auto* old = reinterpret_cast<const std::uint8_t*>(&before);
  EXPECT_EQ(raw[963], 0x33);
  EXPECT_EQ(std::memcmp(raw + 964, old + 964, 1912 - 964), 0);
  // Bytes after the 1948th are never read, however many follow (a sparse terabyte here).
  Spit(dir.file("long.dat"), Header(1) + std::string(1912, '\x44'));
  fs::resize_file(dir.file("long.dat"), std::uintmax_t{1} << 40);
  EXPECT_EQ(ReadDataFile(dir.file("long.dat"), config), LoadOutcome::Loaded);
  EXPECT_EQ(raw[1911], 0x44);
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

TEST(DataFile, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const UnitConfiguration first = Unusual();
  ASSERT_TRUE(WriteDataFile(dir.file("unit.dat"), first).ok);
  const std::string good = Slurp(dir.file("unit.dat"));

  // The temporary name is taken by a folder: the write cannot start, the old file stands.
  fs::create_directory(dir.file("unit.dat.saving"));
  UnitConfiguration second{};
  SetDefaults(second);
  const SaveResult blocked = WriteDataFile(dir.file("unit.dat"), second);
  EXPECT_FALSE(blocked.ok);
  EXPECT_FALSE(blocked.reason.empty());
  EXPECT_EQ(Slurp(dir.file("unit.dat")), good);

  const SaveResult nowhere = WriteDataFile(dir.file("no-such-folder/unit.dat"), second);
  EXPECT_FALSE(nowhere.ok);
  EXPECT_NE(nowhere.reason.find("No such file or directory"), std::string::npos) << nowhere.reason;
}

TEST(DataFile, LoadButtonAppliesWhatWasLoadedAndAlwaysTheEndpoint) {
  Rig rig;
  UnitConfiguration file{};
  SetDefaults(file);
  WriteText(file.IPAddress, "127.0.0.1");
  file.Port = 70000;
  WriteText(file.InputDesignator[2], "Pump 3");
  const std::string path = (rig.directory / "unit.dat").string();
  ASSERT_TRUE(WriteDataFile(path, file).ok);

  // Cancelled dialog: no caption changes, the endpoint is applied again all the same.
  rig.view.inputLabels[2] = "unchanged";
  rig.endpoint.SetRemote("", 0);
  rig.prompts.openNames.push_back(std::nullopt);
  rig.core.LoadButtonClick();
  EXPECT_EQ(rig.view.inputLabels[2], "unchanged");
  UnitConfiguration defaults{};
  SetDefaults(defaults);
  EXPECT_EQ(rig.endpoint.host(), ReadText(defaults.IPAddress));
  EXPECT_TRUE(rig.prompts.errors.empty());

  rig.prompts.openNames.push_back(path);
  rig.core.LoadButtonClick();
  EXPECT_EQ(rig.view.inputLabels[2], "Pump 3");
  EXPECT_EQ(rig.endpoint.host(), "127.0.0.1");
  EXPECT_EQ(rig.endpoint.port(), 4464);  // the low 16 bits of 70000
  EXPECT_FALSE(rig.endpoint.IsOpen());   // a load neither connects nor disconnects

  // A refused file: one error box with its message, the configuration kept.
  rig.prompts.openNames.push_back((rig.directory / "missing.dat").string());
  rig.core.LoadButtonClick();
  EXPECT_EQ(rig.prompts.errors, std::vector<std::string>{"Error Opening File."});
  EXPECT_EQ(ReadText(rig.core.Configuration.InputDesignator[2]), "Pump 3");
}
