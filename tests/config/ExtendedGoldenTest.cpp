// The golden vectors of the extended reals (tests/data/extended_golden.txt, made by the x87
// with tools/make_extended_golden.cpp): every build, x87 or software, must give the same ten
// bytes and the same texts through the panel's own functions.
#include "config/Extended.h"
#include "editor/DecimalText.h"
#include "link/ReportParser.h"
#include "monitor/AlarmMachines.h"
#include "monitor/StatusDisplay.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {
Extended Parse(const std::string& hex) {
  return Extended::FromBits(static_cast<std::uint16_t>(std::stoul(hex.substr(0, 4), nullptr, 16)),
                            std::stoull(hex.substr(5), nullptr, 16));
}
std::string Hex(const Extended& e) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", e.SignAndExponent(),
                static_cast<unsigned long long>(e.Significand()));
  return text;
}
std::string Hex(const std::optional<Extended>& e) { return e ? Hex(*e) : "refused"; }
std::string Order(const Extended& a, const Extended& b) { return a < b ? "<" : a > b ? ">" : a <= b ? "=" : "u"; }
std::string Rest(std::istringstream& in) {
  std::string rest;
  std::getline(in >> std::ws, rest);
  return rest;
}
}  // namespace

TEST(ExtendedGolden, EveryBuildGivesTheX87sBytesAndTexts) {
  std::ifstream file(QMX_EXTENDED_GOLDEN);
  ASSERT_TRUE(file) << QMX_EXTENDED_GOLDEN;
  std::map<std::string, int> checked;
  int wrong = 0;
  const auto expect = [&](const std::string& line, const std::string& what, const std::string& got,
                          const std::string& want) {
    if (got == want) return;
    if (++wrong <= 20) ADD_FAILURE() << line << "\n  " << what << ": got " << got << ", expected " << want;
  };
  UnitConfiguration config{};
  SetDefaults(config);
  FakeEndpoint endpoint;
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind.empty() || kind[0] == '#') continue;
    ++checked[kind];
    if (kind == "decode") {
      std::string v, shortest, shown;
      in >> v >> shortest >> shown;
      expect(line, "ShortestDecimalText", ShortestDecimalText(Parse(v)), shortest);
      expect(line, "FormatAnalogueValue", FormatAnalogueValue(Parse(v)), shown);
    } else if (kind == "op") {
      std::string a, b, sum, difference, product, quotient, negated, order;
      in >> a >> b >> sum >> difference >> product >> quotient >> negated >> order;
      const Extended x = Parse(a), y = Parse(b);
      expect(line, "+", Hex(x + y), sum);
      expect(line, "-", Hex(x - y), difference);
      expect(line, "*", Hex(x * y), product);
      expect(line, "/", Hex(x / y), quotient);
      expect(line, "negation", Hex(-x), negated);
      expect(line, "order", Order(x, y), order);
    } else if (kind == "scale") {
      std::string raw, scaling, value, shown;
      in >> raw >> scaling >> value >> shown;
      config.AnalogueScaling[3] = Parse(scaling);
      ReportedValues values;
      std::int32_t countdown = 0;
      (void)ParseReport("KELDRON,X,0000000000000000,0000000000000000,0,0,0," + raw, config, endpoint, values,
                        countdown);
      expect(line, "AnalogueValue", Hex(values.AnalogueValue[3]), value);
      expect(line, "FormatAnalogueValue", FormatAnalogueValue(values.AnalogueValue[3]), shown);
    } else if (kind == "band") {
      std::string value, below, above, decision;
      in >> value >> below >> above >> decision;
      expect(line, "OutOfBand", OutOfBand(Parse(value), Parse(below), Parse(above)) ? "out" : "in", decision);
    } else if (kind == "parse" || kind == "calc") {
      std::string result;
      in >> result;
      const std::string text = Rest(in);
      expect(line, "EvaluateDecimalText", Hex(EvaluateDecimalText(text)), result);
    } else {
      ADD_FAILURE() << "unknown line: " << line;
    }
  }
  EXPECT_EQ(wrong, 0);
  // The file holds every kind, in numbers that cover the edges and a random spread.
  EXPECT_GE(checked["decode"], 400);
  EXPECT_GE(checked["op"], 3000);
  EXPECT_GE(checked["scale"], 5000);
  EXPECT_GE(checked["band"], 1800);
  EXPECT_GE(checked["parse"], 900);
  EXPECT_GE(checked["calc"], 300);
}
