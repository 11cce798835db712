// The words of the panel's state tables (link/LinkState.cpp, monitor/AlarmMachines.cpp): a
// condition column lets a row apply whatever its flag says, or only when the flag is on or
// off; a row that writes nothing to the event log says NoEntry.
#pragma once

#include <cstdint>
#include <optional>

enum class When : std::uint8_t { Any, On, Off };

[[nodiscard]] constexpr bool Holds(When when, bool flag) { return when == When::Any || (when == When::On) == flag; }

inline constexpr std::nullopt_t NoEntry = std::nullopt;
