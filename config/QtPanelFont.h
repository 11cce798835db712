// The one font of the panel's windows, so the main window and the settings editor look like
// one program.
#pragma once

#include <QFont>

// Tahoma, 11 pixels high (8 point at 96 dots per inch). Where Tahoma is missing, a sans font
// of similar width stands in (installed here as its substitutes), so captions such as
// "Connection Lost" still fit their 82-pixel label.
[[nodiscard]] QFont PanelFont();
