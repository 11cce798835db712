// The settings editor's one table from the record's fields to the controls that edit them:
// which control (by object name), of which kind, on which page, within which limits. The
// editor makes its controls, fills them, stores them back and sets its check box groups from
// it, and its test walks the same rows; the page builders only place what it makes.
#pragma once

#include "config/UnitConfiguration.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

enum class ControlKind {
  Flag,     // check box: on for any byte but 0; stores 1 or 0
  Whole,    // spin edit over a 32-bit integer, from minimum to maximum
  Decimal,  // calculator field over an extended value, kept bit for bit while untouched
  Text,     // line edit over a text and its NUL; typing stops at maximum characters
};

// NOLINTBEGIN(readability-redundant-member-init): without the = {} GCC warns of every row that leaves them out
struct FieldBinding {
  std::string_view name;       // the control's object name; a family's members add their channel, from 1
  ControlKind kind;            // what control it is, and so how it shows and stores the field
  int count;                   // members of a numbered family over an array; 0 for a single control
  std::size_t offset;          // of the field, or of its first element, in the record
  std::size_t size;            // of the field, or of one element
  int page;                    // of the editor's pages, 0 for "Ethernet"
  int minimum, maximum;        // see ControlKind
  int initial;                 // a spin edit's or decimal field's value before the first showing
  std::string_view text = {};  // a text field's contents before the first showing; a single check box's caption
  std::string_view all = {}, none = {};  // a check box family's "Enable All" and "Disable All" buttons
};
// NOLINTEND(readability-redundant-member-init)

[[nodiscard]] constexpr int ControlCount(const FieldBinding& field) { return field.count == 0 ? 1 : field.count; }

// In the record's order.
// clang-format off
inline constexpr std::array<FieldBinding, 23> EditorFields = [] {
  using C = UnitConfiguration;
  using enum ControlKind;
  constexpr int IntMin = std::numeric_limits<int>::min(), IntMax = std::numeric_limits<int>::max();
  return std::array<FieldBinding, 23>{{
    // name                               kind     count field                              size page minimum maximum initial text
    {"IPAddrEdit",                        Text,    0,  offsetof(C, IPAddress),               64, 0, 0,      62,     0, "192"},
    {"PortCSpinEdit",                     Whole,   0,  offsetof(C, Port),                    4,  0, 1,      65000,  3012},
    {"DeviceNameLabeledEdit",             Text,    0,  offsetof(C, DeviceName),              32, 0, 0,      31,     0, "KELDRON"},
    {"UpdateCSpinEdit",                   Whole,   0,  offsetof(C, UpdatePeriod),            4,  0, IntMin, IntMax, 10},
    {"TimeoutCSpinEdit",                  Whole,   0,  offsetof(C, TimeoutPeriod),           4,  0, IntMin, IntMax, 30},
    {"EnableReportingJvCheckBox",         Flag,    16, offsetof(C, DigitalEnableReporting),  1,  1, 0,      0,      0, {},
     "EnableReportingAllCheckedButton", "EnableReportingNoneCheckedButton"},
    {"RequiresAcceptJvCheckBox",          Flag,    16, offsetof(C, DigitalRequiresAccept),   1,  1, 0,      0,      0, {},
     "RequiresAcceptAllCheckedButton", "RequiresAcceptNoneCheckedButton"},
    {"RequiresResetJvCheckBox",           Flag,    16, offsetof(C, DigitalRequiresReset),    1,  1, 0,      0,      0, {},
     "RequiresResetAllCheckedButton", "RequiresResetNoneCheckedButton"},
    {"AnalogueEnableReportingJvCheckBox", Flag,    8,  offsetof(C, AnalogueEnableReporting), 1,  2, 0,      0,      0, {},
     "AnalogueEnableReportingAllCheckedButton", "AnalogueEnableReportingNoneCheckedButton"},
    {"AnalogueRequiresAcceptJvCheckBox",  Flag,    8,  offsetof(C, AnalogueRequiresAccept),  1,  2, 0,      0,      0, {},
     "AnalogueRequiresAcceptAllCheckedButton", "AnalogueRequiresAcceptNoneCheckedButton"},
    {"AnalogueRequiresResetJvCheckBox",   Flag,    8,  offsetof(C, AnalogueRequiresReset),   1,  2, 0,      0,      0, {},
     "AnalogueRequiresResetAllCheckedButton", "AnalogueRequiresResetNoneCheckedButton"},
    {"AlarmAboveJvCalcEdit",              Decimal, 8,  offsetof(C, AlarmAbove),              10, 2, 0,      0,      0},
    {"AlarmBelowJvCalcEdit",              Decimal, 8,  offsetof(C, AlarmBelow),              10, 2, 0,      0,      0},
    {"InputDesignatorLabeledEdit",        Text,    16, offsetof(C, InputDesignator),         35, 3, 0,      32,     0, "Input 1"},
    {"OutputDesignatorLabeledEdit",       Text,    16, offsetof(C, OutputDesignator),        35, 4, 0,      32,     0, "Input 1"},
    {"AnalogueDesignatorLabeledEdit",     Text,    8,  offsetof(C, AnalogueDesignator),      35, 3, 0,      32,     0, "Input 1"},
    {"AnalogueScalingJvCalcEdit",         Decimal, 8,  offsetof(C, AnalogueScaling),         10, 2, 0,      0,      1023},
    {"EnableLoggingJvCheckBox",           Flag,    0,  offsetof(C, EnableLogging),           1,  5, 0,      0,      0, "Enable Logging"},
    {"LostLinkEnableReportingJvCheckBox", Flag,    0,  offsetof(C, LostLinkEnableReporting), 1,  5, 0,      0,      0, "Enable Reporting"},
    {"LostLinkRequiresAcceptJvCheckBox",  Flag,    0,  offsetof(C, LostLinkRequiresAccept),  1,  5, 0,      0,      0, "Requires Accept"},
    {"LostLinkRequiresResetJvCheckBox",   Flag,    0,  offsetof(C, LostLinkRequiresReset),   1,  5, 0,      0,      0, "Requires Reset"},
    {"OutputUsePulseJvCheckBox",          Flag,    16, offsetof(C, OutputUsePulse),          1,  4, 0,      0,      0, {},
     "OutputUsePulseCheckAllButton", "OutputUsePulseCheckNoneButton"},
    {"OutputPulsePeriodCSpinEdit",        Whole,   16, offsetof(C, OutputPulsePeriod),       4,  4, 0,      65000,  1000},
  }};
}();
// clang-format on

// Each row's bytes lie inside the record and suit its kind (a text keeps room for its NUL), and
// every byte but the two alignment holes belongs to exactly one row: the editor reads and
// writes the record through these offsets and nothing else.
consteval bool EditorFieldsTileTheRecord() {
  using C = UnitConfiguration;
  using enum ControlKind;
  const std::size_t holes[][2] = {{offsetof(C, Reserved1), sizeof(C::Reserved1)},
                                  {offsetof(C, Reserved2), sizeof(C::Reserved2)}};
  std::size_t covered = 0;
  for (const FieldBinding& a : EditorFields) {
    const std::size_t end = a.offset + ControlCount(a) * a.size;
    const bool suits = a.kind == Flag      ? a.size == 1
                       : a.kind == Whole   ? a.size == sizeof(std::int32_t) && a.minimum <= a.maximum
                       : a.kind == Decimal ? a.size == sizeof(Extended)
                                           : a.maximum > 0 && static_cast<std::size_t>(a.maximum) < a.size;
    if (!suits || end > sizeof(C)) return false;
    for (const auto& [offset, size] : holes)
      if (a.offset < offset + size && offset < end) return false;
    for (const FieldBinding& b : EditorFields)
      if (&a != &b && a.offset < b.offset + ControlCount(b) * b.size && b.offset < end) return false;
    covered += end - a.offset;
  }
  return covered == sizeof(C) - sizeof(C::Reserved1) - sizeof(C::Reserved2);
}
static_assert(EditorFieldsTileTheRecord(), "every field of the record has exactly one row, and each row fits its kind");

// A row of EditorFields named by its control, found while compiling: a name that no row holds
// does not compile.
struct FieldRow {
  // cppcheck-suppress noExplicitConstructor ; a literal name stands for its row wherever a row is asked for
  consteval FieldRow(const char* name) : index(Find(name)) {}
  std::size_t index;

 private:
  static consteval std::size_t Find(std::string_view name) {
    for (std::size_t row = 0; row < EditorFields.size(); ++row)
      if (EditorFields[row].name == name) return row;
    throw "no row of EditorFields has this control name";
  }
};
