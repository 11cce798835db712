// Data files from outside: decoding never reads past the bytes given, a refusal leaves
// the configuration untouched, and an accepted whole file encodes back to its own bytes.
#include "config/DataFile.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  UnitConfiguration config{};
  SetDefaults(config);
  UnitConfiguration before;
  CopyConfiguration(before, config);
  const LoadOutcome outcome = DecodeDataFile(std::span(data, size), config);
  if (outcome != LoadOutcome::Loaded) {
    if (ConfigurationDiffers(before, config)) std::abort();
    return 0;
  }
  if (size >= DataFileSize) {
    const auto bytes = EncodeDataFile(config);
    // Only the version may differ: any accepted version is written back as 1.
    if (std::memcmp(bytes.data() + 4, data + 4, DataFileSize - 4) != 0) std::abort();
  }
  return 0;
}
