#include "monitor/StatusDisplay.h"

#include <charconv>
#include <cmath>

StateLook AlarmStateLook(AlarmState state, std::uint8_t blinkPhase) {
  switch (state) {
    case AlarmState::Normal: return {Colours::Green, "C"};
    case AlarmState::AlarmUnaccepted: return {blinkPhase == 1 ? Colours::Red : Colours::Grey, "A"};
    case AlarmState::AlarmAccepted: return {Colours::Red, "AA"};
    case AlarmState::AlarmCleared: return {Colours::Yellow, "AC"};
    case AlarmState::ReportingDisabled: break;
  }
  return {Colours::Grey, "NA"};
}

// The value is first rounded to 15 significant digits; the notation is chosen from the
// rounded decimal exponent E, so 9.9999999999999999e-6 counts as 0.00001.
//   -5 <= E <= 14: fixed notation, "." as the point whatever the locale, trailing zeros and a
//                  bare point dropped, then cut two characters after the point.
//   E < -5 (below 0.00001, not 0): shown as "0.00" ("-0.00" when negative), which is what the
//                  cut gives every value just above that limit, so tiny readings read alike.
//   E >= 15 (more than 15 digits before the point): the mantissa cut the same way with the
//                  exponent kept, e.g. "1.23E+20", so the text stays short and the magnitude
//                  is not lost by the cut.
// Zero of either sign shows "0"; infinities "INF" and "-INF"; a NaN "NAN".
std::string FormatAnalogueValue(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // d.dddddddddddddde+X: 15 significant digits, rounded; std::to_chars ignores the locale.
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  if (error != std::errc()) return "0";  // cannot happen with this buffer; keeps the text defined
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const bool negative = text.front() == '-';
  const std::size_t e = text.find('e');
  std::string digits;  // the 15 significant digits, trailing zeros removed
  for (std::size_t i = negative ? 1 : 0; i < e; ++i)
    if (text[i] != '.') digits += text[i];
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  const char* exponentText = text.data() + e + 1;
  if (*exponentText == '+') ++exponentText;
  std::from_chars(exponentText, text.data() + text.size(), exponent);

  std::string result = negative ? "-" : "";
  if (exponent < -5) return result + "0.00";
  if (exponent >= 15) {
    result += digits.substr(0, 1);
    if (digits.size() > 1) result += "." + digits.substr(1, 2);
    return result + "E+" + std::to_string(exponent);
  }

  std::string integerPart;
  std::string fraction;
  if (exponent >= 0) {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    integerPart = digits.substr(0, integerDigits);
    integerPart.append(integerDigits - integerPart.size(), '0');
    if (digits.size() > integerDigits) fraction = digits.substr(integerDigits);
  } else {
    integerPart = "0";
    fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  result += integerPart;
  if (!fraction.empty()) result += "." + fraction.substr(0, 2);  // cut, never rounded
  return result;
}

void RefreshStatusDisplay(const DisplayInputs& in, StatusView& view) {
  if (in.linkUp == 0) {
    // The idle look, whatever the alarm states say; the bar levels keep their last value.
    for (int i = 0; i < DigitalInputCount; ++i) {
      if (view.InputIndicatorColour(i) != Colours::Grey) view.SetInputIndicatorColour(i, Colours::Grey);
      if (view.InputIndicatorCaption(i) != "NA") view.SetInputIndicatorCaption(i, "NA");
    }
    for (int i = 0; i < OutputCount; ++i)
      if (view.OutputButtonColour(i) != Colours::Grey) view.SetOutputButtonColour(i, Colours::Grey);
    for (int i = 0; i < AnalogueInputCount; ++i) {
      if (view.BarColour(i) != Colours::Grey) view.SetBarColour(i, Colours::Grey);
      if (view.AnalogueValueText(i) != "N/A") view.SetAnalogueValueText(i, "N/A");
    }
    return;
  }

  for (int i = 0; i < DigitalInputCount; ++i) {
    const StateLook look = AlarmStateLook(in.digitalStates[i], in.blinkPhase);
    if (view.InputIndicatorColour(i) != look.colour) view.SetInputIndicatorColour(i, look.colour);
    if (view.InputIndicatorCaption(i) != look.caption) view.SetInputIndicatorCaption(i, look.caption);
  }
  for (int i = 0; i < OutputCount; ++i) {
    const Colour wanted = in.reportedOutputs[i] != 0 ? Colours::Red : Colours::Green;  // as reported, not as commanded
    if (view.OutputButtonColour(i) != wanted) view.SetOutputButtonColour(i, wanted);
  }
  for (int i = 0; i < AnalogueInputCount; ++i) {
    const StateLook look = AlarmStateLook(in.analogueStates[i], in.blinkPhase);
    if (view.BarColour(i) != look.colour) view.SetBarColour(i, look.colour);
    view.SetBarValue(i, in.analogueRaw[i]);  // the raw reading against the bar's maximum of 1023
    view.SetAnalogueValueText(i, FormatAnalogueValue(in.analogueValue[i]));
  }
}
