#include "update/base/channel_name.h"

const char kStableChannel[] = "stable";

std::optional<std::string> ChannelName(const std::string& given) {
    if (given.empty() || given.size() > 32)
        return std::nullopt;
    std::string name;
    for (char c : given) {
        // ASCII ranges, whatever locale the program set.
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (!(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != '-' && c != '_')
            return std::nullopt;
        name.push_back(c);
    }
    return name;
}

std::optional<std::string> ChannelName(const std::wstring& given) {
    std::string narrow;
    for (wchar_t unit : given) {
        if (unit <= 0 || unit >= 0x80)
            return std::nullopt;
        narrow.push_back(static_cast<char>(unit));
    }
    return ChannelName(narrow);
}

std::string ChannelFolder(const std::string& channel) {
    return channel == kStableChannel ? "AppGameUpload" : "TolvaneChannels/" + channel;
}
