// The log's 8-bit text as UTF-8 for people to read, and the reverse for a name typed on the
// command line. The characters are the panel's code page's (config/CodePage.h).
#pragma once

#include <string>
#include <string_view>

namespace logreport {

// Windows-1252 to UTF-8. Control bytes (below 0x20, 0x7F) and the five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) show as "\xNN", so nothing in a report can
// move a terminal's cursor or break a page; every other byte becomes its character.
void AppendDisplayText(std::string& out, std::string_view bytes);
[[nodiscard]] std::string DisplayText(std::string_view bytes);
// Characters in the text as shown (for lining up columns).
[[nodiscard]] std::size_t DisplayWidth(std::string_view utf8);

// UTF-8 back to the code page's bytes; text that is not UTF-8, or holds a character the code
// page lacks, is taken byte for byte.
[[nodiscard]] std::string ToLogBytes(std::string_view text);

}  // namespace logreport
