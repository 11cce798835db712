// Recordings from outside, as --replay reads them: any bytes escape to a field that reads
// back to exactly those bytes, and an accepted recording gives a plan whose offsets run
// forward from the anchor and stay within its length.
#include "tools/unit_sim_record.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string escaped = EscapeBytes(bytes);
  for (const char c : escaped)
    if (c <= ' ' || c >= 0x7F) std::abort();
  if (UnescapeBytes(escaped) != std::string(bytes)) std::abort();

  const ReplayPlan plan = ParseRecording(bytes, "input");
  if (!plan.error.empty()) {
    if (!plan.sends.empty() || !plan.anchor.empty()) std::abort();
    return 0;
  }
  std::int64_t previous = 0;
  for (const ReplayPlan::Send& send : plan.sends) {
    if (send.offsetMs < previous || send.offsetMs > plan.lengthMs || send.bytes.size() > MaxDatagramSize) std::abort();
    previous = send.offsetMs;
  }
  return 0;
}
