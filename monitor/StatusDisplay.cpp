#include "monitor/StatusDisplay.h"

#include <algorithm>
#include <string>
#include <string_view>

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

// General format with 15 significant digits, "." as the point whatever the locale: the value
// is rounded first, and the notation follows from the rounded exponent E, so
// 9.9999999999999999e-6 counts as 0.00001. Then the text is cut two characters after the point.
//   -4 <= E <= 14: fixed notation, trailing zeros and a bare point dropped.
//   E < -4 (below 0.0001, not 0): "0.00" ("-0.00" when negative), which is what the cut
//                  gives every value just above that limit, so tiny readings read alike.
//   E >= 15 (more than 15 digits before the point): the mantissa cut the same way with the
//                  exponent kept, e.g. "1.23E+20", so the magnitude is not lost by the cut.
// Zero of either sign shows "0"; infinities "INF" and "-INF"; a NaN "NAN".
std::string FormatAnalogueValue(const Extended& value) {
  if (value.IsNaN()) return "NAN";
  if (value.IsInfinite()) return value.IsNegative() ? "-INF" : "INF";
  if (value.IsZero()) return "0";

  const NumberText general = value.GeneralText(15);
  const std::string_view text = general.View();
  // General format writes an exponent when E < -4 or E >= 15. A negative one means the value
  // is below 0.0001, whose fixed text would be cut to "0.00" anyway.
  const std::size_t e = text.find('e');
  if (e != std::string_view::npos && text[e + 1] == '-') return value.IsNegative() ? "-0.00" : "0.00";
  std::string_view mantissa = text.substr(0, e);
  if (const std::size_t point = mantissa.find('.'); point != std::string_view::npos)
    mantissa = mantissa.substr(0, point + 3);  // cut, never rounded
  std::string result(mantissa);
  if (e != std::string_view::npos) result.append("E").append(text.substr(e + 1));
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
