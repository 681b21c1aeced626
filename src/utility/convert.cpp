#include "utility/convert.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace Convert {

// The 32-bit range of unsigned_long is the runtime's own: strtoul reports ERANGE past it.
static_assert(ULONG_MAX == 4294967295UL, "unsigned long must be 32 bits wide");

bool isNumber(char byte) {
    return static_cast<unsigned char>(byte - '0') <= 9;
}

bool isNumber(std::string text) {
    for (char byte : text)
        if (!isNumber(byte))
            return false;
    return true;
}

std::string ToFormatNumber(std::string text) {
    std::string result;
    for (char byte : text) {
        if (byte == '.')
            result.push_back(',');
        else if (isNumber(byte) || byte == ',' || byte == '-')
            result.push_back(byte);
    }
    return result;
}

bool Boll(std::string text) {
    return text == "true" || text == "true;" || text == "true " || text == "1";
}

unsigned long unsigned_long(std::string text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(start, &end, 0);
    if (end == start)
        throw std::invalid_argument("invalid stoul argument");
    if (errno == ERANGE)
        throw std::out_of_range("stoul argument out of range");
    return value;
}

int Int(std::string text) {
    return std::atoi(text.c_str());
}

float Float(std::string text) {
    return static_cast<float>(std::atof(ToFormatNumber(text).c_str()));
}

double Double(std::string text) {
    return std::atof(text.c_str());
}

} // namespace Convert
