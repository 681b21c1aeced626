#pragma once
// The times a signed list's serial line carries.
#include <cstdint>
#include <string>

// Reads "YYYY-MM-DDTHH:MM:SSZ" (UTC, year 0000 to 9999) as Unix seconds. False for any other
// shape and for impossible dates and times (month 13, February 29 outside leap years, 24:00,
// second 60).
bool UtcToUnixSeconds(const std::string& text, std::int64_t& seconds);
