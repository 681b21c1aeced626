#include "update/transfer/download.h"

#include <windows.h>

#include "update/transfer/binding_watch.h"
#include "update/transfer/internet_cache.h"
#include "update/transfer/partial_files.h"
#include "update/transfer/url_binding.h"

namespace Network {

namespace {

BOOL Attributes(const std::wstring& file, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, data);
}

// The most a list may weigh: far beyond any real one, and short of filling a player's disk.
constexpr std::uint64_t kListLimit = 64ull << 20;

bool DownloadReplacing(const std::wstring& target, const std::wstring& url, bool showProgress,
                       std::uint64_t sizeLimit, std::uint64_t listedSize, const BodyCheck& check,
                       std::wstring* message) {
    const std::wstring partial = PartialName(target);
    DeleteFileW(partial.c_str());
    DownloadFacts facts;
    {
        FILETIME start;
        GetSystemTimeAsFileTime(&start);
        // The body goes straight to the temporary; the watch closes it when it goes.
        BindingWatch watch(url, showProgress, sizeLimit, partial);
        const HRESULT result = BindFollowingRedirects(url, watch);
        facts = watch.Facts();
        facts.result = result;
        facts.listedSize = listedSize;
        // Should the platform file an answer all the same, the next pass would get that copy.
        DropCachedCopy(url);
        const std::set<std::wstring> reached = watch.ReachedHosts();
        ReachedHosts(reached);
        if (facts.requests > 1 || facts.cut != DownloadCut::None)
            DropCacheEntriesSince(start, reached);
    }
    std::wstring failure;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (failure.empty() && facts.result == S_OK && facts.cut == DownloadCut::None) {
        if (!Attributes(partial, &data))
            failure = L"download error: the downloaded file is missing";
        else
            facts.receivedBytes =
                (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (failure.empty())
        failure = DownloadFailure(facts);
    if (failure.empty() && check && !check(partial))
        failure = kContentMismatch;
    if (failure.empty() && !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        failure = L"download error: cannot replace the file (error " +
                  std::to_wstring(GetLastError()) + L")";
    if (failure.empty())
        return true;
    DeleteFileW(partial.c_str());
    if (message)
        *message = L" Start progress download: " + failure;
    return false;
}

} // namespace

bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message) {
    return DownloadReplacing(target, url, true, kNoSizeLimit, kNoSizeLimit, nullptr, message);
}

bool DownloadPinnedFile(const std::wstring& target, const std::wstring& url,
                        std::uint64_t listedSize, const BodyCheck& check, std::wstring* message) {
    return DownloadReplacing(target, url, true, listedSize, listedSize, check, message);
}

bool DownloadListFile(const std::wstring& target, const std::wstring& url, std::wstring* message) {
    return DownloadReplacing(target, url, false, kListLimit, kNoSizeLimit, nullptr, message);
}

} // namespace Network
