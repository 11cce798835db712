#include "app/Help.h"

// No compiled HTML help engine exists on this platform: there is no registry to locate it
// and no library that offers its entry point, so the engine is never loaded.
bool LoadHelpEngine() { return false; }
bool HelpEngineLoaded() { return false; }
void HelpInitialize(std::uint32_t&) {}
void HelpCloseAll() {}
void HelpUninitializeAndUnload(std::uint32_t) {}
