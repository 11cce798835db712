// The data file: a 36-byte header (version, identity) followed by the 1912 bytes of a
// UnitConfiguration exactly as they lie in memory, 1948 bytes in all.
#pragma once

#include "config/Result.h"
#include "config/UnitConfiguration.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::int32_t DataFileVersion = 1;
// Only the first 32 characters fit the header's identity field; those 32 are written and compared.
inline constexpr std::string_view DataFileIdentity = "KELDRON Quellmarinox Simple Panel";
inline constexpr std::size_t DataFileIdentitySize = 32;
inline constexpr std::size_t DataFileHeaderSize = 36;
inline constexpr std::size_t DataFileSize = DataFileHeaderSize + sizeof(UnitConfiguration);
static_assert(DataFileSize == 1948);

enum class LoadOutcome { Loaded, CannotOpen, Incompatible, LaterFormat, ReadError };

// The text the operator sees for a refusal; empty for Loaded.
[[nodiscard]] std::string_view LoadOutcomeMessage(LoadOutcome outcome);

// Checks the identity, then the version (1 or less is accepted), then replaces as many
// leading bytes of the configuration as follow the header, at most 1912. On a refusal the
// configuration is untouched.
[[nodiscard]] LoadOutcome DecodeDataFile(std::span<const std::uint8_t> bytes, UnitConfiguration& config);
[[nodiscard]] std::array<std::uint8_t, DataFileSize> EncodeDataFile(const UnitConfiguration& config);

// Reads at most 1948 bytes of the file. Anything but a regular file (a folder, a FIFO, a
// device) cannot be opened, and is refused at once rather than waited on. A read error
// part-way leaves the configuration as it was (the bytes go to a copy first); a file that
// simply ends early still replaces the leading bytes it holds.
[[nodiscard]] LoadOutcome ReadDataFile(const std::string& path, UnitConfiguration& config);

// Writes the whole file under a fresh temporary name beside the target and renames it over
// the target, so a failed or interrupted save never destroys the file that was there. The
// temporary name is short and does not include the target's ("qmx-XXXXXX.saving"), so a
// target named up to the file system's limit (255 bytes) is saved the same way. A
// symbolic link is written through (the file it names is replaced, the link stays); a
// replaced file keeps its mode and, where permitted, its owner. Where no temporary file can
// be made beside it but the file itself is writable, the file is overwritten in place.
[[nodiscard]] Result WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
[[nodiscard]] Result WriteDataFile(const std::string& path, const UnitConfiguration& config);
