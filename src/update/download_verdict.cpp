#include "update/download_verdict.h"

#include <cwchar>

namespace {

constexpr long kOutOfMemory = static_cast<long>(0x8007000E);      // E_OUTOFMEMORY
constexpr long kDownloadFailure = static_cast<long>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE
constexpr long kResourceNotFound = static_cast<long>(0x800C0005); // INET_E_RESOURCE_NOT_FOUND

bool ParseLength(const std::wstring& text, std::uint64_t& length) {
    if (text.empty())
        return false;
    length = 0;
    for (wchar_t unit : text) {
        if (unit < L'0' || unit > L'9')
            return false;
        length = length * 10 + static_cast<std::uint64_t>(unit - L'0');
    }
    return true;
}

} // namespace

std::wstring ResultText(long result) {
    if (result == kOutOfMemory)
        return L"Buffer length invalid, or insufficient memory";
    if (result == kDownloadFailure)
        return L"URL is invalid";
    return L"download error: " + std::to_wstring(static_cast<std::int32_t>(result));
}

std::wstring DownloadFailure(const DownloadFacts& facts) {
    if (facts.stalledMs != 0)
        return L"download error: nothing arrived for " + std::to_wstring(facts.stalledMs / 1000) +
               L" s";
    if (facts.result < 0)
        return ResultText(facts.result);
    if (!facts.http)
        return std::wstring();
    if (facts.httpStatus == 0)
        return L"download error: no HTTP answer";
    if (facts.httpStatus == 404 || facts.httpStatus == 410)
        return ResultText(kResourceNotFound);
    if (facts.httpStatus < 200 || facts.httpStatus > 299)
        return L"download error: HTTP status " + std::to_wstring(facts.httpStatus);
    std::uint64_t announced = 0;
    const bool encoded = !facts.contentEncoding.empty() && facts.contentEncoding != L"identity";
    if (!encoded && ParseLength(facts.contentLength, announced) && announced != facts.receivedBytes)
        return L"download error: " + std::to_wstring(facts.receivedBytes) + L" of " +
               std::to_wstring(announced) + L" bytes arrived";
    return std::wstring();
}
