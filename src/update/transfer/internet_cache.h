#pragma once
// Copies of downloads that the platform keeps in the internet cache. The engine keeps none:
// the next pass must fetch from the server, and the player's disk must not fill with them.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

struct CacheEntry {
    std::wstring url;  // the URL the entry is filed under
    std::wstring file; // the file that keeps the copy
    FILETIME lastAccess;
};

// Every entry of the current user's internet cache.
std::vector<CacheEntry> CacheEntries();

// The URL the platform files a download's cache entry under: backslashes become slashes and
// blanks %20.
std::wstring CachedUrl(const std::wstring& url);

// Removes the cache entry of a download from url, as given and as the platform files it.
void DropCachedCopy(const std::wstring& url);

// Removes every cache entry used since the time given and filed under one of the authorities
// ("host:port", see UrlAuthority): after a download that may have been filed under another URL
// (a redirect, or one cut short before the platform named its file). Other programs' entries
// stay.
void DropCacheEntriesSince(const FILETIME& since, const std::set<std::wstring>& authorities);

// A pass's hold on the cache. While it lives, each download on its thread adds the hosts it
// reached (ReachedHosts); when it ends, the entries of those hosts and of the update host used
// since it began go, since the platform may still file the answer of a request that was aborted
// after it had been sent.
class CacheSweep {
  public:
    explicit CacheSweep(const std::wstring& serverUrl);
    ~CacheSweep();
    CacheSweep(const CacheSweep&) = delete;
    CacheSweep& operator=(const CacheSweep&) = delete;

  private:
    friend void ReachedHosts(const std::set<std::wstring>& authorities);
    FILETIME start_;
    std::set<std::wstring> authorities_;
    CacheSweep* outer_;
};

// Adds the authorities a download reached to the current thread's CacheSweep, if any.
void ReachedHosts(const std::set<std::wstring>& authorities);
