// Writes the golden vectors of the record's extended reals, computed by the x87 through the
// panel's own functions: tests/data/extended_golden.txt is its output on x86-64, and the test
// beside it (tests/config/ExtendedGoldenTest.cpp) expects the same bytes and texts from every
// build, the software one off x86 included. Rerun it only when the panel's arithmetic or texts
// change on purpose:  make-extended-golden > tests/data/extended_golden.txt
// Lines (values as SSSS:SSSSSSSSSSSSSSSS, sign-and-exponent then significand, in hex):
//   decode V shortest-text value-text      what a stored value shows in the editor and the panel
//   op A B A+B A-B AxB A/B -A order        order: < = > or u (unordered)
//   scale RAW SCALING VALUE value-text     ParseReport's reading of RAW at SCALING, and its text
//   band VALUE BELOW ABOVE out|in          OutOfBand
//   parse V text                           one number read by the editor's calculator
//   calc V|refused expression...           an expression typed into a decimal field
#include "config/Extended.h"
#include "config/UnitConfiguration.h"
#include "editor/DecimalText.h"
#include "link/ReportParser.h"
#include "monitor/AlarmMachines.h"
#include "monitor/StatusDisplay.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#if QMX_SOFT_EXTENDED
#error "golden vectors are made by the x87: build this on x86 without QMX_SOFT_EXTENDED"
#endif

namespace {
std::string Hex(const Extended& e) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", e.SignAndExponent(),
                static_cast<unsigned long long>(e.Significand()));
  return text;
}

// Reports of type X are not acknowledged: nothing is ever sent.
class NoEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string, std::uint16_t) override {}
  Result Open() override { return Result::Success(); }
  void Close() override {}
  [[nodiscard]] bool IsOpen() const override { return true; }
  Result Send(std::string_view) override { return Result::Success(); }
  std::optional<std::string> Receive() override { return std::nullopt; }
};

// Encodings at every edge of the format: zeros, denormals, pseudo-denormals, the normal range's
// ends, infinities, quiet and signalling NaNs, and the encodings the x87 refuses.
std::vector<Extended> Edges() {
  const std::pair<std::uint16_t, std::uint64_t> bits[] = {{0x0000, 0},
                                                          {0x8000, 0},
                                                          {0x0000, 1},
                                                          {0x8000, 1},
                                                          {0x0000, 0x7FFFFFFFFFFFFFFF},
                                                          {0x0000, 0x4000000000000000},
                                                          {0x0000, 0x8000000000000000},
                                                          {0x8000, 0x8000000000000001},
                                                          {0x0000, 0xFFFFFFFFFFFFFFFF},
                                                          {0x0001, 0x8000000000000000},
                                                          {0x0001, 0x8000000000000001},
                                                          {0x3FFF, 0x8000000000000000},
                                                          {0xBFFF, 0x8000000000000000},
                                                          {0x3FFF, 0x8000000000000001},
                                                          {0x3FFE, 0xFFFFFFFFFFFFFFFF},
                                                          {0x4008, 0xFFC0000000000000},
                                                          {0x4009, 0x8000000000000000},
                                                          {0x3FF5, 0x8020080200802008},
                                                          {0x3FFB, 0xCCCCCCCCCCCCCCCD},
                                                          {0x3FFD, 0xAAAAAAAAAAAAAAAB},
                                                          {0x403E, 0xFFFFFFFFFFFFFFFF},
                                                          {0x7FFE, 0xFFFFFFFFFFFFFFFF},
                                                          {0xFFFE, 0xFFFFFFFFFFFFFFFF},
                                                          {0x7FFF, 0x8000000000000000},
                                                          {0xFFFF, 0x8000000000000000},
                                                          {0x7FFF, 0xC000000000000000},
                                                          {0xFFFF, 0xC000000000000000},
                                                          {0x7FFF, 0xC000000000000005},
                                                          {0x7FFF, 0x8000000000000001},
                                                          {0xFFFF, 0xA000000000000000},
                                                          {0x7FFF, 0x0000000000000000},
                                                          {0x7FFF, 0x4000000000000000},
                                                          {0x4000, 0x4000000000000000},
                                                          {0x4000, 0x0000000000000000},
                                                          {0x3FBF, 0x8000000000000000},
                                                          {0x4040, 0x8000000000000000}};
  std::vector<Extended> edges;
  for (const auto& [se, sig] : bits) edges.push_back(Extended::FromBits(se, sig));
  return edges;
}

// Numbers of every size, and of the sizes readings and limits have.
// cppcheck 2.17 would make the generator const, which drawing from it cannot be.
// cppcheck-suppress constParameterReference
Extended RandomValue(std::mt19937_64& random) {
  switch (random() % 4) {
    case 0: {  // anywhere in the format, denormals included
      const auto exponent = static_cast<std::uint16_t>(random() % 0x7FFF);
      const std::uint64_t significand = random() | (exponent != 0 ? 1ULL << 63 : 0);
      return Extended::FromBits(static_cast<std::uint16_t>(exponent | (random() % 2) << 15), significand);
    }
    case 1: {  // near 1, full significand
      const auto exponent = static_cast<std::uint16_t>(0x3FFF - 40 + random() % 80);
      return Extended::FromBits(static_cast<std::uint16_t>(exponent | (random() % 2) << 15), random() | 1ULL << 63);
    }
    case 2:  // a decimal such as an operator types
      return Extended::FromNative(static_cast<long double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) /
                                  std::pow(10.0L, static_cast<int>(random() % 7)));
    default:  // a whole number
      return Extended::FromInt(static_cast<std::int32_t>(random() % 4096) - 1024);
  }
}

Extended Next(const Extended& v, long double toward) {
  return Extended::FromNative(std::nextafter(v.Native(), toward));
}

std::string Order(const Extended& a, const Extended& b) {
  const long double x = a.Native(), y = b.Native();
  return x < y ? "<" : x > y ? ">" : x == y ? "=" : "u";
}
}  // namespace

int main() {
  std::mt19937_64 random(19);
  const std::vector<Extended> edges = Edges();
  std::vector<Extended> values = edges;
  for (int i = 0; i < 400; ++i) values.push_back(RandomValue(random));

  std::printf("# Golden vectors of the 80-bit extended reals, made by the x87 with tools/make_extended_golden.cpp.\n");
  for (const Extended& v : values)
    std::printf("decode %s %s %s\n", Hex(v).c_str(), ShortestDecimalText(v).c_str(), FormatAnalogueValue(v).c_str());

  std::vector<std::pair<Extended, Extended>> pairs;
  for (const Extended& a : edges)
    for (const Extended& b : edges) pairs.emplace_back(a, b);
  for (int i = 0; i < 2000; ++i) pairs.emplace_back(RandomValue(random), RandomValue(random));
  for (const auto& [a, b] : pairs)
    std::printf("op %s %s %s %s %s %s %s %s\n", Hex(a).c_str(), Hex(b).c_str(), Hex(a + b).c_str(), Hex(a - b).c_str(),
                Hex(a * b).c_str(), Hex(a / b).c_str(), Hex(-a).c_str(), Order(a, b).c_str());

  // Readings through the real parser: every channel its own scaling, raw readings at and
  // around the ends and at random.
  std::vector<Extended> scalings = edges;
  for (const int whole : {1023, 1, 100, 1000, 5000, -1023, 3, 7, 10, 1024, 1022})
    scalings.push_back(Extended::FromInt(whole));
  for (int i = 0; i < 300; ++i) scalings.push_back(RandomValue(random));
  std::vector<std::int32_t> raws = {0, 1, 2, 3, 7, 100, 511, 512, 513, 977, 1000, 1021, 1022, 1023, 1024, 9999};
  for (int i = 0; i < 16; ++i) raws.push_back(static_cast<std::int32_t>(random() % 1024));
  UnitConfiguration config{};
  SetDefaults(config);
  NoEndpoint endpoint;
  for (std::size_t s = 0; s < scalings.size(); s += AnalogueInputCount) {
    for (int k = 0; k < AnalogueInputCount; ++k) config.AnalogueScaling[k] = scalings[(s + k) % scalings.size()];
    for (std::size_t r = 0; r < raws.size(); r += 2) {
      std::string report = "KELDRON,X,0000000000000000,0000000000000000";
      for (int k = 0; k < AnalogueInputCount; ++k) report += "," + std::to_string(raws[(r + k) % raws.size()]);
      ReportedValues reported;
      std::int32_t countdown = 0;
      (void)ParseReport(report, config, endpoint, reported, countdown);
      for (int k = 0; k < AnalogueInputCount; ++k)
        std::printf("scale %d %s %s %s\n", reported.AnalogueRaw[k], Hex(config.AnalogueScaling[k]).c_str(),
                    Hex(reported.AnalogueValue[k]).c_str(), FormatAnalogueValue(reported.AnalogueValue[k]).c_str());
    }
  }

  // Band decisions with the reading on a limit and one unit in the last place either side.
  for (int i = 0; i < 600; ++i) {
    const Extended limit =
        i < static_cast<int>(edges.size()) ? edges[static_cast<std::size_t>(i)] : RandomValue(random);
    const Extended other = RandomValue(random);
    for (const Extended& value : {limit, Next(limit, HUGE_VALL), Next(limit, -HUGE_VALL)}) {
      const bool above = random() % 2 == 0;
      const Extended below = above ? other : limit, top = above ? limit : other;
      std::printf("band %s %s %s %s\n", Hex(value).c_str(), Hex(below).c_str(), Hex(top).c_str(),
                  OutOfBand(value, below, top) ? "out" : "in");
    }
  }

  // Texts read by the calculator: the shortest texts of the values read back, typed decimals
  // of every length, and the ends of the range.
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "0.1",
                                    "1e-4951",
                                    "3.6e-4951",
                                    "3.64519953188247460253e-4951",
                                    "1.18973149535723176505e4932",
                                    "1.18973149535723176508e4932",
                                    "1e5000",
                                    "1e-5000",
                                    ".5",
                                    "5.",
                                    "00012.50",
                                    "1.0000000000000000000542101086242752217003726400434970855712890625",
                                    "0.33333333333333333334",
                                    "9.99999999999999999999e99",
                                    "123456789012345678901234567890"};
  for (const Extended& v : values)
    if (!v.IsNaN() && !v.IsInfinite()) texts.push_back(ShortestDecimalText(v));
  for (int i = 0; i < 500; ++i) {
    std::string digits;
    const int length = 1 + static_cast<int>(random() % 30);
    for (int d = 0; d < length; ++d) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % (length + 1));
    std::string text = digits.substr(0, point) + "." + digits.substr(point);
    if (random() % 2) text += "e" + std::to_string(static_cast<int>(random() % 9900) - 4950);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const auto read = EvaluateDecimalText(text);
    std::printf("parse %s %s\n", read ? Hex(*read).c_str() : "refused", text.c_str());
  }

  const char* const expressions[] = {"1/3",
                                     "2/3*3",
                                     "1023 * 4 / 3",
                                     "-(2+3)*-2",
                                     "1 + 2 * 3",
                                     "(1 + 2) * 3",
                                     "0.1 + 0.2",
                                     "0.1 * 3",
                                     "1e4932 * 10",
                                     "1e-4940 / 1e10",
                                     "1e-4950 * 0.5",
                                     "3.6e-4951 / 2",
                                     "1 - 1",
                                     "-1 + 1",
                                     "-0 - 0",
                                     "-0 * 5",
                                     "5 / -inf",
                                     "inf - inf",
                                     "inf * 0",
                                     "nan + 1",
                                     "-nan",
                                     "1 / 0",
                                     "0 / 0",
                                     "1e4000 * 1e4000 - 1",
                                     "1023 / 1023 * 1023",
                                     "100 * 1000 / 1023",
                                     "((((1))))",
                                     "1 +",
                                     "2 ** 3",
                                     "1e",
                                     "1.5e3 / 7",
                                     "-(-(-(1/7)))",
                                     "999999999999999999999 + 1",
                                     "12.5 - 12.4999999999",
                                     "4294967296 * 4294967296 + 1",
                                     "18446744073709551615 + 1",
                                     "0.000001 * 0.000001",
                                     "1/1023",
                                     "1023 * (1/1023)"};
  for (const char* expression : expressions) {
    const auto result = EvaluateDecimalText(expression);
    std::printf("calc %s %s\n", result ? Hex(*result).c_str() : "refused", expression);
  }
  for (int i = 0; i < 300; ++i) {
    // a op b op c with numbers of the kinds above
    const char ops[] = "+-*/";
    std::string expression;
    for (int term = 0; term < 3; ++term) {
      if (term > 0) expression += std::string(" ") + ops[random() % 4] + " ";
      expression += texts[random() % texts.size()];
    }
    const auto result = EvaluateDecimalText(expression);
    std::printf("calc %s %s\n", result ? Hex(*result).c_str() : "refused", expression.c_str());
  }
  return 0;
}
