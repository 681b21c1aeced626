#include "update/transfer/download_verdict.h"

#include <cwchar>
#include <iterator>

const wchar_t kContentMismatch[] = L"download error: content does not match the list";
const wchar_t kProxyAsksPassword[] = L"download error: the proxy asks for a user name and "
                                     L"password (HTTP 407), which the launcher cannot give";

namespace {

constexpr long kOutOfMemory = static_cast<long>(0x8007000E);      // E_OUTOFMEMORY
constexpr long kDownloadFailure = static_cast<long>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE
constexpr long kResourceNotFound = static_cast<long>(0x800C0005); // INET_E_RESOURCE_NOT_FOUND
constexpr unsigned long kProxyAuthRequired = 407;

bool ParseLength(const std::wstring& text, std::uint64_t& length) {
    if (text.empty() || text.size() > 19)
        return false;
    length = 0;
    for (wchar_t unit : text) {
        if (unit < L'0' || unit > L'9')
            return false;
        length = length * 10 + static_cast<std::uint64_t>(unit - L'0');
    }
    return true;
}

std::wstring Arrived(std::uint64_t received, std::uint64_t expected) {
    return L"download error: " + std::to_wstring(received) + L" of " + std::to_wstring(expected) +
           L" bytes arrived";
}

std::wstring StatusText(unsigned long status) {
    if (status == 0)
        return L"download error: no HTTP answer";
    if (status == 404 || status == 410)
        return ResultText(kResourceNotFound);
    if (status == kProxyAuthRequired)
        return kProxyAsksPassword;
    return L"download error: HTTP status " + std::to_wstring(status);
}

// A proxy answers the request for its https tunnel in the clear, before any TLS: when it wants a
// password, that is the reason, not the missing TLS.
std::wstring NotHttpsText(const DownloadFacts& facts) {
    if (facts.httpStatus == kProxyAuthRequired)
        return kProxyAsksPassword;
    return L"download error: the answer did not come over https";
}

std::wstring CutText(const DownloadFacts& facts) {
    switch (facts.cut) {
    case DownloadCut::Stalled:
        return L"download error: nothing arrived for " +
               std::to_wstring(facts.stallLimitMs / 1000) + L" s";
    case DownloadCut::TooManyRedirects:
        return L"download error: more than 10 redirects";
    case DownloadCut::NotHttps:
        return NotHttpsText(facts);
    case DownloadCut::BadStatus:
        return StatusText(facts.httpStatus);
    case DownloadCut::TooLong:
        return kContentMismatch;
    case DownloadCut::NotWritten:
        return L"download error: cannot write the file (error " +
               std::to_wstring(facts.writeError) + L")";
    case DownloadCut::None:
        break;
    }
    return std::wstring();
}

} // namespace

std::wstring ResultText(long result) {
    if (result == kOutOfMemory)
        return L"Buffer length invalid, or insufficient memory";
    if (result == kDownloadFailure)
        return L"URL is invalid";
    return L"download error: " + std::to_wstring(static_cast<std::int32_t>(result));
}

DownloadCut RedirectCut(unsigned followed, const std::wstring& target) {
    if (followed >= kMaxRedirects)
        return DownloadCut::TooManyRedirects;
    const wchar_t scheme[] = L"https://";
    const std::size_t length = std::size(scheme) - 1;
    // A scheme is case-insensitive; a host must follow it.
    if (target.size() <= length || _wcsnicmp(target.c_str(), scheme, length) != 0)
        return DownloadCut::NotHttps;
    return DownloadCut::None;
}

bool AnnouncedLength(const DownloadFacts& facts, std::uint64_t& length) {
    const bool encoded = !facts.contentEncoding.empty() && facts.contentEncoding != L"identity";
    return !encoded && ParseLength(facts.contentLength, length);
}

std::wstring DownloadFailure(const DownloadFacts& facts) {
    if (facts.cut != DownloadCut::None)
        return CutText(facts);
    // Only S_OK: other success codes mean the platform did not finish the file.
    if (facts.result != 0)
        return ResultText(facts.result);
    if (facts.requests > kMaxRequests)
        return L"download error: more than 10 redirects";
    if (!facts.secure)
        return NotHttpsText(facts);
    if (facts.httpStatus != 200)
        return StatusText(facts.httpStatus);
    std::uint64_t announced = 0;
    const bool hasLength = AnnouncedLength(facts, announced);
    if (hasLength && announced != facts.receivedBytes)
        return Arrived(facts.receivedBytes, announced);
    // The platform counts the bytes it wrote, decoded ones included; a full disk loses some.
    if (facts.reportedBytes > facts.receivedBytes)
        return Arrived(facts.receivedBytes, facts.reportedBytes);
    // Only a "Content-Length: 0" vouches for an empty body: a decoded answer loses its length,
    // and an encoded body that was cut before its first block decodes to nothing.
    if (facts.receivedBytes == 0 && !(hasLength && announced == 0) && facts.listedSize != 0)
        return L"download error: the body arrived empty";
    if (facts.listedSize != kNoSizeLimit && facts.listedSize != facts.receivedBytes)
        return kContentMismatch;
    return std::wstring();
}

DownloadCut AnswerCut(const DownloadFacts& facts, std::uint64_t sizeLimit) {
    std::uint64_t announced = 0;
    if (!facts.secure)
        return DownloadCut::NotHttps;
    if (facts.httpStatus != 200)
        return DownloadCut::BadStatus;
    if (sizeLimit != kNoSizeLimit && AnnouncedLength(facts, announced) && announced > sizeLimit)
        return DownloadCut::TooLong;
    return DownloadCut::None;
}
