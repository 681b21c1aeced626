#include "launcher/channel_choice.h"

#include <windows.h>

#include <optional>

#include "update/base/channel_name.h"
#include "update/base/failure_log.h"
#include "update/base/file_bytes.h"
#include "utility/string_helpers.h"

namespace Application {

// Set at configure time (cmake/channel_option.cmake), in its one spelling.
const char kBuildChannel[] = TOLVANE_CHANNEL;

std::string ChooseChannel(const std::wstring& folder, const ChannelSwitch& asked) {
    if (!asked.refused.empty())
        LogFailure(L"error : Channel switch ignored: " + asked.refused +
                   L" is not /channel=NAME with NAME 1 to 32 letters, digits, - or _");
    const std::wstring path = folder + L"update\\channel";
    if (asked.given) {
        CreateDirectoryW((folder + L"update").c_str(), nullptr);
        ReplaceFileBytes(path, asked.channel + "\r\n");
        return asked.channel;
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return kBuildChannel;
    std::string kept = ReadFileBytes(path);
    // One line, its line end (if any) dropped.
    if (!kept.empty() && kept.back() == '\n')
        kept.pop_back();
    if (!kept.empty() && kept.back() == '\r')
        kept.pop_back();
    const std::optional<std::string> channel = ChannelName(kept);
    if (channel)
        return *channel;
    LogFailure(L"error : The channel record names no channel: " + path +
               L"; the launcher follows " + String::ToWstring(kBuildChannel));
    return kBuildChannel;
}

std::wstring ChannelStatus(const std::string& channel) {
    return channel == kStableChannel ? std::wstring() : L"Channel: " + String::ToWstring(channel);
}

} // namespace Application
