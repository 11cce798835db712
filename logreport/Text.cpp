#include "logreport/Text.h"

#include <cstdint>

namespace logreport {
namespace {
// 0x80 to 0x9F; 0 marks the bytes the code page leaves undefined.
constexpr char16_t High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CharacterOf(unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) return 0;
  if (byte >= 0x80 && byte < 0xA0) return High[byte - 0x80];
  return byte;
}

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
    const char32_t c = CharacterOf(byte);
    if (c != 0) {
      AppendUtf8(out, c);
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
    int byte = -1;
    if (c >= 0xA0 && c <= 0xFF) byte = static_cast<int>(c);
    for (int k = 0; k < 32 && byte < 0; ++k)
      if (High[k] != 0 && High[k] == c) byte = 0x80 + k;
    if (byte < 0) return std::string(text);
    out.push_back(static_cast<char>(byte));
    i += length;
  }
  return out;
}

}  // namespace logreport
