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

void ReadAnswer(IBinding* binding, DownloadFacts& facts) {
    ComRef<IWinInetHttpInfo> http;
    ComRef<IWinInetInfo> info;
    if (binding->QueryInterface(IID_IWinInetHttpInfo, http.put()) == S_OK) {
        DWORD status = 0, size = sizeof status, flags = 0;
        if (http->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &flags,
                            nullptr) == S_OK)
            facts.httpStatus = status;
        facts.contentLength = QueryText(http.get(), HTTP_QUERY_CONTENT_LENGTH);
        facts.contentEncoding = QueryText(http.get(), HTTP_QUERY_CONTENT_ENCODING);
        facts.retryAfter = QueryText(http.get(), HTTP_QUERY_RETRY_AFTER);
    }
    // The flags belong to the answer last received, so a redirect to http clears them.
    DWORD security = 0, size = sizeof security;
    facts.secure = binding->QueryInterface(IID_IWinInetInfo, info.put()) == S_OK &&
                   info->QueryOption(INTERNET_OPTION_SECURITY_FLAGS, &security, &size) == S_OK &&
                   (security & SECURITY_FLAG_SECURE) != 0;
}

} // namespace Network
