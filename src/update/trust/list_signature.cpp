#include "update/trust/list_signature.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace {

const std::string kSignaturePrefix = "'signature ecdsa-p256-sha256 ";
const std::string kSerialPrefix = "'tolvane-list";
constexpr std::size_t kSignatureBytes = 64;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Digits only, without a sign or a leading zero, and no larger than 2^64-1.
bool ParseSerialNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || (text[0] == '0' && text.size() > 1))
        return false;
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    return read.ec == std::errc() && read.ptr == end;
}

// Exactly `width` digits; leading zeros allowed, as in dates.
int FixedDigits(const std::string& text, std::size_t at, std::size_t width) {
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool LeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date, counted in 400-year eras of
// 146097 days, each year starting on March 1 so that the leap day comes last.
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The one serial line among the lines of the signed part, if there is exactly one and it is
// well formed.
std::optional<ListSerial> FindSerial(const std::string& bytes) {
    std::optional<ListSerial> found;
    int candidates = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        end = end == std::string::npos ? bytes.size() : end;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        const std::string line = bytes.substr(start, end - start);
        start = next;
        if (!StartsWith(line, kSerialPrefix))
            continue;
        ListSerial serial;
        if (++candidates > 1 || !ParseSerialLine(line, serial))
            return std::nullopt;
        found = serial;
    }
    return found;
}

} // namespace

bool DecodeBase64(const std::string& text, std::string& bytes) {
    if (text.size() % 4 != 0)
        return false;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    bytes.clear();
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Sextet(text[i]); // also refuses a "=" before the padding
        if (value < 0)
            return false;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        if (i % 4 == 3) {
            bytes.push_back(static_cast<char>(bits >> 16));
            bytes.push_back(static_cast<char>(bits >> 8));
            bytes.push_back(static_cast<char>(bits));
            bits = 0;
        }
    }
    // The bits the padding leaves unused must be zero, so each byte string has one encoding.
    if (padding == 2) {
        if (bits & 0xF)
            return false;
        bytes.push_back(static_cast<char>(bits >> 4));
    } else if (padding == 1) {
        if (bits & 0x3)
            return false;
        bytes.push_back(static_cast<char>(bits >> 10));
        bytes.push_back(static_cast<char>(bits >> 2));
    }
    return true;
}

bool UtcToUnixSeconds(const std::string& text, std::int64_t& seconds) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return false;
    const int year = FixedDigits(text, 0, 4), month = FixedDigits(text, 5, 2),
              day = FixedDigits(text, 8, 2), hour = FixedDigits(text, 11, 2),
              minute = FixedDigits(text, 14, 2), second = FixedDigits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

bool ParseSerialLine(const std::string& line, ListSerial& serial) {
    serial = ListSerial();
    if (!StartsWith(line, kSerialPrefix) || line.size() == kSerialPrefix.size())
        return false;
    bool hasSerial = false;
    for (std::size_t at = kSerialPrefix.size(); at < line.size();) {
        if (line[at] != ' ')
            return false;
        const std::size_t end = std::min(line.find(' ', at + 1), line.size());
        const std::string field = line.substr(at + 1, end - at - 1);
        at = end;
        const std::size_t equals = field.find('=');
        const std::string name = field.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : field.substr(equals + 1);
        if (equals == std::string::npos)
            return false;
        if (name == "serial" && !hasSerial) {
            hasSerial = ParseSerialNumber(value, serial.serial);
            if (!hasSerial)
                return false;
        } else if (name == "expires" && !serial.expires) {
            serial.expires = true;
            if (!UtcToUnixSeconds(value, serial.expiry))
                return false;
        } else if (name == "product" && serial.product.empty()) {
            if (!IsProductName(value))
                return false;
            serial.product = value;
        } else {
            return false; // unknown, or given twice
        }
    }
    return hasSerial;
}

bool IsProductName(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        // ASCII only, whatever locale the program set.
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') &&
            c != '-' && c != '.' && c != '_')
            return false;
    return true;
}

SignedList SplitSignedList(const std::string& list) {
    SignedList result;
    std::size_t end = list.size();
    if (end >= 2 && list.compare(end - 2, 2, "\r\n") == 0)
        end -= 2;
    const std::size_t newline = end == 0 ? std::string::npos : list.rfind('\n', end - 1);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    const bool afterCrLf = start == 0 || (start >= 2 && list[start - 2] == '\r');
    const std::string line = list.substr(start, end - start);
    std::string signature;
    if (afterCrLf && StartsWith(line, kSignaturePrefix) &&
        DecodeBase64(line.substr(kSignaturePrefix.size()), signature) &&
        signature.size() == kSignatureBytes) {
        result.signedBytes = list.substr(0, start);
        result.signature = signature;
    } else {
        result.signedBytes = list;
    }
    result.serial = FindSerial(result.signedBytes);
    return result;
}

ListVerdict JudgeList(const SignedList& list, bool signatureVerified, const std::string& product,
                      std::optional<std::uint64_t> storedSerial, std::int64_t now) {
    if (list.signature.empty() || !signatureVerified || !list.serial)
        return ListVerdict::NotSigned;
    if (!product.empty() && list.serial->product != product)
        return ListVerdict::OtherProduct;
    if (storedSerial && list.serial->serial < *storedSerial)
        return ListVerdict::Older;
    if (list.serial->expires && list.serial->expiry <= now)
        return ListVerdict::Expired;
    return ListVerdict::Accepted;
}

std::wstring ListRefusalText(ListVerdict verdict) {
    switch (verdict) {
    case ListVerdict::NotSigned:
        return L"error : The update list is not signed by the studio";
    case ListVerdict::OtherProduct:
        return L"error : The update list is for another product";
    case ListVerdict::Older:
        return L"error : The update list is older than the one installed";
    case ListVerdict::Expired:
        return L"error : The update list has expired";
    case ListVerdict::Accepted:
        break;
    }
    return std::wstring();
}
