// The shape of the panel's main window, which the bare comparison program (bare_panel.cpp)
// copies so that their running figures compare like with like. panel_bench checks the count
// against the real window.
#pragma once

inline constexpr int PanelWindowWidth = 899;
inline constexpr int PanelWindowHeight = 517;
// QWidget descendants of the main window: 11 frames, 5 push buttons, 16 glass buttons,
// 17 status indicators, 8 bar indicators, 34 labels (16 input names, 8 analogue names,
// 8 analogue values, the link status).
inline constexpr int PanelWindowWidgets = 91;
