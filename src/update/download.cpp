#include "update/download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include "update/download_progress.h"
#include "update/download_verdict.h"
#include "update/partial_files.h"
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

bool IsHttpUrl(const std::wstring& url) {
    return url.compare(0, 7, L"http://") == 0 || url.compare(0, 8, L"https://") == 0;
}

// Downloads into a temporary beside the target, judges the result, then either moves the
// download over the target or throws it away.
template <typename Name>
bool DownloadReplacing(const Name& target, const std::wstring& url, bool showProgress,
                       std::wstring* message) {
    const Name partial = PartialName(target);
    Remove(partial);
    DownloadFacts facts;
    {
        BindingWatch watch(showProgress);
        facts.result = Fetch(url, partial);
        facts.httpStatus = watch.answer().httpStatus;
        facts.contentLength = watch.answer().contentLength;
        facts.contentEncoding = watch.answer().contentEncoding;
        facts.stalledMs = watch.stalled() ? DownloadStallLimitMs : 0;
    }
    // The cache would otherwise hand the same copy, good or broken, to the next pass.
    DeleteUrlCacheEntryW(url.c_str());
    facts.http = IsHttpUrl(url);

    std::wstring failure;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (SUCCEEDED(facts.result) && !Attributes(partial, &data))
        failure = L"download error: the downloaded file is missing";
    else if (SUCCEEDED(facts.result))
        facts.receivedBytes =
            (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (failure.empty())
        failure = DownloadFailure(facts);
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

} // namespace

bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message) {
    return DownloadReplacing(target, url, true, message);
}

bool DownloadListFile(const std::string& target, const std::wstring& url, std::wstring* message) {
    return DownloadReplacing(target, url, false, message);
}

} // namespace Network
