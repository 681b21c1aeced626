#pragma once
// What a running download's binding can be asked through WinINet: header values and the URL
// reached after redirects.
#include <windows.h>
#include <urlmon.h>

#include <string>

#include "update/transfer/download_verdict.h"

namespace Network {

// A header or status value (HTTP_QUERY_*) of the answer as text; empty when there is none.
std::wstring QueryText(IWinInetHttpInfo* info, DWORD what);

// The URL the binding has reached, the last redirect's target, or empty.
std::wstring ReachedUrl(IBinding* binding);

// Fills in the facts of the answer the binding holds: its status, the Content-Length,
// Content-Encoding and Retry-After headers, and whether it came over TLS.
void ReadAnswer(IBinding* binding, DownloadFacts& facts);

} // namespace Network
