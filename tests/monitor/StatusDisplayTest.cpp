#include "monitor/StatusDisplay.h"
#include "support/Fakes.h"
#include "support/Wave.h"

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <tuple>
#include <variant>

namespace {
using enum AlarmState;
}  // namespace

TEST(StatusDisplay, ControlsAreAssignedOnlyOnChange) {
  // What each control shows is checked after every tick by the soak; here, how often it is set.
  Rig rig;
  PanelCore& core = rig.core;
  RecordingView& v = rig.view;
  // Connected: an unchanged refresh assigns no colour or caption, only the 8 levels and 8 texts.
  core.LinkUp = 1;
  core.Report.AnalogueRaw[2] = 300;
  core.DigitalAlarmState[0] = AlarmUnaccepted;
  core.RefreshStatusDisplay();
  const int assignments = v.assignments;
  const int values = v.valueAssignments;
  core.RefreshStatusDisplay();
  // cppcheck-suppress knownConditionTrueFalse ; the refresh counts in v, the view the core was given
  EXPECT_EQ(v.assignments, assignments);
  EXPECT_EQ(v.valueAssignments, values + 16);
  // One blink flip reassigns the one blinking colour.
  core.BlinkPhase = 1;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.assignments, assignments + 1);

  // The link down: the idle look once, then nothing while it stands, blink or not.
  core.LinkUp = 0;
  core.RefreshStatusDisplay();
  const int idleAssignments = v.assignments;
  const int idleValues = v.valueAssignments;
  core.BlinkPhase = 0;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.assignments, idleAssignments);
  EXPECT_EQ(v.valueAssignments, idleValues);
}

TEST(StatusDisplay, ValueTextIsCutNotRounded) {
  // The listed examples.
  EXPECT_EQ(FormatAnalogueValue(X("512.0")), "512");
  EXPECT_EQ(FormatAnalogueValue(X("512.3456")), "512.34");
  EXPECT_EQ(FormatAnalogueValue(X("100.999")), "100.99");
  EXPECT_EQ(FormatAnalogueValue(Extended::FromDouble(100.999)), "100.99");
  EXPECT_EQ(FormatAnalogueValue(X("2.5")), "2.5");
  EXPECT_EQ(FormatAnalogueValue(X(1) / X(3)), "0.33");
  EXPECT_EQ(FormatAnalogueValue(X("0.977517106549365")), "0.97");
  EXPECT_EQ(FormatAnalogueValue(X("0.0")), "0");
  EXPECT_EQ(FormatAnalogueValue(X("-0.0")), "0");
  // A reading as the parser scales it: raw 1000 at scaling 1000 is 1000 * 1000 / 1023.
  EXPECT_EQ(FormatAnalogueValue(X(1000) * X(1000) * (X(1) / X(1023))), "977.51");
  // Rounding to 15 digits comes first: the carry reaches the whole number.
  EXPECT_EQ(FormatAnalogueValue(X("0.9999999999999999")), "1");
  EXPECT_EQ(FormatAnalogueValue(X("99.9999999999999999")), "100");
  // Fixed notation from 0.00001 up, also where the 15-digit rounding lands on it.
  EXPECT_EQ(FormatAnalogueValue(X("0.00001")), "0.00");
  EXPECT_EQ(FormatAnalogueValue(X("0.0000099999999999999999")), "0.00");
  EXPECT_EQ(FormatAnalogueValue(X("0.05")), "0.05");
  EXPECT_EQ(FormatAnalogueValue(X("-0.001")), "-0.00");
  EXPECT_EQ(FormatAnalogueValue(X("-12.345")), "-12.34");
  // Below 0.00001: "0.00" with its sign.
  EXPECT_EQ(FormatAnalogueValue(X("0.000001")), "0.00");
  EXPECT_EQ(FormatAnalogueValue(X("-1e-300")), "-0.00");
  // Up to 15 digits before the point in fixed notation; more keep their exponent.
  EXPECT_EQ(FormatAnalogueValue(X("123456789012345.67")), "123456789012346");
  EXPECT_EQ(FormatAnalogueValue(X("999999999999999.9")), "1E+15");
  EXPECT_EQ(FormatAnalogueValue(X("-1.23456e20")), "-1.23E+20");
  EXPECT_EQ(FormatAnalogueValue(MaxFinite), "1.18E+4932");
  EXPECT_EQ(FormatAnalogueValue(Infinity), "INF");
  EXPECT_EQ(FormatAnalogueValue(-Infinity), "-INF");
  EXPECT_EQ(FormatAnalogueValue(-QuietNaN), "NAN");
}

TEST(AlarmSound, ReadWaveFileNamesWhatKeepsTheFileFromLooping) {
  TempProgramDirectory dir("qmx-wave");
  const std::string wav = (dir.path / "Alarm.wav").string();
  const auto problemOf = [](const std::string& path) -> std::optional<std::string> {
    auto read = ReadWaveFile(path);
    if (const auto* problem = std::get_if<std::string>(&read)) return *problem;
    return std::nullopt;
  };
  const auto problem = [&](const std::string& bytes) {
    std::ofstream(wav, std::ios::binary | std::ios::trunc) << bytes;
    return problemOf(wav);
  };
  const std::string good = WaveBytes();
  EXPECT_EQ(problemOf(wav), wav + " not found");
  EXPECT_EQ(problemOf(dir.path.string()), dir.path.string() + " not found");
  EXPECT_EQ(problem(good), std::nullopt);
  const auto sound = std::get<WaveSound>(ReadWaveFile(wav));
  EXPECT_EQ(sound.samples, good.substr(44));
  EXPECT_EQ((std::tuple{sound.floatSamples, sound.bigEndian, sound.channels, sound.rate, sound.bits}),
            (std::tuple{false, false, std::uint16_t{1}, std::uint32_t{8000}, std::uint16_t{16}}));
  // A last frame cut in half is left out; a sound too long for a loop is refused unread.
  EXPECT_EQ(problem(good.substr(0, 40) + std::string("\x41\x06\0\0", 4) + good.substr(44) + "x"), std::nullopt);
  EXPECT_EQ(std::get<WaveSound>(ReadWaveFile(wav)).samples, good.substr(44));
  const std::string huge = good.substr(0, 40) + std::string("\1\0\0\1", 4);
  EXPECT_EQ(problem(huge), wav + " is cut short");
  std::filesystem::resize_file(wav, 44 + 0x1000001);
  EXPECT_EQ(problemOf(wav), wav + " is too long for an alarm loop");
  EXPECT_EQ(problem(WaveBytes(3, 32)), std::nullopt);  // float samples
  // Chunks before the sound are passed over, an odd-sized one with its pad byte.
  EXPECT_EQ(problem(std::string(good).insert(36, std::string("LIST\3\0\0\0abc\0", 12))), std::nullopt);

  // The back end would wait for the rest of these for ever.
  for (const std::size_t cut : {std::size_t{0}, std::size_t{11}})
    EXPECT_EQ(problem(good.substr(0, cut)), wav + " is not a wave file") << cut;
  for (const std::size_t cut : {std::size_t{12}, std::size_t{20}, std::size_t{40}, std::size_t{44}, good.size() - 1})
    EXPECT_EQ(problem(good.substr(0, cut)), wav + " is cut short") << cut;
  EXPECT_EQ(problem(std::string(100, 'x')), wav + " is not a wave file");
  EXPECT_EQ(problem(std::string(good).replace(12, 4, "junk")), wav + " is not a wave file");  // no "fmt "
  EXPECT_EQ(problem(good.substr(0, 40) + std::string(4, '\0')), wav + " holds no sound");
  EXPECT_EQ(problem(WaveBytes(2, 4)), wav + " is in a wave format that cannot be played");  // ADPCM
  EXPECT_EQ(problem(WaveBytes(1, 12)), wav + " is in a wave format that cannot be played");
}
