// The log report against odd files and odd places: a huge sparse file, names that look like a
// day's log, a file that cannot be read, outputs behind links and on devices, lines ending in
// CR alone, a line read in pieces, and a designator shaped like a time stamp.
#include "logreport/LogFolder.h"
#include "logreport/Run.h"
#include "logreport/Text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
using namespace logreport;
namespace fs = std::filesystem;

struct Folder {
  fs::path root = fs::temp_directory_path() / ("qmx-log-files-" + std::to_string(getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  Folder() { fs::create_directories(root); }
  ~Folder() {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
  }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(root / name, std::ios::binary) << bytes;
  }
  [[nodiscard]] std::string Read(const std::string& name) const {
    std::ifstream in(root / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

const std::string Day1 = "05/12/2026,08:00:00,Application Started\r\n05/12/2026,09:00:00,Door Alarm\r\n";
const std::string Day2 = "06/12/2026,09:00:00,Door Alarm Accept\r\n";

std::string Entries(const LogData& log) {
  std::string text;
  for (const Entry& e : log.entries)
    text += FormatDateTime(e.time) + (e.kind == LogEntryKind::Alarm ? " A " + log.names[e.name] : " x") + "\n";
  for (const LineProblem& p : log.problems)
    text += "line " + std::to_string(p.line) + ": " + std::string(ProblemText(p.problem)) + "\n";
  return text;
}

// The same entries however the bytes arrive: whole, or a few bytes at a time.
TEST(LogFiles, ReadsLinesInPiecesWithCrOnlyEndingsOverlongLinesAndStampedNames) {
  const std::string overlong = "05/12/2026,09:00:03," + std::string(5000, 'x') + " Alarm\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    const char* entries;
  } const cases[] = {
      {"CR LF", Day1, "05/12/2026 08:00:00 x\n05/12/2026 09:00:00 A Door\n"},
      {"CR alone", "05/12/2026,09:00:00,Door Alarm\r05/12/2026,09:00:01,Pump Alarm\r",
       "05/12/2026 09:00:00 A Door\n05/12/2026 09:00:01 A Pump\n"
       "line 1: lines end in CR alone, not CR LF (read as lines all the same)\n"},
      {"overlong", "05/12/2026,09:00:00,Door Alarm\r\n" + overlong + "05/12/2026,09:00:04,Pump Alarm\r\n",
       "05/12/2026 09:00:00 A Door\n05/12/2026 09:00:04 A Pump\n"
       "line 2: longer than any entry (more than 4096 bytes), skipped\n"},
      {"overlong at the end", "05/12/2026,09:00:00,Door Alarm\r\n" + std::string(9000, 'y'),
       "05/12/2026 09:00:00 A Door\nline 2: longer than any entry (more than 4096 bytes), skipped\n"},
      {"a name shaped like a time stamp", "05/12/2026,09:00:05,01/02/2026,03:04:05, Alarm\r\n",
       "05/12/2026 09:00:05 A 01/02/2026,03:04:05,\n"},
      {"a torn entry still", "05/12/2026,09:00:05,Door Al05/12/2026,09:00:06,Pump Alarm\r\n",
       "05/12/2026 09:00:06 A Pump\nline 1: torn entry run into the next one (the whole entry after it is read)\n"},
  };
  for (const Case& c : cases) {
    // Pieces about the sixteen bytes a line end is looked for at once, too.
    for (const std::size_t piece : {c.bytes.size(), std::size_t{1}, std::size_t{7}, std::size_t{15}, std::size_t{16},
                                    std::size_t{17}, std::size_t{33}, std::size_t{4097}}) {
      LogReader reader;
      reader.BeginFile({"261205.csv", *ParseFileDay("261205")});
      for (std::size_t at = 0; at < c.bytes.size(); at += piece)
        reader.Feed(std::string_view(c.bytes).substr(at, piece));
      reader.EndFile();
      EXPECT_EQ(Entries(reader.Take()), c.entries) << c.what << ", pieces of " << piece;
    }
  }
}

// Only "yymmdd.csv" is read; other names of that look are named. A file far larger than a
// day's log (a sparse one here) is named and skipped, and the report says it is incomplete.
TEST(LogFiles, ReadsThePanelsNamesOnlyAndSkipsAHugeFileByName) {
  Folder folder;
  folder.Write("261205.csv", Day1);
  folder.Write("261205.CSV", Day1);
  folder.Write("991332.csv", Day1);
  folder.Write("2612061.csv", Day2);
  folder.Write("notes.csv", "");
  fs::create_directory(folder.root / "261207.csv");
  folder.Write("261206.csv", "");
  fs::resize_file(folder.root / "261206.csv", std::uintmax_t{64} << 30);

  Options options;
  options.folder = folder.root.string();
  const RunOutcome outcome = RunReport(options, {}, 0);
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.error,
            "Not read:   1 day's file: this report is incomplete\n"
            "  261206.csv: 68719476736 bytes, far more than a day's log can hold (at most 256 MiB)");
  const std::string head = outcome.text.substr(0, outcome.text.find("\nAgainst"));
  EXPECT_EQ(head.substr(head.find("Period:")),
            "Period:     05/12/2026 to 06/12/2026, 2 days; 1 file, 2 lines\n"
            "Not read:   1 day's file: this report is incomplete\n"
            "  261206.csv: 68719476736 bytes, far more than a day's log can hold (at most 256 MiB)\n"
            "Not read:   4 files look like a day's log but the panel does not write that name\n"
            "  261205.CSV: not named as the panel names its files (yymmdd.csv, in small letters)\n"
            "  2612061.csv: 7 digits, not yymmdd\n"
            "  261207.csv: not a regular file\n"
            "  991332.csv: no such date\n");
}

// A day's file that cannot be opened leaves the rest of the report, and status 3.
TEST(LogFiles, AnUnreadableDayIsNamedAndTheRestReported) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  Folder folder;
  folder.Write("261205.csv", Day1);
  folder.Write("261206.csv", Day2);
  fs::permissions(folder.root / "261206.csv", fs::perms::none);
  Options options;
  options.folder = folder.root.string();
  const RunOutcome outcome = RunReport(options, {}, 0);
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.error, "Not read:   1 day's file: this report is incomplete\n  261206.csv: Permission denied");
  EXPECT_NE(outcome.text.find("Alarms per channel"), std::string::npos);
  EXPECT_EQ(outcome.text.find("No file:"), std::string::npos);
}

// Everything a reader keeps, names and files by their text.
std::string Whole(const LogData& log) {
  std::string text = std::to_string(log.lines) + " lines\n";
  for (const LogFile& f : log.files) text += f.name + "\n";
  for (const Entry& e : log.entries)
    text += FormatDateTime(e.time) + " " + std::to_string(static_cast<int>(e.kind)) + " " +
            (HasName(e.kind) ? log.names.at(e.name) : "-") + " " + log.files.at(e.file).name + ":" +
            std::to_string(e.line) + "\n";
  for (const LineProblem& p : log.problems)
    text += log.files.at(p.file).name + ":" + std::to_string(p.line) + " " + std::string(ProblemText(p.problem)) + "\n";
  return text;
}

// Files read side by side, on threads of their own, come out as one reader reads them: names
// first met in later files, a file of many pieces, CR-only and torn files, an empty one, and
// files that cannot be read at all, whose reading never begins.
TEST(LogFiles, ReadsFilesSideBySideAsOneReaderDoes) {
  Folder folder;
  std::string many;
  for (int i = 0; i < 9000; ++i) many += "07/12/2026,10:00:00,Valve " + std::to_string(i % 40) + " Alarm\r\n";
  folder.Write("261205.csv", Day1);
  folder.Write("261206.csv", Day2 + "06/12/2026,09:00:01,Pump Alarm\r06/12/2026,09:00:02,Pump Alarm\r");
  folder.Write("261207.csv", many + "07/12/2026,11:00:00,Door Al");
  folder.Write("261208.csv", "");
  fs::create_directory(folder.root / "261209.csv");
  folder.Write("261210.csv", "10/12/2026,08:00:00,Comms Lost\r\n10/12/2026,08:00:01,Tank Alarm\r\n");
  folder.Write("261211.csv", "");
  fs::resize_file(folder.root / "261211.csv", std::uintmax_t{1} << 30);
  folder.Write("261212.csv", "12/12/2026,08:00:00,Door Alarm Reset\r\n12/12/2026,08:00:01,Gate Alarm\r\n");
  std::vector<LogFile> files;
  for (int day = 5; day <= 12; ++day) {
    const std::string name = (day < 10 ? "26120" : "2612") + std::to_string(day) + ".csv";
    files.push_back({name, *FileDayOf(name)});
  }

  LogReader alone;
  const std::vector<SkippedFile> unreadAlone = ReadLogFiles(folder.root.string(), files, alone, 0);
  const std::string expected = Whole(alone.Take());
  ASSERT_EQ(unreadAlone.size(), 2u);
  EXPECT_EQ(unreadAlone[0].name + ": " + unreadAlone[0].reason, "261209.csv: not a regular file");
  EXPECT_EQ(unreadAlone[1].name, "261211.csv");
  for (const unsigned side : {1U, 2U, 3U, 8U}) {
    LogReader reader;
    const std::vector<SkippedFile> unread = ReadLogFiles(folder.root.string(), files, reader, side);
    EXPECT_EQ(Whole(reader.Take()), expected) << side << " side readers";
    ASSERT_EQ(unread.size(), 2u);
    EXPECT_EQ(unread[0].reason, unreadAlone[0].reason);
    EXPECT_EQ(unread[1].reason, unreadAlone[1].reason);
  }
}

// Outputs: through a link (the link stays, its file is replaced), onto a device where it is
// (never replaced), into a regular file whole with no scratch file left beside it.
TEST(LogFiles, WritesThroughLinksOntoDevicesAndReplacesFilesWhole) {
  Folder folder;
  folder.Write("target.csv", "old");
  fs::create_symlink("target.csv", folder.root / "link.csv");
  fs::create_symlink("/dev/null", folder.root / "null");
  struct Case {
    const char* path;
    const char* holds;  // what the path reads as afterwards
  } const cases[] = {{"link.csv", "new"}, {"null", ""}, {"plain.csv", "new"}};
  for (const Case& c : cases) {
    const Result written = WriteReportFile((folder.root / c.path).string(), "new");
    EXPECT_TRUE(written.ok) << c.path << ": " << written.error;
    EXPECT_EQ(folder.Read(c.path), c.holds) << c.path;
  }
  EXPECT_TRUE(fs::is_symlink(folder.root / "link.csv"));
  EXPECT_TRUE(fs::is_symlink(folder.root / "null"));
  EXPECT_EQ(folder.Read("target.csv"), "new");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.root)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link.csv", "null", "plain.csv", "target.csv"}));

  const Result failed = WriteReportFile((folder.root / "no-folder" / "x.csv").string(), "new");
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("no-folder/x.csv: "), std::string::npos) << failed.error;
}

}  // namespace
