#include "update/download.h"

#include <windows.h>
#include <urlmon.h>

#include "update/binding_watch.h"
#include "update/download_progress.h"
#include "update/internet_cache.h"
#include "update/partial_files.h"
#include "update/sha256.h"
#include "utility/string_helpers.h"

namespace Network {

namespace {

// The platform calls for both forms of a file name: the files of the list use wide names, the
// list itself narrow ones (its folder is formed from narrow bytes).
HRESULT Fetch(const std::wstring& url, const std::wstring& file) {
    return URLDownloadToFileW(nullptr, url.c_str(), file.c_str(), 0, &DownloadProgressInstance);
}
HRESULT Fetch(const std::wstring& url, const std::string& file) {
    return URLDownloadToFileA(nullptr, String::ToString(url).c_str(), file.c_str(), 0,
                              &DownloadProgressInstance);
}
BOOL Attributes(const std::wstring& file, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, data);
}
BOOL Attributes(const std::string& file, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, data);
}
BOOL Replace(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}
BOOL Replace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}
void Remove(const std::wstring& file) {
    DeleteFileW(file.c_str());
}
void Remove(const std::string& file) {
    DeleteFileA(file.c_str());
}
// Only wide names are ever pinned.
bool HashMatches(const std::wstring& file, const ExpectedContent& expected, std::string* sha256);
bool HashMatches(const std::string&, const ExpectedContent&, std::string*) {
    return true;
}

// Downloads into a temporary beside the target, judges the result, then either moves the
// download over the target or throws it away.
// The most a list may weigh: far beyond any real one, and short of filling a player's disk.
constexpr std::uint64_t kListLimit = 64ull << 20;

template <typename Name>
bool DownloadReplacing(const Name& target, const std::wstring& url, bool showProgress,
                       std::uint64_t sizeLimit, const ExpectedContent& expected,
                       std::wstring* message, std::string* sha256) {
    const Name partial = PartialName(target);
    Remove(partial);
    DownloadFacts facts;
    {
        FILETIME start;
        GetSystemTimeAsFileTime(&start);
        BindingWatch watch(url, showProgress, sizeLimit);
        const HRESULT result = Fetch(url, partial);
        facts = watch.Facts();
        facts.result = result;
        facts.listedSize = expected.size;
        // The cache would otherwise hand the same copy, good or broken, to the next pass.
        const std::wstring cacheFile = watch.CacheFile();
        DropCachedCopy(url, cacheFile, start,
                       facts.requests > 1 || facts.cut != DownloadCut::None || cacheFile.empty());
    }
    std::wstring failure;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (facts.result == S_OK && facts.cut == DownloadCut::None && !Attributes(partial, &data))
        failure = L"download error: the downloaded file is missing";
    else if (facts.result == S_OK)
        facts.receivedBytes =
            (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (failure.empty())
        failure = DownloadFailure(facts);
    if (failure.empty() && !HashMatches(partial, expected, sha256))
        failure = kContentMismatch;
    if (failure.empty() && !Replace(partial, target))
        failure = L"download error: cannot replace the file (error " +
                  std::to_wstring(GetLastError()) + L")";
    if (failure.empty())
        return true;
    Remove(partial);
    if (message)
        *message = L" Start progress download: " + failure;
    return false;
}

bool HashMatches(const std::wstring& file, const ExpectedContent& expected, std::string* sha256) {
    if (expected.sha256.empty())
        return true;
    std::uint64_t size = 0;
    std::string hash;
    if (!HashFile(file, size, hash) || hash != expected.sha256)
        return false;
    if (sha256)
        *sha256 = hash;
    return true;
}

} // namespace

bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message) {
    return DownloadReplacing(target, url, true, kNoSizeLimit, ExpectedContent(), message, nullptr);
}

bool DownloadPinnedFile(const std::wstring& target, const std::wstring& url,
                        const ExpectedContent& expected, std::wstring* message,
                        std::string* sha256) {
    return DownloadReplacing(target, url, true, expected.size, expected, message, sha256);
}

bool DownloadListFile(const std::string& target, const std::wstring& url, std::wstring* message) {
    return DownloadReplacing(target, url, false, kListLimit, ExpectedContent(), message, nullptr);
}

} // namespace Network
