#pragma once
// Text to numbers and truth values, through the C runtime's conversions. Float and Double
// follow the runtime's current numeric locale, which Path::GetListFiles and
// Path::GetListFilesOnlyName switch to "Russian" (decimal comma) for the whole process.
#include <string>

#include "utility/api.h"

namespace Convert {

// True for the bytes '0'-'9'.
TOLVANE_API bool isNumber(char byte);
// True when every byte is a digit; the empty text is true, a sign or separator is not.
TOLVANE_API bool isNumber(std::string text);
// Keeps digits, commas and minus signs, turns full stops into commas and drops every other
// byte: "1 234.5" gives "1234,5".
TOLVANE_API std::string ToFormatNumber(std::string text);
// True for exactly "true", "true;", "true " or "1"; false for anything else.
TOLVANE_API bool Boll(std::string text);
// strtoul in base 0 (0x hexadecimal, leading 0 octal) of the text up to its first zero byte;
// a minus sign negates modulo 2^32. Throws std::invalid_argument("invalid stoul argument")
// when no digit is converted and std::out_of_range("stoul argument out of range") when the
// magnitude exceeds 4294967295.
TOLVANE_API unsigned long unsigned_long(std::string text);
// atoi: leading digits after optional white space and sign; 0 without them.
TOLVANE_API int Int(std::string text);
// atof of ToFormatNumber(text), rounded to float: the fraction is read only while the
// numeric locale's decimal separator is the comma.
TOLVANE_API float Float(std::string text);
// atof of the unchanged text: under a comma locale it stops at a full stop.
TOLVANE_API double Double(std::string text);

} // namespace Convert
