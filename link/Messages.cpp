#include "link/Messages.h"

#include <algorithm>

namespace {
constexpr std::string_view SixteenStars = "****************";

std::string Begin(std::string_view deviceName, std::string_view rest, std::size_t extra) {
  std::string text;
  text.reserve(deviceName.size() + 1 + rest.size() + extra);
  text.append(deviceName);
  text.push_back(',');
  text.append(rest);
  return text;
}
}  // namespace

std::string OutputMask(int output) {
  std::string mask(SixteenStars);
  // Callers check the channel; one outside 0..15 names no output rather than writing out of range.
  if (output >= 0 && output < static_cast<int>(mask.size())) mask[static_cast<std::size_t>(output)] = '1';
  return mask;
}

std::string BuildPoll(std::string_view deviceName) {
  std::string text = Begin(deviceName, "U", SixteenStars.size());
  text.append(SixteenStars);
  return text;
}

Acknowledgement::Acknowledgement(std::string_view deviceName) {
  const std::string_view name = deviceName.substr(0, MaxDeviceNameSize);
  char* end = std::copy(name.begin(), name.end(), bytes_.begin());
  for (const std::string_view part : {std::string_view(",C,S,"), SixteenStars})
    end = std::copy(part.begin(), part.end(), end);
  size_ = static_cast<std::size_t>(end - bytes_.data());
}

std::string BuildToggleCommand(std::string_view deviceName, int output) {
  std::string text = Begin(deviceName, "U,T,", SixteenStars.size());
  text.append(OutputMask(output));
  return text;
}

std::string BuildPulseCommand(std::string_view deviceName, int output, std::int32_t length) {
  // ",U,P" is followed by the number itself, no comma; std::to_string keeps a minus sign.
  std::string text = Begin(deviceName, "U,P", 12 + 1 + SixteenStars.size());
  text.append(std::to_string(length));
  text.push_back(',');
  text.append(OutputMask(output));
  return text;
}
