#include "update/base/field_text.h"

#include <limits>

bool ParseDecimal(const std::string& text, std::uint64_t& number) {
    if (text.empty() || text.size() > 20)
        return false;
    number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    return true;
}

bool IsSha256Hex(const std::string& text) {
    return IsLowerHex(text, 64);
}

bool IsLowerHex(const std::string& text, std::size_t digits) {
    if (text.size() != digits)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}
