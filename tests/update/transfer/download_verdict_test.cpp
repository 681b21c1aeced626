#include <gtest/gtest.h>

#include <windows.h>
#include <urlmon.h>

#include <functional>

#include "update/transfer/download_verdict.h"

namespace {

// A whole 200 answer over TLS with a 6-byte body, as the platform reports it.
DownloadFacts Good() {
    DownloadFacts facts;
    facts.secure = true;
    facts.requests = 1;
    facts.httpStatus = 200;
    facts.contentLength = L"6";
    facts.reportedBytes = facts.receivedBytes = 6;
    facts.stallLimitMs = 120000;
    return facts;
}

TEST(DownloadVerdict, OnlyAWhole200OverHttpsStandsAndFailuresGiveTheirTexts) {
    using Change = std::function<void(DownloadFacts&)>;
    const std::wstring mismatch = kContentMismatch;
    const std::pair<Change, std::wstring> cases[] = {
        {[](DownloadFacts&) {}, L""},
        {[](DownloadFacts& f) { f.contentLength.clear(); }, L""}, // nothing to hold it to
        {[](DownloadFacts& f) { f.requests = 11; }, L""},         // ten redirects
        {[](DownloadFacts& f) { f.listedSize = 6; }, L""},
        // Encoded bodies: the announced length is the encoded one; only emptiness shows.
        {[](DownloadFacts& f) { f.contentEncoding = L"gzip", f.receivedBytes = 400; }, L""},
        {[](DownloadFacts& f) { f.contentLength = L"0", f.reportedBytes = f.receivedBytes = 0; },
         L""},
        {[](DownloadFacts& f) { f.contentLength.clear(), f.reportedBytes = f.receivedBytes = 0; },
         L"download error: the body arrived empty"},
        {[](DownloadFacts& f) {
             f.contentLength.clear(), f.reportedBytes = f.receivedBytes = 0, f.listedSize = 0;
         },
         L""},
        {[](DownloadFacts& f) { f.requests = 12; }, L"download error: more than 10 redirects"},
        {[](DownloadFacts& f) { f.secure = false; },
         L"download error: the answer did not come over https"},
        {[](DownloadFacts& f) { f.httpStatus = 204, f.contentLength = L"0", f.receivedBytes = 0; },
         L"download error: HTTP status 204"},
        {[](DownloadFacts& f) { f.httpStatus = 206; }, L"download error: HTTP status 206"},
        {[](DownloadFacts& f) { f.httpStatus = 404; }, L"download error: -2146697211"},
        {[](DownloadFacts& f) { f.httpStatus = 410; }, L"download error: -2146697211"},
        {[](DownloadFacts& f) { f.httpStatus = 302; }, L"download error: HTTP status 302"},
        {[](DownloadFacts& f) { f.httpStatus = 0; }, L"download error: no HTTP answer"},
        {[](DownloadFacts& f) { f.contentLength = L"65536"; },
         L"download error: 6 of 65536 bytes arrived"},
        {[](DownloadFacts& f) { f.contentLength = L"5"; }, L"download error: 6 of 5 bytes arrived"},
        // A full disk: the platform counted more than reached the file.
        {[](DownloadFacts& f) { f.contentLength.clear(), f.reportedBytes = 16777216; },
         L"download error: 6 of 16777216 bytes arrived"},
        {[](DownloadFacts& f) { f.listedSize = 7; }, mismatch},
        // Platform results: only S_OK counts; a cut gives its reason before the result.
        {[](DownloadFacts& f) { f.result = S_FALSE; }, L"download error: 1"},
        {[](DownloadFacts& f) { f.result = INET_E_DOWNLOAD_FAILURE; }, L"URL is invalid"},
        {[](DownloadFacts& f) { f.result = E_OUTOFMEMORY; },
         L"Buffer length invalid, or insufficient memory"},
        {[](DownloadFacts& f) { f.result = INET_E_INVALID_CERTIFICATE, f.secure = false; },
         L"download error: -2146697191"},
        {[](DownloadFacts& f) { f.result = E_ABORT, f.cut = DownloadCut::Stalled; },
         L"download error: nothing arrived for 120 s"},
        {[](DownloadFacts& f) { f.result = E_ABORT, f.cut = DownloadCut::TooManyRedirects; },
         L"download error: more than 10 redirects"},
        {[](DownloadFacts& f) { f.result = E_ABORT, f.cut = DownloadCut::NotHttps; },
         L"download error: the answer did not come over https"},
        {[](DownloadFacts& f) { f.cut = DownloadCut::BadStatus, f.httpStatus = 500; },
         L"download error: HTTP status 500"},
        {[](DownloadFacts& f) { f.result = E_ABORT, f.cut = DownloadCut::TooLong; }, mismatch},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        DownloadFacts facts = Good();
        cases[row].first(facts);
        EXPECT_EQ(DownloadFailure(facts), cases[row].second) << "row " << row;
    }
}

// The engine follows redirects itself: the tenth is the last, and only to https.
TEST(DownloadVerdict, ARedirectIsFollowedOnlyToHttpsAndAtMostTenTimes) {
    const struct {
        unsigned followed;
        const wchar_t* target;
        DownloadCut cut;
    } cases[] = {
        {0, L"https://localhost:8443/a", DownloadCut::None},
        {9, L"HTTPS://other.example/a", DownloadCut::None},
        {10, L"https://localhost:8443/a", DownloadCut::TooManyRedirects}, // a loop's 11th answer
        {10, L"http://localhost/a", DownloadCut::TooManyRedirects},
        {0, L"http://localhost:8443/a", DownloadCut::NotHttps},
        {0, L"ftp://localhost/a", DownloadCut::NotHttps},
        {0, L"file:///C:/Windows/win.ini", DownloadCut::NotHttps},
        {0, L"https://", DownloadCut::NotHttps},
        {0, L"", DownloadCut::NotHttps}, // a Location that resolves to no URL
    };
    for (const auto& row : cases)
        EXPECT_EQ(RedirectCut(row.followed, row.target), row.cut) << row.followed << row.target;
}

} // namespace
