// The panel's 8-bit code page, Windows-1252: the one table of its characters, read by the
// widgets' codec (AnsiCodec) and by the log report's text. The five bytes the page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the matching C1 control characters; each
// side decides how to show them.
#pragma once

#include <optional>

// The character of a byte: 0x80 to 0x9F as the page has them, every other byte as in Latin-1.
[[nodiscard]] char16_t AnsiCharacter(unsigned char byte);
// The byte that holds a character, or nothing for one the page lacks.
[[nodiscard]] std::optional<unsigned char> AnsiByte(char32_t character);
// One of the five bytes the page leaves undefined.
[[nodiscard]] bool AnsiUndefined(unsigned char byte);
