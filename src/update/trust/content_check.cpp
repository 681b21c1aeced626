#include "update/trust/content_check.h"

#include <windows.h>

#include "update/base/file_bytes.h"
#include "update/trust/hashed_file.h"
#include "update/trust/stat_cache.h"
#include "update/base/trace.h"

namespace {

// The pass's cache and where it lives; only the worker touches them.
StatCache Cache;
std::wstring CachePath;
bool CacheUsed = false; // a list without pins leaves no cache behind

} // namespace

void BeginContentChecks(const std::wstring& setupFolder, bool repair) {
    CachePath = setupFolder + L"update\\hashes.cache";
    Cache = StatCache();
    CacheUsed = false;
    if (repair)
        return;
    Cache = StatCache::Parse(ReadFileBytes(CachePath));
}

bool PinnedCopyPresent(const std::wstring& target, const std::string& relativePath,
                       const ListFields& fields) {
    CacheUsed = true;
    std::uint64_t size = 0, writeTime = 0;
    // Asked without opening the file: under Wine an open and a handle query cost many times
    // what the cached hash spares. It also answers for a file another program holds without
    // sharing, whose cached hash still vouches for it while its size and time are unchanged.
    if (!SizeAndTimeOf(target, size, writeTime) || (fields.hasSize && size != fields.size))
        return false;
    const std::string cached = Cache.Lookup(relativePath, size, writeTime);
    if (!cached.empty())
        return cached == fields.sha256;
    // Hashed through one handle, so the size and time recorded are those of the bytes hashed.
    HashedFile file(target);
    if (!file.SizeAndTime(size, writeTime) || (fields.hasSize && size != fields.size))
        return false;
    Trace::Narrow("hashing " + relativePath);
    std::uint64_t hashedSize = 0;
    std::string hash;
    if (!file.Hash(hashedSize, hash) || hashedSize != size)
        return false;
    Cache.Put(relativePath, {size, writeTime, hash});
    return hash == fields.sha256;
}

bool DownloadedCopyMatches(const std::wstring& file, const ListFields& fields,
                           std::string* sha256) {
    std::uint64_t size = 0;
    std::string hash;
    if (!HashFile(file, size, hash) || hash != fields.sha256 ||
        (fields.hasSize && size != fields.size))
        return false;
    if (sha256)
        *sha256 = hash;
    return true;
}

void RecordVerifiedFile(const std::wstring& target, const std::string& relativePath,
                        const std::string& sha256) {
    CacheUsed = true;
    std::uint64_t size = 0, writeTime = 0;
    if (SizeAndTimeOf(target, size, writeTime))
        Cache.Put(relativePath, {size, writeTime, sha256});
}

void EndContentChecks(bool everyLineHandled) {
    if (!CacheUsed)
        return;
    if (everyLineHandled)
        Cache.KeepOnlyUsed();
    ReplaceFileBytes(CachePath, Cache.Text());
}
