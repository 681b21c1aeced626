#include "utility/string_helpers.h"

#include <stdexcept>

namespace String {

namespace {

wchar_t Widen(char byte) {
    // The byte taken as signed and sign-extended: 0xE9 gives 0xFFE9, not 0x00E9.
    return static_cast<wchar_t>(static_cast<std::int16_t>(static_cast<signed char>(byte)));
}

} // namespace

std::string ToString(std::wstring text) {
    std::string result(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        result[i] = static_cast<char>(static_cast<unsigned>(text[i]) & 0xFFu);
    return result;
}

std::wstring ToWstring(std::string text) {
    std::wstring result(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        result[i] = Widen(text[i]);
    return result;
}

std::string ConvertString(std::wstring text) {
    return ToString(std::move(text));
}

std::wstring ConvertString(std::string text) {
    return ToWstring(std::move(text));
}

std::wstring erase(std::wstring text) {
    if (text.size() < 32)
        throw std::out_of_range("invalid string position");
    text.resize(32);
    return text;
}

void ClearListString(std::vector<std::string>& list) {
    for (auto& item : list)
        item.clear();
}

std::vector<std::string> Split(std::string text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::string Remove(std::string& text, char byte) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != byte)
            result.push_back(c);
    text.clear();
    return result;
}

void Replace(std::string& text, char from, char to) {
    for (auto& c : text)
        if (c == from)
            c = to;
}

void Replace(std::wstring& text, char from, char to) {
    // Compared as an unsigned 16-bit unit against the byte taken as signed 8-bit: 0x80-0xFF
    // become negative and never equal a unit, so only ASCII bytes ever match.
    const int wanted = static_cast<signed char>(from);
    const wchar_t replacement = Widen(to);
    for (auto& unit : text)
        if (static_cast<int>(static_cast<std::uint16_t>(unit)) == wanted)
            unit = replacement;
}

std::uint64_t GetCountSubString(std::wstring& text) {
    std::uint64_t count = 0;
    for (wchar_t unit : text)
        if (unit == L'\n')
            ++count;
    return count;
}

void RemoveSubString(std::wstring& text) {
    const std::size_t p = text.find(L'\n');
    if (p != std::wstring::npos)
        text.erase(0, p + 1);
}

} // namespace String
