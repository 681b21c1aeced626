#pragma once
// Internet-cache files that earlier launchers left. A launcher built before downloads bypassed
// the cache had the platform write each body into a cache file, which gets its entry only when
// the download ends: killed in the middle, it left a file that no entry names and that nothing
// will ever remove. Only a file that is provably such a leftover goes: named as the platform
// names a download of one of the launcher's files, and holding the start of that very file.
#include <string>
#include <vector>

// One of the launcher's downloads: where it comes from, and the launcher's own copy of it.
struct OwnedDownload {
    std::wstring url;
    std::wstring copy;
};

// Whether the platform could have named a download from url so: the last level of the URL's
// path without what follows its last dot, each of <>:"|?* made "_", then "[N]" for N from 0 to
// 254. A URL whose last level gives no name (one ending in a slash) names nothing.
bool IsCacheNameOf(const std::wstring& fileName, const std::wstring& url);

// Removes, from the current user's internet cache, every file that no cache entry names, that
// is named (IsCacheNameOf) after one of the downloads and whose bytes, at least one, begin that
// download's copy. Every other file stays, another program's above all.
void RemoveOrphanedCopies(const std::vector<OwnedDownload>& downloads);
