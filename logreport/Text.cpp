#include "logreport/Text.h"

#include "config/CodePage.h"

#include <cstdint>

namespace logreport {
namespace {
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}
}  // namespace

void AppendDisplayText(std::string& out, std::string_view bytes) {
  for (const char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    if (byte < 0x80 && byte >= 0x20 && byte != 0x7F) {
      out.push_back(b);
      continue;
    }
    if (byte >= 0x20 && byte != 0x7F && !AnsiUndefined(byte)) {
      AppendUtf8(out, AnsiCharacter(byte));
    } else {
      constexpr char hex[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(hex[byte >> 4]);
      out.push_back(hex[byte & 15]);
    }
  }
}

std::string DisplayText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  AppendDisplayText(out, bytes);
  return out;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (const char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  return width;
}

std::string ToLogBytes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return std::string(text);
    char32_t c = lead & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::string(text);
      c = (c << 6) | (next & 0x3F);
    }
    // A character below 0x80 written in more bytes than it needs is not UTF-8.
    const std::optional<unsigned char> byte = c >= 0x80 ? AnsiByte(c) : std::nullopt;
    if (!byte || AnsiUndefined(*byte)) return std::string(text);
    out.push_back(static_cast<char>(*byte));
    i += length;
  }
  return out;
}

}  // namespace logreport
