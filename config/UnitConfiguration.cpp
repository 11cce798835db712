#include "config/UnitConfiguration.h"

#include <algorithm>
#include <cstring>

void SetDefaults(UnitConfiguration& config) {
  WriteText(config.IPAddress, "192.168.0.6");
  config.Port = 3012;
  WriteText(config.DeviceName, "KELDRON");
  config.UpdatePeriod = 10;
  config.TimeoutPeriod = 20;
  std::fill(std::begin(config.DigitalEnableReporting), std::end(config.DigitalEnableReporting), 1);
  std::fill(std::begin(config.DigitalRequiresAccept), std::end(config.DigitalRequiresAccept), 1);
  std::fill(std::begin(config.DigitalRequiresReset), std::end(config.DigitalRequiresReset), 1);
  std::fill(std::begin(config.AnalogueEnableReporting), std::end(config.AnalogueEnableReporting), 1);
  std::fill(std::begin(config.AnalogueRequiresAccept), std::end(config.AnalogueRequiresAccept), 1);
  std::fill(std::begin(config.AnalogueRequiresReset), std::end(config.AnalogueRequiresReset), 1);
  for (int i = 0; i < AnalogueInputCount; ++i) {
    config.AlarmAbove[i] = Extended::FromInt(1024);
    config.AlarmBelow[i] = Extended::FromInt(0);
  }
  for (auto& scaling : config.AnalogueScaling) scaling = Extended::FromInt(1023);
  for (int n = 1; n <= DigitalInputCount; ++n) {
    WriteText(config.InputDesignator[n - 1], "Input " + std::to_string(n));
    WriteText(config.OutputDesignator[n - 1], "Output " + std::to_string(n));
  }
  for (int n = 1; n <= AnalogueInputCount; ++n)
    WriteText(config.AnalogueDesignator[n - 1], "Analogue " + std::to_string(n));
  config.EnableLogging = 1;
  config.LostLinkEnableReporting = 1;
  config.LostLinkRequiresAccept = 1;
  config.LostLinkRequiresReset = 1;
  std::fill(std::begin(config.OutputUsePulse), std::end(config.OutputUsePulse), 0);
  std::fill(std::begin(config.OutputPulsePeriod), std::end(config.OutputPulsePeriod), 1000);
}

void CopyConfiguration(UnitConfiguration& destination, const UnitConfiguration& source) {
  std::memcpy(&destination, &source, sizeof(UnitConfiguration));
}

bool ConfigurationDiffers(const UnitConfiguration& a, const UnitConfiguration& b) {
  return std::memcmp(&a, &b, sizeof(UnitConfiguration)) != 0;
}

std::string ReadTextField(const char* field, std::size_t size) {
  const void* nul = std::memchr(field, '\0', size);
  const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size;
  return std::string(field, length);
}

void WriteTextField(char* field, std::size_t size, std::string_view text) {
  if (size == 0) return;
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}
