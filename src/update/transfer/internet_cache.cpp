#include "update/transfer/internet_cache.h"

#include <windows.h>
#include <wininet.h>

#include "update/transfer/cache_owner.h"

namespace {

// Closes a cache enumeration.
struct CacheFindHandle {
    HANDLE handle = nullptr;
    ~CacheFindHandle() {
        if (handle)
            FindCloseUrlCache(handle);
    }
};

thread_local CacheSweep* CurrentSweep = nullptr;

} // namespace

std::vector<CacheEntry> CacheEntries() {
    std::vector<CacheEntry> entries;
    std::vector<unsigned char> buffer(4096);
    CacheFindHandle find;
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
        const BOOL found =
            find.handle ? FindNextUrlCacheEntryW(find.handle, entry, &size)
                        : (find.handle = FindFirstUrlCacheEntryW(nullptr, entry, &size)) != nullptr;
        if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size);
            continue;
        }
        if (!found)
            return entries;
        entries.push_back({entry->lpszSourceUrlName ? entry->lpszSourceUrlName : L"",
                           entry->lpszLocalFileName ? entry->lpszLocalFileName : L"",
                           entry->LastAccessTime});
    }
}

std::wstring CachedUrl(const std::wstring& url) {
    std::wstring cached;
    for (wchar_t unit : url)
        cached += unit == L'\\' ? L"/" : unit == L' ' ? L"%20" : std::wstring(1, unit);
    return cached;
}

void DropCachedCopy(const std::wstring& url) {
    DeleteUrlCacheEntryW(url.c_str());
    DeleteUrlCacheEntryW(CachedUrl(url).c_str());
}

void DropCacheEntriesSince(const FILETIME& since, const std::set<std::wstring>& authorities) {
    for (const CacheEntry& entry : CacheEntries())
        if (CompareFileTime(&entry.lastAccess, &since) >= 0 &&
            MayDropCacheEntry(entry.url, authorities))
            DeleteUrlCacheEntryW(entry.url.c_str());
}

CacheSweep::CacheSweep(const std::wstring& serverUrl)
    : authorities_{UrlAuthority(serverUrl)}, outer_(CurrentSweep) {
    GetSystemTimeAsFileTime(&start_);
    CurrentSweep = this;
}

CacheSweep::~CacheSweep() {
    CurrentSweep = outer_;
    DropCacheEntriesSince(start_, authorities_);
}

void ReachedHosts(const std::set<std::wstring>& authorities) {
    if (CurrentSweep)
        CurrentSweep->authorities_.insert(authorities.begin(), authorities.end());
}
