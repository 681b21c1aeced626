#pragma once
// String helpers: the one conversion between byte strings and wide strings, and small edits.
// A byte string carries raw 8-bit units, a wide string 16-bit units; no code page, locale
// or UTF-8 takes part, and every conversion keeps the length.
#include <cstdint>
#include <string>
#include <vector>

#include "utility/api.h"

namespace String {

// Narrowing: each 16-bit unit gives its low byte (U+0439 gives '9', U+FFE9 gives 0xE9).
TOLVANE_API std::string ToString(std::wstring text);
// Widening: bytes 0x00-0x7F keep their value, 0x80-0xFF become 0xFF80-0xFFFF.
TOLVANE_API std::wstring ToWstring(std::string text);
// Second exported names of ToString and ToWstring; identical behaviour.
TOLVANE_API std::string ConvertString(std::wstring text);
TOLVANE_API std::wstring ConvertString(std::string text);

// The first 32 units; throws std::out_of_range("invalid string position") when shorter.
TOLVANE_API std::wstring erase(std::wstring text);
// Empties every element; the element count stays.
TOLVANE_API void ClearListString(std::vector<std::string>& list);
// Fields between separator bytes. No trailing empty field after a final separator;
// an empty text gives no field.
TOLVANE_API std::vector<std::string> Split(std::string text, char separator);
// Returns the text without every occurrence of the byte and leaves the argument empty.
TOLVANE_API std::string Remove(std::string& text, char byte);
// Every byte equal to from becomes to, in place.
TOLVANE_API void Replace(std::string& text, char from, char to);
// Every unit equal to from (as a sign-extended byte) becomes to, widened as by ToWstring.
// A from byte of 0x80-0xFF therefore matches no unit.
TOLVANE_API void Replace(std::wstring& text, char from, char to);
// Number of line-feed units; the string is not changed.
TOLVANE_API std::uint64_t GetCountSubString(std::wstring& text);
// Removes everything up to and including the first line feed; no line feed, no change.
TOLVANE_API void RemoveSubString(std::wstring& text);

} // namespace String
