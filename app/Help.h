// The help layer. This platform has no compiled HTML help engine, so LoadHelpEngine finds
// none and the Help button stays hidden.
#pragma once

#include <cstdint>

[[nodiscard]] bool LoadHelpEngine();
// True while an engine is loaded (never on this platform).
[[nodiscard]] bool HelpEngineLoaded();
void HelpInitialize(std::uint32_t& cookie);
void HelpCloseAll();
void HelpUninitializeAndUnload(std::uint32_t cookie);
