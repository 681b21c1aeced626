#pragma once
// Whether a finished download can stand, decided from what the platform and the server said.
#include <cstdint>
#include <limits>
#include <string>

// Why a download was stopped before the platform finished it.
enum class DownloadCut {
    None,
    Stalled,          // no report for the stall limit
    TooManyRedirects, // more than ten redirects
    NotHttps,         // the answer came without TLS (a redirect to http)
    BadStatus,        // the answer's status is not 200
    TooLong,          // the body grew past the size the list gives
    NotWritten,       // the body's file could not be written (a full disk)
};

constexpr std::uint64_t kNoSizeLimit = std::numeric_limits<std::uint64_t>::max();

// Requests one download may send: the first and at most ten redirects.
constexpr unsigned kMaxRequests = 11;
constexpr unsigned kMaxRedirects = kMaxRequests - 1;

struct DownloadFacts {
    long result = 0; // the platform's HRESULT
    DownloadCut cut = DownloadCut::None;
    bool secure = false;                     // the final answer came over TLS
    unsigned requests = 0;                   // requests sent, redirects included
    unsigned long httpStatus = 0;            // 0 when the server's answer was never seen
    std::wstring contentLength;              // the Content-Length header as sent, or empty
    std::wstring contentEncoding;            // the Content-Encoding header, or empty
    std::wstring retryAfter;                 // the Retry-After header, or empty
    std::uint64_t reportedBytes = 0;         // the byte count of the last progress report
    std::uint64_t receivedBytes = 0;         // the size of the file that arrived
    std::uint64_t listedSize = kNoSizeLimit; // the size the list gives, if any
    std::uint32_t stallLimitMs = 0;          // for the text of a stalled download
    unsigned long writeError = 0;            // the Windows error of a body not written
};

// The reason a download failed, or an empty text when it is whole and good. Only a whole 200
// answer over TLS stands, after at most ten redirects; a body must be as long as announced,
// as reported by the platform and as the list says, and empty only when announced so.
// A download cut short gives its reason first, then a platform failure gives its own text.
// A 407 (a proxy that wants a password, which the platform is never given) gives
// kProxyAsksPassword, also when it came in the clear, as a proxy's answer does.
std::wstring DownloadFailure(const DownloadFacts& facts);

// Whether a download that has followed `followed` redirects may follow one more to target (the
// absolute URL it resolves to, empty when it resolves to none): None when it may;
// TooManyRedirects past the tenth; NotHttps for a target that is not an https URL.
DownloadCut RedirectCut(unsigned followed, const std::wstring& target);

// How a download whose answer has just come must be cut before a byte of its body is kept:
// NotHttps without TLS, BadStatus for a status other than 200, TooLong when it announces more
// than sizeLimit bytes; None when the body may come.
DownloadCut AnswerCut(const DownloadFacts& facts, std::uint64_t sizeLimit);

// The length the answer announced for the bytes that reach the file: its Content-Length, unless
// the body was encoded (the length is then that of the encoded bytes). False without one.
bool AnnouncedLength(const DownloadFacts& facts, std::uint64_t& length);

// The text of a platform result: "Buffer length invalid, or insufficient memory" for
// E_OUTOFMEMORY, "URL is invalid" for INET_E_DOWNLOAD_FAILURE, otherwise "download error: "
// and the result as a signed decimal number.
std::wstring ResultText(long result);

// The reason a body that differs from its list line gives.
extern const wchar_t kContentMismatch[];

// The reason a download gives when the player's proxy asks for a user name and password.
extern const wchar_t kProxyAsksPassword[];
