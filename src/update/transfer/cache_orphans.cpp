#include "update/transfer/cache_orphans.h"

#include <windows.h>
#include <shlobj.h>

#include <map>

#include "update/transfer/internet_cache.h"
#include "utility/scoped_handle.h"

namespace {

// The URL's path (without its query or fragment) up to its last level's last dot.
std::wstring CacheStem(const std::wstring& url) {
    const std::size_t scheme = url.find(L"://");
    const std::size_t start =
        url.find_first_of(L"/\\", scheme == std::wstring::npos ? 0 : scheme + 3);
    if (start == std::wstring::npos)
        return std::wstring();
    const std::wstring path = url.substr(start, url.find_first_of(L"?#", start) - start);
    const std::size_t level = path.find_last_of(L"/\\") + 1;
    std::wstring stem = path.substr(level);
    if (const std::size_t dot = stem.rfind(L'.'); dot != std::wstring::npos)
        stem.erase(dot);
    for (wchar_t& unit : stem)
        if (std::wstring(L"<>:\"|?*").find(unit) != std::wstring::npos)
            unit = L'_';
    return stem;
}

// The stem of a name of the shape "stem[N]", N a number from 0 to 254 as the platform writes
// it; empty for any other name.
std::wstring NamedStem(const std::wstring& name) {
    const std::size_t open = name.rfind(L'[');
    if (open == std::wstring::npos || open == 0 || name.back() != L']')
        return std::wstring();
    const std::wstring number = name.substr(open + 1, name.size() - open - 2);
    int value = 0;
    for (wchar_t unit : number) {
        if (unit < L'0' || unit > L'9')
            return std::wstring();
        value = value * 10 + (unit - L'0');
    }
    const bool written = !number.empty() && number.size() <= 3 &&
                         (number.size() == 1 || number[0] != L'0') && value < 255;
    return written ? name.substr(0, open) : std::wstring();
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

ScopedFile OpenToRead(const std::wstring& path) {
    return ScopedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// True when the leftover holds at least one byte and all of it begins the copy.
bool BeginsCopy(const std::wstring& leftover, const std::wstring& copy) {
    const ScopedFile part = OpenToRead(leftover), whole = OpenToRead(copy);
    if (!part.valid() || !whole.valid())
        return false;
    std::string a(1 << 20, '\0'), b(1 << 20, '\0');
    bool any = false;
    for (;;) {
        DWORD got = 0, wanted = 0;
        if (!ReadFile(part.get(), a.data(), static_cast<DWORD>(a.size()), &got, nullptr))
            return false;
        if (got == 0)
            return any;
        if (!ReadFile(whole.get(), b.data(), got, &wanted, nullptr) || wanted != got ||
            a.compare(0, got, b, 0, got) != 0)
            return false;
        any = true;
    }
}

// Files two and three levels below the folder: the platform keeps its cache files in folders
// of their own below a container (Content.IE5\X1Y2Z3W4\name[0]).
void ListCacheFiles(const std::wstring& folder, int depth, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW found;
    const ScopedFind find(FindFirstFileW((folder + L"*").c_str(), &found));
    if (!find.valid())
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < 3)
                ListCacheFiles(folder + name + L"\\", depth + 1, files);
        } else if (depth >= 2) {
            files.push_back(folder + name);
        }
    } while (FindNextFileW(find.get(), &found));
}

} // namespace

bool IsCacheNameOf(const std::wstring& fileName, const std::wstring& url) {
    const std::wstring stem = CacheStem(url);
    return !stem.empty() && NamedStem(fileName) == stem;
}

void RemoveOrphanedCopies(const std::vector<OwnedDownload>& downloads) {
    wchar_t root[MAX_PATH] = {};
    if (downloads.empty() ||
        SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, root) != S_OK)
        return;
    // The platform names a file after the URL as it was asked for or as it files it.
    std::multimap<std::wstring, const OwnedDownload*> byStem;
    for (const OwnedDownload& download : downloads)
        for (const std::wstring& stem :
             {CacheStem(download.url), CacheStem(CachedUrl(download.url))})
            if (!stem.empty())
                byStem.emplace(stem, &download);
    std::vector<std::wstring> files;
    ListCacheFiles(std::wstring(root) + L"\\", 1, files);
    std::vector<CacheEntry> entries;
    bool entriesRead = false;
    for (const std::wstring& file : files) {
        const auto [first, last] =
            byStem.equal_range(NamedStem(file.substr(file.rfind(L'\\') + 1)));
        if (first == last)
            continue;
        if (!entriesRead)
            entries = CacheEntries(), entriesRead = true;
        bool entered = false;
        for (const CacheEntry& entry : entries)
            entered = entered || SameFile(entry.file, file);
        for (auto match = first; !entered && match != last; ++match)
            if (BeginsCopy(file, match->second->copy)) {
                DeleteFileW(file.c_str());
                break;
            }
    }
}
