#include "link/ReportParser.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {
using Bits = std::array<std::uint8_t, 16>;
using Raws = std::array<std::int32_t, 8>;
using Lines = std::vector<std::string>;

constexpr std::string_view WorkedExample = "KELDRON,U,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45";
const std::string Ack = "KELDRON,C,S,****************";
const std::string Inputs0 = "0000000000000000";

// Values already standing from earlier reports, so that "unchanged" is visible.
ReportedValues Earlier() {
  ReportedValues v;
  v.ReportedInputs.fill(1);
  v.ReportedOutputs.fill(1);
  v.AnalogueRaw = {11, 22, 33, 44, 55, 66, 77, 88};
  for (int k = 0; k < 8; ++k) v.AnalogueValue[k] = v.AnalogueRaw[k];
  return v;
}

void ExpectSame(const ReportedValues& a, const ReportedValues& b) {
  EXPECT_EQ(a.ReportedInputs, b.ReportedInputs);
  EXPECT_EQ(a.ReportedOutputs, b.ReportedOutputs);
  EXPECT_EQ(a.AnalogueRaw, b.AnalogueRaw);
  EXPECT_EQ(a.AnalogueValue, b.AnalogueValue);
}

struct Parser {
  Parser() { SetDefaults(config); }
  ParseOutcome operator()(std::string_view text) { return ParseReport(text, config, endpoint, values, countdown); }
  UnitConfiguration config{};
  FakeEndpoint endpoint;
  ReportedValues values = Earlier();
  std::int32_t countdown = -7;  // a value ParseReport never writes
};

std::string Report(std::string_view analogue, std::string_view inputs = Inputs0, std::string_view outputs = Inputs0) {
  return "KELDRON,U," + std::string(inputs) + "," + std::string(outputs) + "," + std::string(analogue);
}
}  // namespace

TEST(ParseReport, WorkedExampleStoresEveryFieldAndAcknowledgesFirst) {
  Parser parse;
  EXPECT_EQ(parse(WorkedExample), ParseOutcome::Accepted);
  EXPECT_EQ(parse.endpoint.sent, std::vector<std::string>{Ack});
  EXPECT_EQ(parse.values.ReportedInputs, (Bits{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(parse.values.ReportedOutputs, (Bits{0, 1}));
  EXPECT_EQ(parse.values.AnalogueRaw, (Raws{512, 0, 1023, 12, 300, 7, 0, 45}));
  EXPECT_EQ(parse.values.AnalogueValue, (std::array<long double, 8>{512, 0, 1023, 12, 300, 7, 0, 45}));
  EXPECT_EQ(parse.countdown, 200);

  // Type X: stored the same way, but not acknowledged.
  Parser typeX;
  EXPECT_EQ(typeX("KELDRON,X,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45"), ParseOutcome::Accepted);
  EXPECT_TRUE(typeX.endpoint.sent.empty());
  ExpectSame(typeX.values, parse.values);
  EXPECT_EQ(typeX.countdown, 200);
}

TEST(ParseReport, ReportsForAnotherPanelAreIgnoredWhole) {
  const std::string tail(WorkedExample.substr(7));
  for (const std::string& text :
       {"OTHERUNIT" + tail, "keldron" + tail, "KELDRONS" + tail, "KELDRO" + tail, "KELDRON;U" + tail.substr(2),
        std::string("KELDRON\0", 8) + tail, std::string("KELDRON"), std::string(),
        std::string(1, '\0') + std::string(WorkedExample)}) {
    SCOPED_TRACE(text);
    Parser parse;
    EXPECT_EQ(parse(text), ParseOutcome::Ignored);
    EXPECT_TRUE(parse.endpoint.sent.empty());
    ExpectSame(parse.values, Earlier());
    EXPECT_EQ(parse.countdown, -7);
  }

  // A device name holding a "," can never match, not even its own text.
  Parser comma;
  WriteText(comma.config.DeviceName, "KEL,DRON");
  EXPECT_EQ(comma("KEL,DRON,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0"), ParseOutcome::Ignored);
  EXPECT_TRUE(comma.endpoint.sent.empty());

  // The empty name: a report starting with "," and the type is for this panel.
  Parser empty;
  WriteText(empty.config.DeviceName, "");
  EXPECT_EQ(empty(",U,0000000000000000,0000000000000000,1,2,3,4,5,6,7,8"), ParseOutcome::Accepted);
  EXPECT_EQ(empty.endpoint.sent, std::vector<std::string>{",C,S,****************"});
  EXPECT_EQ(empty.values.AnalogueRaw, (Raws{1, 2, 3, 4, 5, 6, 7, 8}));

  // 8-bit names compare byte for byte.
  Parser accented;
  WriteText(accented.config.DeviceName, "K\xC9LDRON");
  EXPECT_EQ(accented("K\xC9LDRON" + tail), ParseOutcome::Accepted);
  EXPECT_EQ(accented.endpoint.sent, std::vector<std::string>{"K\xC9LDRON,C,S,****************"});
  EXPECT_EQ(accented("K\xE9LDRON" + tail), ParseOutcome::Ignored);
}

TEST(ParseReport, BadDigitalCharacterStopsWithEarlierPositionsStored) {
  // Input 3 is "x": inputs 1 and 2 are new, the rest stands, the acknowledgement has gone.
  Parser parse;
  EXPECT_EQ(parse("KELDRON,U,10x0000000000000,0000000000000000,0,0,0,0,0,0,0,0"), ParseOutcome::Stopped);
  EXPECT_EQ(parse.endpoint.sent, std::vector<std::string>{Ack});
  EXPECT_EQ(parse.values.ReportedInputs, (Bits{1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(parse.values.ReportedOutputs, Earlier().ReportedOutputs);
  EXPECT_EQ(parse.values.AnalogueRaw, Earlier().AnalogueRaw);
  EXPECT_EQ(parse.countdown, -7);

  // Output 5 is an 8-bit byte: all inputs and outputs 1 to 4 are new.
  Parser output;
  EXPECT_EQ(output(Report("0,0,0,0,0,0,0,0", Inputs0,
                          "0000\xB1"
                          "00000000000")),
            ParseOutcome::Stopped);
  EXPECT_EQ(output.values.ReportedInputs, Bits{});
  EXPECT_EQ(output.values.ReportedOutputs, (Bits{0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(output.countdown, -7);

  // The end of the text is a bad character too: right after the name, after the type, inside a field.
  for (const std::string& text :
       Lines{"KELDRON,", "KELDRON,U", "KELDRON,U,", "KELDRON,U,00000", Report("").substr(0, 40)}) {
    SCOPED_TRACE(text);
    Parser ended;
    EXPECT_EQ(ended(text), ParseOutcome::Stopped);
    EXPECT_EQ(ended.countdown, -7);
    EXPECT_EQ(ended.endpoint.sent.size(), text.size() > 8 ? 1u : 0u);
  }
}

TEST(ParseReport, AnalogueFields) {
  // Four-digit fields are read whole and the next field starts after the separator.
  Parser parse;
  EXPECT_EQ(parse(Report("1023,999,9999,0,1,10,100,1000")), ParseOutcome::Accepted);
  EXPECT_EQ(parse.values.AnalogueRaw, (Raws{1023, 999, 9999, 0, 1, 10, 100, 1000}));
  EXPECT_EQ(parse.values.AnalogueValue[2], 9999.0L);

  // Eight empty fields read as 0.
  EXPECT_EQ(parse(Report(",,,,,,,")), ParseOutcome::Accepted);
  EXPECT_EQ(parse.values.AnalogueRaw, Raws{});
  EXPECT_EQ(parse.values.AnalogueValue, (std::array<long double, 8>{}));

  // More than four digits: the first four count, the rest of the field is skipped, later fields stay aligned.
  EXPECT_EQ(parse(Report("123456789,7,00012,8,9,10,11,12")), ParseOutcome::Accepted);
  EXPECT_EQ(parse.values.AnalogueRaw, (Raws{1234, 7, 1, 8, 9, 10, 11, 12}));

  // Any other character only ends its field.
  EXPECT_EQ(parse(Report("12a,5,-3,+4, 6,7,8,9")), ParseOutcome::Accepted);
  EXPECT_EQ(parse.values.AnalogueRaw, (Raws{12, 0, 5, 0, 3, 0, 4, 0}));

  // A text that ends early leaves the missing fields as they were and still renews the time-out.
  Parser early;
  EXPECT_EQ(early(Report("512,7")), ParseOutcome::Accepted);
  EXPECT_EQ(early.values.AnalogueRaw, (Raws{512, 7, 33, 44, 55, 66, 77, 88}));
  EXPECT_EQ(early.values.AnalogueValue[2], 33.0L);
  EXPECT_EQ(early.countdown, 200);
  Parser bare;
  const std::string noSeparator = Report("").substr(0, Report("").size() - 1);
  EXPECT_EQ(bare(noSeparator), ParseOutcome::Accepted);
  EXPECT_EQ(bare.values.AnalogueRaw, Earlier().AnalogueRaw);
  EXPECT_EQ(bare.countdown, 200);
  EXPECT_EQ(bare(Report("")), ParseOutcome::Accepted);  // the separator alone: one empty field
  EXPECT_EQ(bare.values.AnalogueRaw, (Raws{0, 22, 33, 44, 55, 66, 77, 88}));

  // Scaling: raw x scaling first, then x C, all extended. With 1/7 the other order differs.
  Parser scaled;
  const long double seventh = 1.0L / 7.0L;
  for (auto& s : scaled.config.AnalogueScaling) s.Set(seventh);
  EXPECT_EQ(scaled(Report("113,1023,0,0,0,0,0,0")), ParseOutcome::Accepted);
  const long double c = ReciprocalOf1023();
  EXPECT_EQ(scaled.values.AnalogueValue[0], (113.0L * seventh) * c);
  EXPECT_NE(scaled.values.AnalogueValue[0], 113.0L * (seventh * c));

  // With the default scaling every raw reading from 0 to 9999 comes out exactly.
  Parser every;
  for (int raw = 0; raw <= 9999; ++raw) {
    (void)every(Report(std::to_string(raw)));
    if (every.values.AnalogueValue[0] != static_cast<long double>(raw)) ADD_FAILURE() << raw;
  }
}

TEST(ParseReport, WorkingBufferCutsAt510AndAtNul) {
  // Field 1 is long (skipped past its fourth digit) so that field 8 starts at position 508:
  // only "78" of "789" is inside the 510 characters.
  const std::string head = Report("1234" + std::string(447, '5') + ",1,2,3,4,5,6,");
  ASSERT_EQ(head.size(), 508u);
  Parser parse;
  EXPECT_EQ(parse(head + "789"), ParseOutcome::Accepted);
  EXPECT_EQ(parse.values.AnalogueRaw, (Raws{1234, 1, 2, 3, 4, 5, 6, 78}));

  // A NUL ends the text: in the analogue fields the rest stands, in the inputs it stops.
  Parser nul;
  EXPECT_EQ(nul(Report(std::string("512,0,10\0"
                                   "23,12,300,7,0,45",
                                   25))),
            ParseOutcome::Accepted);
  EXPECT_EQ(nul.values.AnalogueRaw, (Raws{512, 0, 10, 44, 55, 66, 77, 88}));
  EXPECT_EQ(nul(std::string("KELDRON,U,1010") + '\0' + "000000000000,0000000000000000,0,0,0,0,0,0,0,0"),
            ParseOutcome::Stopped);
  EXPECT_EQ(nul.values.ReportedInputs, (Bits{1, 0, 1, 0}));
}

TEST(ParseReport, FailedAcknowledgementStoresNothing) {
  Parser parse;
  parse.endpoint.failSend = true;
  EXPECT_EQ(parse(WorkedExample), ParseOutcome::AckFailed);
  ExpectSame(parse.values, Earlier());
  EXPECT_EQ(parse.countdown, -7);
  // Nothing needs sending for type X, so the failing endpoint does not matter.
  EXPECT_EQ(parse("KELDRON,X" + std::string(WorkedExample.substr(9))), ParseOutcome::Accepted);
}

TEST(ParseReport, LinkTimeoutComesFromUpdatePeriodHeldInRange) {
  Parser parse;
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {0, 0}, {1, 20}, {107374182, 2147483640}, {107374183, INT_MAX}, {INT_MAX, INT_MAX}, {-1, 0}, {INT_MIN, 0}};
  for (const auto& [period, ticks] : cases) {
    parse.config.UpdatePeriod = period;
    EXPECT_EQ(parse(WorkedExample), ParseOutcome::Accepted);
    EXPECT_EQ(parse.countdown, ticks) << period;
  }
}

TEST(ParseReport, ScalingFactorIsTheExtendedValueNearestOneOver1023) {
  // floor(2^73 / 1023) has 64 significant bits; the remainder says which way to round.
  const unsigned __int128 numerator = static_cast<unsigned __int128>(1) << 73;
  std::uint64_t significand = static_cast<std::uint64_t>(numerator / 1023);
  const auto remainder = static_cast<std::uint64_t>(numerator % 1023);
  ASSERT_GE(significand, std::uint64_t{1} << 63);
  if (2 * remainder > 1023) ++significand;
  EXPECT_EQ(ReciprocalOf1023(), std::ldexp(static_cast<long double>(significand), -73));
}
