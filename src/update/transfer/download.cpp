#include "update/transfer/download.h"

#include <windows.h>

#include "update/transfer/binding_watch.h"
#include "update/transfer/internet_cache.h"
#include "update/transfer/mirror_failover.h"
#include "update/transfer/partial_files.h"
#include "update/transfer/url_binding.h"

namespace Network {

namespace {

BOOL Attributes(const std::wstring& file, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, data);
}

// The most a list may weigh: far beyond any real one, and short of filling a player's disk.
constexpr std::uint64_t kListLimit = 64ull << 20;

DownloadAttempt DownloadReplacing(const std::wstring& target, const std::wstring& url,
                                  bool showProgress, std::uint64_t sizeLimit,
                                  std::uint64_t listedSize, const BodyCheck& check) {
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
    bool local = false, refused = false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (failure.empty() && facts.result == S_OK && facts.cut == DownloadCut::None) {
        if (!Attributes(partial, &data)) {
            failure = L"download error: the downloaded file is missing";
            local = true;
        } else
            facts.receivedBytes =
                (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (failure.empty())
        failure = DownloadFailure(facts);
    if (failure.empty() && check && !check(partial)) {
        failure = kContentMismatch;
        refused = true;
    }
    if (failure.empty() &&
        !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        failure = L"download error: cannot replace the file (error " +
                  std::to_wstring(GetLastError()) + L")";
        local = true;
    }
    if (failure.empty())
        return DownloadAttempt{};
    DeleteFileW(partial.c_str());
    const std::uint32_t retryAfter =
        facts.httpStatus == 503 ? RetryAfterMs(facts.retryAfter, PassRetryPolicy.retryAfterCapMs)
                                : 0;
    return DownloadAttempt{failure, ClassifyFailure(facts, refused, local), retryAfter};
}

// One download, or, in a pass, the download of the item from the pass's mirrors.
bool Download(const std::wstring& target, const std::wstring& url, bool showProgress,
              std::uint64_t sizeLimit, std::uint64_t listedSize, const BodyCheck& check,
              std::wstring* message) {
    const auto fetch = [&](const std::wstring& from) {
        return DownloadReplacing(target, from, showProgress, sizeLimit, listedSize, check);
    };
    std::wstring failure;
    bool done;
    // With one server, a download the list does not pin (an unsigned list's file, the list
    // itself) keeps the single try from its own URL that such lists always had.
    PassMirrors* mirrors = CurrentPassMirrors();
    if (mirrors && (check || mirrors->Count() > 1))
        done = mirrors->Fetch(url, fetch, &failure);
    else
        failure = fetch(url).failure, done = failure.empty();
    if (!done && message)
        *message = L" Start progress download: " + failure;
    return done;
}

} // namespace

bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message) {
    return Download(target, url, true, kNoSizeLimit, kNoSizeLimit, nullptr, message);
}

bool DownloadPinnedFile(const std::wstring& target, const std::wstring& url,
                        std::uint64_t listedSize, const BodyCheck& check, std::wstring* message) {
    return Download(target, url, true, listedSize, listedSize, check, message);
}

bool DownloadPiece(const std::wstring& target, const std::wstring& url, std::uint64_t sizeLimit,
                   std::uint64_t listedSize, const BodyCheck& check, std::wstring* message) {
    return Download(target, url, false, sizeLimit, listedSize, check, message);
}

bool DownloadListFile(const std::wstring& target, const std::wstring& url, std::wstring* message) {
    return Download(target, url, false, kListLimit, kNoSizeLimit, nullptr, message);
}

} // namespace Network
