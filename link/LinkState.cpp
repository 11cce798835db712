#include "link/LinkState.h"
// STUB: replaced by the link work.
LinkTransition EvaluateLinkTransition(LinkState s, bool, bool, bool) { return {s, std::nullopt}; }
LinkTransition CommsClickTransition(LinkState s, bool) { return {s, std::nullopt}; }
LinkLook LinkStatusLook(LinkState, std::uint8_t) { return {Colours::Grey, "Not Connected"}; }
bool StepBlink(std::uint8_t&, std::int32_t&) { return false; }
bool StepPoll(std::int32_t&, std::int32_t, std::uint8_t) { return false; }
bool StepLinkTimeout(std::int32_t&, std::uint8_t&) { return false; }
std::int32_t SecondsToTicks(std::int32_t s) { return s * 20; }
