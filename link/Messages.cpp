#include "link/Messages.h"
// STUB: replaced by the link work.
std::string OutputMask(int) { return {}; }
std::string BuildPoll(std::string_view) { return {}; }
std::string BuildAcknowledgement(std::string_view) { return {}; }
std::string BuildToggleCommand(std::string_view, int) { return {}; }
std::string BuildPulseCommand(std::string_view, int, std::int32_t) { return {}; }
