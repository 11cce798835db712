// The one 8-bit codec at the widget boundary: Windows-1252, with the five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) mapped to the matching C1 control characters, so
// every byte survives a round trip through a widget.
#pragma once

#include <QString>

#include <string>
#include <string_view>

[[nodiscard]] QString FromAnsi(std::string_view bytes);
// Characters the code page cannot hold become "?".
[[nodiscard]] std::string ToAnsi(const QString& text);
