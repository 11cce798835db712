#include "config/DataFile.h"
#include "config/UnitConfiguration.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::uint8_t> Bytes(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(p, p + size);
}
std::vector<std::uint8_t> Hex(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}
UnitConfiguration Defaults() {
  UnitConfiguration config{};
  SetDefaults(config);
  return config;
}
}  // namespace

TEST(UnitConfiguration, DefaultsLieAtTheirOffsets) {
  const UnitConfiguration config = Defaults();
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&config);
  std::vector<std::uint8_t> address(64, 0);
  std::memcpy(address.data(), "192.168.0.6", 11);
  EXPECT_EQ(Bytes(raw, 64), address);
  EXPECT_EQ(Bytes(raw + 64, 4), Hex({0xC4, 0x0B, 0x00, 0x00}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 68), 8), std::string("KELDRON\0", 8));
  EXPECT_EQ(Bytes(raw + 100, 8), Hex({10, 0, 0, 0, 20, 0, 0, 0}));
  EXPECT_EQ(Bytes(raw + 108, 72), std::vector<std::uint8_t>(72, 1));
  EXPECT_EQ(Bytes(raw + 180, 4), Hex({0, 0, 0, 0}));  // the hole stays as it was: zero
  EXPECT_EQ(Bytes(raw + 184 + 70, 10), Hex({0, 0, 0, 0, 0, 0, 0, 0x80, 0x09, 0x40}));
  EXPECT_EQ(Bytes(raw + 264, 80), std::vector<std::uint8_t>(80, 0));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 869), 9), std::string("Input 16\0", 9));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 904), 9), std::string("Output 1\0", 9));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 1709), 11), std::string("Analogue 8\0", 11));
  EXPECT_EQ(Bytes(raw + 1744, 10), Hex({0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x08, 0x40}));
  EXPECT_EQ(Bytes(raw + 1824, 4), Hex({1, 1, 1, 1}));
  EXPECT_EQ(Bytes(raw + 1828, 16), std::vector<std::uint8_t>(16, 0));
  EXPECT_EQ(Bytes(raw + 1844, 4), Hex({0xE8, 0x03, 0, 0}));
  EXPECT_EQ(Bytes(raw + 1904, 8), Hex({0xE8, 0x03, 0, 0, 0, 0, 0, 0}));
}

TEST(UnitConfiguration, DefaultsLeaveBytesAfterTerminatorsAlone) {
  UnitConfiguration config;
  std::memset(&config, 0xAB, sizeof config);
  SetDefaults(config);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&config);
  EXPECT_EQ(raw[11], 0);
  EXPECT_EQ(raw[12], 0xAB);  // after "192.168.0.6" and its NUL
  EXPECT_EQ(raw[68 + 8], 0xAB);
  EXPECT_EQ(Bytes(raw + 180, 4), Hex({0xAB, 0xAB, 0xAB, 0xAB}));
  EXPECT_EQ(Bytes(raw + 1908, 4), Hex({0xAB, 0xAB, 0xAB, 0xAB}));
}

TEST(UnitConfiguration, DiffersOnEveryByteHolesIncluded) {
  const UnitConfiguration a = Defaults();
  UnitConfiguration b;
  CopyConfiguration(b, a);
  EXPECT_FALSE(ConfigurationDiffers(a, b));
  for (std::size_t offset : {std::size_t{0}, std::size_t{20}, std::size_t{181}, std::size_t{360}, std::size_t{1911}}) {
    UnitConfiguration c;
    CopyConfiguration(c, a);
    reinterpret_cast<std::uint8_t*>(&c)[offset] ^= 0x01;
    EXPECT_TRUE(ConfigurationDiffers(a, c)) << offset;
  }
}

TEST(UnitConfiguration, TextFieldsStayInsideTheirField) {
  UnitConfiguration config = Defaults();
  // A 32-character designator fits its 35-byte field with its NUL.
  const std::string longest(32, 'Z');
  WriteText(config.InputDesignator[3], longest);
  EXPECT_EQ(ReadText(config.InputDesignator[3]), longest);
  EXPECT_EQ(ReadText(config.InputDesignator[4]), "Input 5");
  // A field without a NUL (only a file brings one) reads as its full length, never past it.
  std::memset(config.DeviceName, 'N', sizeof config.DeviceName);
  EXPECT_EQ(ReadText(config.DeviceName), std::string(32, 'N'));
  // Too long a text is cut to fit with its NUL.
  WriteText(config.DeviceName, std::string(40, 'x'));
  EXPECT_EQ(ReadText(config.DeviceName), std::string(31, 'x'));
  EXPECT_EQ(ReadText(config.InputDesignator[3]), longest);
}

TEST(UnitConfiguration, EndpointPortIsTheLowSixteenBits) {
  EXPECT_EQ(EndpointPort(3012), 3012);
  EXPECT_EQ(EndpointPort(70000), 4464);
  EXPECT_EQ(EndpointPort(-1), 65535);
}
