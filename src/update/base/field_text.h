#pragma once
// The two field texts that lists, chunk indexes and the launcher's records hold: decimal byte
// counts and SHA-256 digests. Standard C++ alone (the publisher's native helper builds it too).
#include <cstdint>
#include <string>

// True for a decimal number of 1 to 20 digits that fits in 64 bits, nothing else.
bool ParseDecimal(const std::string& text, std::uint64_t& number);
// True for exactly that many lowercase hex digits.
bool IsLowerHex(const std::string& text, std::size_t digits);
// True for exactly 64 lowercase hex digits.
bool IsSha256Hex(const std::string& text);
