#include "link/ReportParser.h"

#include "link/LinkState.h"
#include "link/Messages.h"

#include <cstddef>
#include <cstring>
#include <span>

namespace {
// The working buffer holds 510 characters and a NUL; a longer datagram is cut there.
constexpr std::size_t WorkingBufferSize = 511;
constexpr std::size_t MaxTextLength = WorkingBufferSize - 1;
constexpr int MaxAnalogueDigits = 4;

// The received text as the parser sees it: cut at 510 characters, then at the first NUL.
// Reading at or past the end yields End, so skipping a separator that is not there is harmless.
class WorkingText {
 public:
  static constexpr int End = -1;

  explicit WorkingText(std::string_view received) : text_(received.substr(0, MaxTextLength)) {
    if (const auto nul = text_.find('\0'); nul != std::string_view::npos) text_ = text_.substr(0, nul);
  }
  [[nodiscard]] int At(std::size_t position) const {
    return position < text_.size() ? static_cast<unsigned char>(text_[position]) : End;
  }
  [[nodiscard]] std::size_t size() const { return text_.size(); }

 private:
  std::string_view text_;
};

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// N "," at the start of the text, N compared byte for byte; the "," ends the text's name part,
// so a name that itself holds a "," can never match.
bool NameMatches(const WorkingText& text, std::string_view name) {
  for (std::size_t i = 0;; ++i) {
    const int c = text.At(i);
    const bool textEnds = c == ',' || c == WorkingText::End;
    const bool nameEnds = i == name.size();
    if (textEnds || nameEnds) return textEnds && nameEnds && c == ',';
    if (c != static_cast<unsigned char>(name[i])) return false;
  }
}

// 16 characters of "0"/"1" into bits; false at the first other character (or the end), with
// the positions before it already stored.
bool ReadBits(const WorkingText& text, std::size_t& position, std::span<std::uint8_t, 16> bits) {
  for (std::uint8_t& bit : bits) {
    const int c = text.At(position++);
    if (c == '1') {
      bit = 1;
    } else if (c == '0') {
      bit = 0;
    } else {
      return false;
    }
  }
  return true;
}
}  // namespace

ParseOutcome ParseReport(std::string_view received, const UnitConfiguration& config, UnitEndpoint& endpoint,
                         ReportedValues& values, std::int32_t& LinkTimeoutCountdown) {
  const WorkingText text(received);
  const std::string_view name(config.DeviceName, strnlen(config.DeviceName, sizeof config.DeviceName));
  if (!NameMatches(text, name)) return ParseOutcome::Ignored;

  std::size_t position = name.size() + 1;
  // The acknowledgement leaves before any field is read, even if a later field is bad.
  if (text.At(position++) == 'U' && !endpoint.Send(Acknowledgement(name).Text()).ok) return ParseOutcome::AckFailed;
  ++position;  // separator, not examined

  if (!ReadBits(text, position, values.ReportedInputs)) return ParseOutcome::Stopped;
  ++position;
  if (!ReadBits(text, position, values.ReportedOutputs)) return ParseOutcome::Stopped;
  ++position;

  static constexpr Extended c = ReciprocalOf1023();  // read from its constant, not a stack copy
  // Field k starts at position; position == size() is an empty last field ended by the end of
  // the text, past it the field is missing and keeps its stored value.
  for (int k = 0; k < AnalogueInputCount && position <= text.size(); ++k) {
    std::int32_t raw = 0;
    for (int digits = 0; digits < MaxAnalogueDigits && IsDigit(text.At(position)); ++digits)
      raw = raw * 10 + (text.At(position++) - '0');
    while (IsDigit(text.At(position))) ++position;  // digits past the fourth: the field is read as its first four
    ++position;                                     // the character that ended the field
    values.AnalogueRaw[k] = raw;
    values.AnalogueValue[k].AssignProductOf(raw, config.AnalogueScaling[k], c);
  }

  LinkTimeoutCountdown = SecondsToTicks(config.UpdatePeriod);
  return ParseOutcome::Accepted;
}
