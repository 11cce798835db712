#include "logreport/LogParser.h"

#include "logreport/BigVector.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logreport {
namespace {
static_assert(LogDesignatorLimit == 34, "ProblemText names the limit");

// Where the entry starts: the last time stamp in the line. A designator never holds a whole
// time stamp after some other text, so a later one means a torn entry ran into the next. A
// designator that is itself shaped like a time stamp (one right after the line's own stamp)
// stays the designator when the whole line reads as an entry. NoStart when there is none.
// (A plain number: an optional, stored in two halves and read whole, stalls the processor.)
constexpr std::size_t NoStart = std::string_view::npos;

// Whether two dates' ten bytes are the same, read as two overlapping words rather than by a
// call: it is asked of every line.
bool SameDate(const char* a, const char* b) {
  static_assert(TimeStampDateLength == 10);
  std::uint64_t a0 = 0, a1 = 0, b0 = 0, b1 = 0;
  std::memcpy(&a0, a, 8);
  std::memcpy(&a1, a + 2, 8);
  std::memcpy(&b0, b, 8);
  std::memcpy(&b1, b + 2, 8);
  return a0 == b0 && a1 == b1;
}

// Whether bytes hold a comma or a NUL, read eight at a time: asked of nearly every line. A
// word holds a zero byte exactly when subtracting one from each byte borrows into a top bit
// that was clear.
bool HoldsCommaOrNul(std::string_view bytes) {
  constexpr std::uint64_t Ones = 0x0101010101010101U, Tops = 0x8080808080808080U, Commas = Ones * ',';
  const auto zeroIn = [](std::uint64_t word) { return ((word - Ones) & ~word & Tops) != 0; };
  const auto holds = [&](const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, 8);
    return zeroIn(word) || zeroIn(word ^ Commas);
  };
  if (bytes.size() < 8) return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c == ',' || c == '\0'; });
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8)
    if (holds(bytes.data() + at)) return true;
  // The last eight bytes, some of them looked at twice.
  return at < bytes.size() && holds(bytes.data() + bytes.size() - 8);
}

// Whether the bytes of text between its first and last eight are those at the same places
// of other, read eight at a time (the last word read overlaps those before it).
bool SameMiddle(std::string_view text, const char* other) {
  const auto word = [](const char* at) {
    std::uint64_t value = 0;
    std::memcpy(&value, at, 8);
    return value;
  };
  if (text.size() <= 16) return true;
  const std::size_t lastWord = text.size() - 16;
  for (std::size_t at = 8; at < lastWord; at += 8)
    if (word(text.data() + at) != word(other + at)) return false;
  return word(text.data() + lastWord) == word(other + lastWord);
}

// Where the first of a byte is in some bytes, or npos: most lines are some forty bytes, for
// which a search's call and set-up cost more than its looking, done here sixteen at a time.
std::size_t Find(std::string_view bytes, char byte) {
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; at + 16 <= bytes.size(); at += 16) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
    if (const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, wanted)); found != 0)
      return at + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(found)));
  }
#endif
  const void* found = std::memchr(bytes.data() + at, byte, bytes.size() - at);
  return found == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
}

std::size_t EntryStart(std::string_view line) {
  std::size_t start = NoStart;
  std::size_t from = TimeStampDateLength;
  if (StartsWithTimeStamp(line)) {
    start = 0;
    from = TimeStampLength;
  }
  while (from < line.size()) {
    const void* comma = std::memchr(line.data() + from, ',', line.size() - from);
    if (comma == nullptr) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(comma) - line.data());
    const std::size_t candidate = at - TimeStampDateLength;
    if (at >= TimeStampDateLength && StartsWithTimeStamp(line.substr(candidate))) {
      bool designator = false;
      if (candidate == TimeStampLength && start == 0) {
        const std::optional<EventText> whole = ParseEventText(line.substr(TimeStampLength));
        designator = whole && (!whole->designator || whole->designator->size() <= LogDesignatorLimit);
      }
      if (!designator) start = candidate;
    }
    from = at + 1;
  }
  return start;
}
}  // namespace

std::string_view ProblemText(Problem problem) {
  switch (problem) {
    case Problem::TornAtEnd: return "torn: no CR LF at the end of the file";
    case Problem::TornBeforeEntry: return "torn entry run into the next one (the whole entry after it is read)";
    case Problem::NoTimeStamp: return "no date and time at the start";
    case Problem::UnknownText: return "not an event the panel writes";
    case Problem::NameTooLong: return "name longer than 34 bytes";
    case Problem::NulBytes: return "holds NUL bytes";
    case Problem::Empty: return "empty line";
    case Problem::OutsideFileDay: return "dated outside its file's day";
    case Problem::CrOnly: return "lines end in CR alone, not CR LF (read as lines all the same)";
    case Problem::TooLong: return "longer than any entry (more than 4096 bytes), skipped";
  }
  return "?";
}

LogReader::LogReader(EntrySink* sink) : sink_(sink) {
  // A batch's room, taken whole and at once rather than grown.
  if (sink_ == nullptr) return;
  data_.entries.reserve(EntriesAtOnce);
  PrefaultRoom(data_.entries.data(), EntriesAtOnce * sizeof(Entry));
}

LogReader::RecentText* LogReader::RecentSlot(std::string_view text) {
  if (text.size() < 8 || text.size() > std::tuple_size_v<decltype(RecentText::bytes)>) return nullptr;
  std::uint64_t head = 0, tail = 0;
  std::memcpy(&head, text.data(), 8);
  std::memcpy(&tail, text.data() + text.size() - 8, 8);
  RecentText& slot = recentTexts_[((head * 0x9E3779B97F4A7C15U) ^ (tail * 0xC2B2AE3D27D4EB4FU) ^ text.size()) >> 56];
  if (slot.head != head || slot.tail != tail) {
    // Taken for this text, which fills it when read.
    slot.head = head;
    slot.tail = tail;
    slot.size = 0;
  }
  return &slot;
}

std::uint32_t LogReader::NameIndex(std::string_view name) {
  if (const auto found = index_.find(name); found != index_.end()) return found->second;
  const auto index = static_cast<std::uint32_t>(data_.names.size());
  data_.names.emplace_back(name);
  index_.emplace(std::string(name), index);
  return index;
}

void LogReader::AddFile(const LogFile& file, std::string_view bytes) {
  BeginFile(file);
  Feed(bytes);
  EndFile();
}

void LogReader::BeginFile(const LogFile& file) {
  static_assert(MaxFiles > 36525, "every day of 2000 to 2099 once");
  if (data_.files.size() >= MaxFiles) throw std::length_error("more log files than a reader counts");
  fileIndex_ = static_cast<std::uint32_t>(data_.files.size());
  data_.files.push_back(file);
  fileDay_ = file.day;
  number_ = 0;
  lineEnd_ = 0;
  partial_.clear();
  overlong_ = false;
}

void LogReader::EndLine(std::string_view line) {
  ++number_;
  ++data_.lines;
  if (overlong_) {
    data_.problems.push_back({fileIndex_, number_, Problem::TooLong});
    overlong_ = false;
    return;
  }
  if (lineEnd_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  AddLine(line, fileIndex_, number_, fileDay_);
}

bool LogReader::LineEndSeen(std::string_view seen) {
  // The panel ends its lines in CR LF; a file whose first CR is not followed by LF, with no
  // LF before it, ends them in CR alone (an editor or a transfer changed it).
  const std::size_t cr = seen.find('\r'), lf = seen.find('\n');
  const bool lfFirst = lf != std::string_view::npos && (cr == std::string_view::npos || lf < cr);
  if (!lfFirst && cr != std::string_view::npos && cr + 1 < seen.size()) {
    lineEnd_ = seen[cr + 1] == '\n' ? '\n' : '\r';
    if (lineEnd_ == '\r') data_.problems.push_back({fileIndex_, 1, Problem::CrOnly});
  } else if (lfFirst || seen.size() > MaxLineBytes) {
    lineEnd_ = '\n';  // CR LF, or no line end in more than a line holds: the overlong case below
  }
  return lineEnd_ != 0;
}

void LogReader::Feed(std::string_view bytes) {
  if (lineEnd_ == 0) {
    // The first bytes of a file wait until they show which line end it uses; a piece that
    // shows it by itself is read where it is.
    if (partial_.empty() && LineEndSeen(bytes)) return Feed(bytes);
    partial_.append(bytes);
    if (!LineEndSeen(partial_)) return;
    std::string held = std::move(partial_);
    partial_.clear();
    Feed(held);
    return;
  }
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t found = Find(bytes.substr(at), lineEnd_);
    if (found == std::string_view::npos) {
      // A line the next piece ends. Only its first MaxLineBytes are kept.
      const std::string_view rest = bytes.substr(at);
      if (!overlong_) {
        if (partial_.size() + rest.size() > MaxLineBytes) {
          overlong_ = true;
          partial_.clear();
        } else {
          partial_.append(rest);
        }
      }
      return;
    }
    const std::size_t stop = at + found;
    const std::string_view piece = bytes.substr(at, stop - at);
    if (!partial_.empty()) {
      if (!overlong_ && partial_.size() + piece.size() > MaxLineBytes) overlong_ = true;
      partial_.append(overlong_ ? std::string_view{} : piece);
      EndLine(partial_);
      partial_.clear();
    } else {
      if (piece.size() > MaxLineBytes) overlong_ = true;
      EndLine(piece);
    }
    at = stop + 1;
  }
}

void LogReader::EndFile() {
  if (lineEnd_ == 0 && !partial_.empty()) {
    std::string held = std::move(partial_);
    partial_.clear();
    lineEnd_ = held.back() == '\r' && held.find('\r') == held.size() - 1 ? '\r' : '\n';
    if (lineEnd_ == '\r') data_.problems.push_back({fileIndex_, 1, Problem::CrOnly});
    Feed(held);
  }
  if (!partial_.empty() || overlong_) {
    // The panel writes each entry whole with its line end, so a line without one was cut off.
    ++number_;
    ++data_.lines;
    data_.problems.push_back({fileIndex_, number_, overlong_ ? Problem::TooLong : Problem::TornAtEnd});
  }
  partial_.clear();
  overlong_ = false;
  Flush();
}

void LogReader::Flush() {
  if (sink_ == nullptr || data_.entries.empty()) return;
  sink_->TakeList(data_, data_.entries);
  data_.entries.clear();
}

void LogReader::AddRead(std::span<const Entry> entries, std::uint16_t file, std::span<const std::uint32_t> names,
                        std::span<const LineProblem> problems, std::uint64_t lines) {
  data_.problems.insert(data_.problems.end(), problems.begin(), problems.end());
  data_.lines += lines;
  if (sink_ != nullptr) {
    Flush();
    if (!entries.empty()) sink_->TakeRead(data_, entries, file, names);
  } else {
    for (const Entry& entry : entries) data_.entries.push_back(ReadHere(entry, file, names));
  }
}

void LogReader::AddLine(std::string_view line, std::uint32_t file, std::uint32_t number, Day fileDay) {
  const auto fail = [&](Problem problem) { data_.problems.push_back({file, number, problem}); };
  if (line.empty()) return fail(Problem::Empty);
  // Most lines are a time stamp and a text without a comma or a NUL byte, with no search for
  // where the entry starts; and most repeat a text read lately, known by its bytes, whose
  // commas and NUL bytes are known with it.
  std::string_view text;
  RecentText* seen = nullptr;
  bool known = false;
  const auto lookUp = [&](std::string_view after) {
    text = after;
    seen = RecentSlot(text);
    known = seen != nullptr && seen->size == text.size() && SameMiddle(text, seen->bytes.data());
  };
  const bool stamped = StartsWithTimeStamp(line);
  if (stamped) lookUp(line.substr(TimeStampLength));
  const bool plain = stamped && (known ? seen->plain : !HoldsCommaOrNul(text));
  const std::size_t start = plain ? 0 : EntryStart(line);
  if (start == NoStart) return fail(Problem::NoTimeStamp);
  const std::string_view entry = line.substr(start);
  // The date: most lines carry the same date as the one before, and only the time is read.
  if (!SameDate(entry.data(), cachedDate_)) {
    const LocalTime date = ReadTimeStamp(entry);
    const std::optional<Day> day = DayOf(date.year, date.month, date.day);
    if (!day) return fail(Problem::NoTimeStamp);
    std::memcpy(cachedDate_, entry.data(), TimeStampDateLength);
    cachedDay_ = *day;
  }
  const TimeOfDay stamp = ReadTimeOfDay(entry);
  if (stamp.hour > 23 || stamp.minute > 59 || stamp.second > 59) return fail(Problem::NoTimeStamp);
  if (cachedDay_ != fileDay && cachedDay_ != fileDay - 1) return fail(Problem::OutsideFileDay);

  Entry out;
  out.time = cachedDay_ * SecondsPerDay + static_cast<Seconds>(stamp.hour) * 3600 +
             static_cast<Seconds>(stamp.minute) * 60 + stamp.second;
  out.file = static_cast<std::uint16_t>(file);  // under MaxFiles
  out.line = number;
  if (start > 0) lookUp(entry.substr(TimeStampLength));
  if (!plain && !known && std::memchr(text.data(), '\0', text.size()) != nullptr) return fail(Problem::NulBytes);

  // A text not read lately is matched to the table and its name looked up, and kept for the
  // next time.
  if (known) {
    out.kind = seen->kind;
    out.name = seen->name;
  } else {
    const EventLogText* event = MatchEventText(text);
    if (event == nullptr) return fail(Problem::UnknownText);
    out.kind = event->kind;
    if (event->channel != LogChannel::None) {
      const std::size_t designator = text.size() - event->text.size();
      if (designator > LogDesignatorLimit) return fail(Problem::NameTooLong);
      out.name = NameIndex(text.substr(0, designator));
    }
    if (seen != nullptr) {
      seen->size = static_cast<std::uint32_t>(text.size());
      seen->name = out.name;
      seen->kind = out.kind;
      seen->plain = plain || !HoldsCommaOrNul(text);
      std::memcpy(seen->bytes.data(), text.data(), text.size());
    }
  }
  if (start > 0) fail(Problem::TornBeforeEntry);
  data_.entries.push_back(out);
  // A batch that stays in the cache, its room used again for the next.
  if (sink_ != nullptr && data_.entries.size() == EntriesAtOnce) Flush();
}

}  // namespace logreport
