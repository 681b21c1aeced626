#pragma once
// Which internet-cache entries the engine may remove: only those of the hosts its own downloads
// reached, never another program's.
#include <set>
#include <string>

// The "host:port" of an http or https URL, in lower case, with the scheme's port when the URL
// names none (443 for https, 80 for http); empty for any other URL or one without a host.
std::wstring UrlAuthority(const std::wstring& url);

// Whether a cache entry filed under url may go: its authority is one of those given.
bool MayDropCacheEntry(const std::wstring& url, const std::set<std::wstring>& authorities);
