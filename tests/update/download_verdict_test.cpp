#include <gtest/gtest.h>

#include <windows.h>
#include <urlmon.h>

#include "update/download_verdict.h"

namespace {

TEST(DownloadVerdict, OnlyAComplete2xxAnswerStandsAndFailuresGiveTheirTexts) {
    // result, http, status, Content-Length, Content-Encoding, bytes received, stalled ms
    const std::pair<DownloadFacts, const wchar_t*> cases[] = {
        {{0, true, 200, L"6", L"", 6, 0}, L""},
        {{0, true, 204, L"", L"", 0, 0}, L""},
        {{0, true, 200, L"", L"", 123, 0}, L""},        // no Content-Length to hold it to
        {{0, true, 200, L"100", L"gzip", 400, 0}, L""}, // longer once decoded
        {{0, true, 404, L"555", L"", 555, 0}, L"download error: -2146697211"},
        {{0, true, 410, L"0", L"", 0, 0}, L"download error: -2146697211"},
        {{0, true, 500, L"38", L"", 38, 0}, L"download error: HTTP status 500"},
        {{0, true, 302, L"0", L"", 0, 0}, L"download error: HTTP status 302"},
        {{0, true, 0, L"", L"", 0, 0}, L"download error: no HTTP answer"},
        {{0, true, 200, L"65536", L"", 32768, 0}, L"download error: 32768 of 65536 bytes arrived"},
        {{0, true, 200, L"10", L"", 11, 0}, L"download error: 11 of 10 bytes arrived"},
        // The platform's failure comes before the answer, a stall before both.
        {{INET_E_DOWNLOAD_FAILURE, true, 200, L"5", L"", 5, 0}, L"URL is invalid"},
        {{INET_E_DOWNLOAD_FAILURE, true, 200, L"5", L"", 5, 120000},
         L"download error: nothing arrived for 120 s"},
        {{E_OUTOFMEMORY, true, 0, L"", L"", 0, 0},
         L"Buffer length invalid, or insufficient memory"},
        {{INET_E_RESOURCE_NOT_FOUND, true, 0, L"", L"", 0, 0}, L"download error: -2146697211"},
        {{INET_E_INVALID_CERTIFICATE, true, 0, L"", L"", 0, 0}, L"download error: -2146697191"},
    };
    for (const auto& [facts, failure] : cases)
        EXPECT_EQ(DownloadFailure(facts), failure)
            << "status " << facts.httpStatus << ", " << facts.receivedBytes << " bytes";
}

} // namespace
