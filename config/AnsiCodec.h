// The 8-bit codec at the widget boundary: the panel's code page (config/CodePage.h), with the
// five bytes it leaves undefined as their C1 control characters, so every byte survives a
// round trip through a widget.
#pragma once

#include <QString>

#include <string>
#include <string_view>

[[nodiscard]] QString FromAnsi(std::string_view bytes);
// Characters the code page cannot hold become "?".
[[nodiscard]] std::string ToAnsi(const QString& text);
