// Recordings of the unit's traffic, kept by --record and played back by --replay. Plain
// text, one line per datagram:
//
//   MS DIR ADDRESS:PORT BYTES
//
// MS is whole milliseconds since the unit started; DIR is "<-" for a datagram the unit
// received and "->" for one it sent; ADDRESS:PORT is the other side (the panel); BYTES is
// the datagram, each byte from 0x21 to 0x7E other than the backslash as itself and every
// other byte (space, backslash, controls, NUL, 0x7F to 0xFF) as \xHH, two upper-case hex
// digits. Fields are separated by one space; an empty datagram has no fourth field. Blank
// lines and lines starting with '#' are comments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t MaxDatagramSize = 65507;  // the most one UDP datagram over IPv4 holds

enum class Direction { Received, Sent };

struct RecordedDatagram {
  std::int64_t ms = 0;
  Direction direction = Direction::Received;
  std::string peer;  // ADDRESS:PORT
  std::string bytes;
};

[[nodiscard]] std::string EscapeBytes(std::string_view bytes);
// nullopt for a text that EscapeBytes could not have written (a blank, a lone backslash, ...);
// lower-case hex digits are taken too.
[[nodiscard]] std::optional<std::string> UnescapeBytes(std::string_view text);

// One line, without its newline.
[[nodiscard]] std::string FormatRecordLine(const RecordedDatagram& datagram);

// What --replay makes of a recording.
struct ReplayPlan {
  struct Send {
    std::int64_t offsetMs = 0;  // after the anchor
    std::string bytes;
  };
  std::string anchor;         // the first datagram the unit received; the replay waits for it
  std::vector<Send> sends;    // the unit's datagrams from the anchor on
  std::int64_t lengthMs = 0;  // from the anchor to the last datagram of the recording
  std::size_t skipped = 0;    // sent before the anchor, so not replayed
  std::string error;          // "FILE:LINE: why" when the file is refused
};

// `name` only labels the messages: "NAME:LINE: why".
[[nodiscard]] ReplayPlan ParseRecording(std::string_view text, const std::string& name);
[[nodiscard]] ReplayPlan LoadReplay(const std::string& path);
