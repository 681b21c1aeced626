#include "update/transfer/binding_queries.h"

#include <wininet.h>

#include "update/transfer/com_ref.h"

namespace Network {

std::wstring QueryText(IWinInetHttpInfo* info, DWORD what) {
    // The interface answers in narrow text; header values are ASCII.
    char narrow[64] = {};
    DWORD size = sizeof narrow - 1;
    DWORD flags = 0;
    if (info->QueryInfo(what, narrow, &size, &flags, nullptr) != S_OK)
        return std::wstring();
    std::wstring text;
    for (DWORD i = 0; i < size && narrow[i] != '\0'; ++i)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(narrow[i])));
    return text;
}

std::wstring ReachedUrl(IBinding* binding) {
    ComRef<IWinInetInfo> info;
    if (binding->QueryInterface(IID_IWinInetInfo, info.put()) != S_OK)
        return std::wstring();
    wchar_t url[2084] = {};
    DWORD size = sizeof url - sizeof url[0];
    if (info->QueryOption(INTERNET_OPTION_URL, url, &size) != S_OK)
        return std::wstring();
    return url;
}

} // namespace Network
