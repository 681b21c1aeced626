#pragma once
// What a running download's binding can be asked through WinINet: header values and the URL
// reached after redirects.
#include <windows.h>
#include <urlmon.h>

#include <string>

namespace Network {

// A header or status value (HTTP_QUERY_*) of the answer as text; empty when there is none.
std::wstring QueryText(IWinInetHttpInfo* info, DWORD what);

// The URL the binding has reached, the last redirect's target, or empty.
std::wstring ReachedUrl(IBinding* binding);

} // namespace Network
