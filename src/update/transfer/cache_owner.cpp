#include "update/transfer/cache_owner.h"

#include "update/base/path_rules.h"

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& start) {
    if (text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (FoldedCase(text[i]) != start[i])
            return false;
    return true;
}

} // namespace

std::wstring UrlAuthority(const std::wstring& url) {
    std::wstring port;
    std::size_t at = 0;
    if (StartsWithNoCase(url, L"https://"))
        port = L"443", at = 8;
    else if (StartsWithNoCase(url, L"http://"))
        port = L"80", at = 7;
    else
        return std::wstring();
    const std::size_t end = url.find_first_of(L"/\\?#", at);
    std::wstring authority = url.substr(at, end == std::wstring::npos ? end : end - at);
    // Credentials before the host are no part of it.
    if (const std::size_t user = authority.rfind(L'@'); user != std::wstring::npos)
        authority.erase(0, user + 1);
    authority = FoldedCase(authority);
    const std::size_t colon = authority.rfind(L':');
    const bool hasPort =
        colon != std::wstring::npos && authority.find(L']', colon) == std::wstring::npos;
    if (hasPort && colon + 1 == authority.size())
        authority.pop_back(); // "host:" names the default port
    if (authority.empty() || authority[0] == L':')
        return std::wstring();
    return hasPort && colon + 1 < authority.size() ? authority : authority + L":" + port;
}

bool MayDropCacheEntry(const std::wstring& url, const std::set<std::wstring>& authorities) {
    const std::wstring authority = UrlAuthority(url);
    return !authority.empty() && authorities.count(authority) > 0;
}
