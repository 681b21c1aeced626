#include "launcher/command_line.h"

#include "update/base/channel_name.h"
#include "update/base/update_settings.h"

namespace Application {

namespace {

bool IsBlank(wchar_t unit) {
    return unit == L' ' || unit == L'\t';
}

// ASCII letters only: no other character may stand in for a letter of the switch.
bool SameIgnoringCase(const std::wstring& text, const wchar_t* word) {
    std::size_t i = 0;
    for (; i < text.size() && word[i] != L'\0'; ++i) {
        const wchar_t unit = text[i] >= L'A' && text[i] <= L'Z' ? text[i] + (L'a' - L'A') : text[i];
        if (unit != word[i])
            return false;
    }
    return i == text.size() && word[i] == L'\0';
}

// The value of a "/NAME=VALUE" switch (name given as "/NAME", lower case) in any letter case:
// true with value set for "/NAME=..." and for a bare "/NAME" (value empty then), false for any
// other argument.
bool SwitchValue(const std::wstring& argument, const wchar_t* name, std::wstring& value) {
    const std::wstring prefix = std::wstring(name) + L"=";
    value.clear();
    if (SameIgnoringCase(argument, name))
        return true;
    if (argument.size() < prefix.size() ||
        !SameIgnoringCase(argument.substr(0, prefix.size()), prefix.c_str()))
        return false;
    value = argument.substr(prefix.size());
    return true;
}

// Gives the value of each "/NAME=VALUE" switch, in order, to read, which takes it (true) or not;
// the last argument not taken is kept in *refused.
template <typename Read>
void ReadSwitch(const wchar_t* commandLine, const wchar_t* name, std::wstring* refused, Read read) {
    if (commandLine == nullptr)
        return;
    for (const std::wstring& argument : CommandLineArguments(commandLine)) {
        std::wstring value;
        if (SwitchValue(argument, name, value) && !read(value))
            *refused = argument;
    }
}

} // namespace

std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine) {
    std::size_t i = 0;
    const std::size_t end = commandLine.size();
    // The program's name ends at its closing quote, or unquoted at the first blank; it has no
    // escapes.
    if (i < end && commandLine[i] == L'"') {
        i = commandLine.find(L'"', 1);
        i = i == std::wstring::npos ? end : i + 1;
    }
    while (i < end && !IsBlank(commandLine[i]))
        ++i;

    std::vector<std::wstring> arguments;
    while (true) {
        while (i < end && IsBlank(commandLine[i]))
            ++i;
        if (i >= end)
            return arguments;
        std::wstring argument;
        bool quoted = false;
        for (; i < end && (quoted || !IsBlank(commandLine[i])); ++i) {
            std::size_t slashes = 0;
            while (i < end && commandLine[i] == L'\\') {
                ++slashes;
                ++i;
            }
            if (i < end && commandLine[i] == L'"') {
                // 2n backslashes and a quote: n backslashes, and the quote groups; 2n + 1: n
                // backslashes and a plain quote.
                argument.append(slashes / 2, L'\\');
                if (slashes % 2 == 1)
                    argument.push_back(L'"');
                else
                    quoted = !quoted;
            } else {
                argument.append(slashes, L'\\');
                if (i >= end || (!quoted && IsBlank(commandLine[i])))
                    break;
                argument.push_back(commandLine[i]);
            }
        }
        arguments.push_back(argument);
    }
}

bool AsksForRepair(const wchar_t* commandLine) {
    if (commandLine == nullptr)
        return false;
    for (const std::wstring& argument : CommandLineArguments(commandLine))
        if (SameIgnoringCase(argument, L"/repair"))
            return true;
    return false;
}

LimitSwitch AskedDownloadLimit(const wchar_t* commandLine) {
    LimitSwitch asked;
    ReadSwitch(commandLine, L"/limit", &asked.refused, [&](const std::wstring& digits) {
        // Ten digits hold any 32-bit value, so the sum below cannot overflow.
        bool number = !digits.empty() && digits.size() <= 10;
        std::uint64_t value = 0;
        for (std::size_t i = 0; number && i < digits.size(); ++i) {
            number = digits[i] >= L'0' && digits[i] <= L'9';
            value = value * 10 + static_cast<std::uint64_t>(digits[i] - L'0');
        }
        if (!number || value > kMostDownloadLimitKiBs)
            return false;
        asked.given = true;
        asked.kibs = static_cast<std::uint32_t>(value);
        return true;
    });
    return asked;
}

ChannelSwitch AskedChannel(const wchar_t* commandLine) {
    ChannelSwitch asked;
    ReadSwitch(commandLine, L"/channel", &asked.refused, [&](const std::wstring& name) {
        const std::optional<std::string> channel = ChannelName(name);
        if (channel) {
            asked.given = true;
            asked.channel = *channel;
        }
        return channel.has_value();
    });
    return asked;
}

} // namespace Application
