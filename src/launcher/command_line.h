#pragma once
// The launcher's command line, decided without the platform.
#include <cstdint>
#include <string>
#include <vector>

namespace Application {

// The arguments after the program's name, split as the C runtime splits them: at blanks and
// tabs outside double quotes; the quotes group and go; a backslash escapes a quote only.
std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine);

// True when one whole argument is "/repair" in any letter case; every other argument is
// ignored. False for a null command line.
bool AsksForRepair(const wchar_t* commandLine);

// The /limit=N switches of a command line: N a bandwidth limit in KiB/s, in decimal digits, from
// 0 (no limit) to kMostDownloadLimitKiBs; "/limit=" in any letter case.
struct LimitSwitch {
    bool given = false;     // a good one was there, and kibs is the last good one's N
    std::uint32_t kibs = 0; // the limit asked for
    std::wstring refused;   // the last argument "/limit" or "/limit=..." that is no such switch
};
// The switches of the command line; every other argument is ignored. None for a null one.
LimitSwitch AskedDownloadLimit(const wchar_t* commandLine);

// The /channel=NAME switches of a command line: NAME a channel name (ChannelName), "/channel="
// in any letter case.
struct ChannelSwitch {
    bool given = false;   // a good one was there, and channel is the last good one's channel
    std::string channel;  // in its one spelling
    std::wstring refused; // the last argument "/channel" or "/channel=..." that is no such switch
};
// The switches of the command line; every other argument is ignored. None for a null one.
ChannelSwitch AskedChannel(const wchar_t* commandLine);

} // namespace Application
