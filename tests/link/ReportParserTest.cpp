#include "link/ReportParser.h"
#include "support/Fakes.h"

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {
using Bits = std::array<std::uint8_t, 16>;
using Raws = std::array<std::int32_t, 8>;

constexpr std::string_view WorkedExample = "KELDRON,U,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45";
const std::string Ack = "KELDRON,C,S,****************";
const std::string Inputs0 = "0000000000000000";

// Values already standing from earlier reports, so that "unchanged" is visible.
ReportedValues Earlier() {
  ReportedValues v;
  v.ReportedInputs.fill(1);
  v.ReportedOutputs.fill(1);
  v.AnalogueRaw = {11, 22, 33, 44, 55, 66, 77, 88};
  for (int k = 0; k < 8; ++k) v.AnalogueValue[k] = X(v.AnalogueRaw[k]);
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
  EXPECT_EQ(parse.values.AnalogueValue,
            (std::array<Extended, 8>{X(512), X(0), X(1023), X(12), X(300), X(7), X(0), X(45)}));
  EXPECT_EQ(parse.countdown, 200);

  // Type X: stored the same way, but not acknowledged.
  Parser typeX;
  EXPECT_EQ(typeX("KELDRON,X,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45"), ParseOutcome::Accepted);
  EXPECT_TRUE(typeX.endpoint.sent.empty());
  ExpectSame(typeX.values, parse.values);
  EXPECT_EQ(typeX.countdown, 200);
}

TEST(ParseReport, EachChannelItsOwnScalingAndDefaultGivesEveryRawReadingExactly) {
  // Other scalings and the order of the product: fuzz_parse_report and its seeds.
  const Extended seventh = X(1) / X(7);
  const Extended c = ReciprocalOf1023();
  EXPECT_EQ(c, X(1) / X(1023));
  Parser distinct;
  for (int k = 0; k < AnalogueInputCount; ++k) distinct.config.AnalogueScaling[k] = seventh * X(k + 2);
  EXPECT_EQ(distinct(Report("1,2,3,4,5,6,7,8")), ParseOutcome::Accepted);
  for (int k = 0; k < AnalogueInputCount; ++k)
    EXPECT_EQ(distinct.values.AnalogueValue[k], (X(k + 1) * (seventh * X(k + 2))) * c) << k;

  Parser every;
  for (int raw = 0; raw <= 9999; ++raw) {
    (void)every(Report(std::to_string(raw)));
    if (every.values.AnalogueValue[0] != X(raw)) ADD_FAILURE() << raw;
  }
}
