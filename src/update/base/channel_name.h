#pragma once
// Release channels: which names a channel may have and where its lists live on the host. Pure,
// and the one place of both rules; the build option, the /channel= switch, the launcher's
// channel record and the lists' channel field all go through it.
#include <optional>
#include <string>

// The channel every launcher follows unless its build or its player chose another.
extern const char kStableChannel[];

// The channel a name given by a person stands for, in its one spelling (lower case): 1 to 32
// ASCII letters, digits, "-" and "_", case ignored. None for anything else.
std::optional<std::string> ChannelName(const std::string& given);
// The same for a wide name, whose every unit must be ASCII (no unit may pass for a letter).
std::optional<std::string> ChannelName(const std::wstring& given);

// The folder of the site, under the server's base URL, that holds a channel's list and files:
// "AppGameUpload" for stable, where launchers have always looked, "TolvaneChannels/" and the
// channel for any other.
std::string ChannelFolder(const std::string& channel);
