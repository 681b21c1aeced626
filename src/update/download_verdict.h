#pragma once
// Whether a finished download can stand, decided from what the platform and the server said.
#include <cstdint>
#include <string>

struct DownloadFacts {
    long result = 0;                 // the platform's HRESULT
    bool http = true;                // the URL's scheme has status codes (http, https)
    unsigned long httpStatus = 0;    // 0 when the server's answer was never seen
    std::wstring contentLength;      // the Content-Length header as sent, or empty
    std::wstring contentEncoding;    // the Content-Encoding header, or empty
    std::uint64_t receivedBytes = 0; // the size of the file that arrived
    std::uint32_t stalledMs = 0;     // non-zero: aborted after this long without a report
};

// The reason a download failed, or an empty text when it is complete and good. A download
// aborted for silence says so; a platform failure gives its own text; then a status other than 2xx,
// then a body shorter or longer than its Content-Length (unless the body was encoded, when the
// sizes differ by design).
std::wstring DownloadFailure(const DownloadFacts& facts);

// The text of a platform result: "Buffer length invalid, or insufficient memory" for
// E_OUTOFMEMORY, "URL is invalid" for INET_E_DOWNLOAD_FAILURE, otherwise "download error: "
// and the result as a signed decimal number.
std::wstring ResultText(long result);
