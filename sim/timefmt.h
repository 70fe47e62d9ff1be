// Time values as written on the simulator's command line and in scenario scripts.
//
// A time is a non-negative decimal number followed by a unit: ns, us, ms, s or m (minutes),
// for example "250ms", "2s", "1.5s", "1m" or "0s". The unit is mandatory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace simcli {

// Parses a time into nanoseconds. Returns nullopt for an empty string, a missing or unknown
// unit, a sign, embedded spaces, anything else that is not a plain decimal number, and values
// that do not fit into 64 bits. Fractions finer than a nanosecond are rounded down.
std::optional<uint64_t> parseTimeNs(std::string_view text);

// Seconds with six decimals for messages, e.g. "1.234567 s" (rounded down to the microsecond).
std::string formatTime(uint64_t ns);

// The shortest exact spelling in the input syntax, e.g. "250ms", "90s", "2m", "0s".
// parseTimeNs(formatDuration(x)) == x for every x.
std::string formatDuration(uint64_t ns);

}  // namespace simcli
