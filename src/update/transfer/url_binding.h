#pragma once
// One download's binding: the URL is bound through urlmon with the bind-status callback of
// every download, and its redirects are followed here, not by the platform, so that a loop
// ends where it is seen. Wine's WinINet otherwise follows a loop to its own limit, far past
// ten redirects, whatever the callback says while it does.
#include <string>

#include "update/transfer/binding_watch.h"

namespace Network {

// Binds url and each redirect target in turn, on this thread, which runs its messages until each
// binding has ended, until an answer that is no redirect, reporting to watch through
// DownloadProgressInstance. A redirect that RedirectCut refuses ends the download with that cut
// on watch. Returns the platform's result of the last binding (INET_E_REDIRECT_FAILED for a
// refused redirect); the body is in the file the watch wrote.
long BindFollowingRedirects(std::wstring url, BindingWatch& watch);

} // namespace Network
