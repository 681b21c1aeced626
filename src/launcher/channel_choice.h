#pragma once
// The channel the launcher follows: the build's (TOLVANE_CHANNEL, stable unless the build says
// otherwise) until the player starts it once with /channel=NAME, which update\channel then keeps
// for every later start; /channel=stable goes back, over a build's other default too.
#include <string>

#include "launcher/command_line.h"

namespace Application {

// The build's channel, in its one spelling, as the configure step checked it.
extern const char kBuildChannel[];

// The channel the launcher in the folder follows, decided once at start, before any pass: the
// switch's when given (kept in update\channel first; a failed write is logged and the channel
// still holds for this run), else the one update\channel keeps, else the build's. A refused
// switch, and a record that names no channel, each get one error-log line and change nothing.
std::string ChooseChannel(const std::wstring& folder, const ChannelSwitch& asked);

// The status line at start: "Channel: NAME" for a channel other than stable, empty for stable.
std::wstring ChannelStatus(const std::string& channel);

} // namespace Application
