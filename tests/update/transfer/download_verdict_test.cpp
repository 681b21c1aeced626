#include <gtest/gtest.h>

#include <windows.h>
#include <urlmon.h>

#include <functional>
#include <tuple>

#include "update/transfer/download_verdict.h"
#include "update/transfer/retry_plan.h"

namespace {

// A whole 200 answer over TLS with a 6-byte body, as the platform reports it.
DownloadFacts Good() {
    DownloadFacts f;
    f.secure = true, f.requests = 1, f.httpStatus = 200, f.contentLength = L"6";
    f.reportedBytes = f.receivedBytes = 6, f.stallLimitMs = 120000;
    return f;
}

TEST(DownloadVerdict, OnlyAWhole200OverHttpsStandsAndFailuresGiveTheirTextsAndKinds) {
    using Facts = DownloadFacts&; // each row changes Good()'s facts
    using Change = std::function<void(Facts)>;
    const std::wstring mismatch = kContentMismatch, proxy = kProxyAsksPassword;
    const std::wstring error = L"download error: ";
    // clang-format off
    const std::tuple<Change, std::wstring, FailureKind> cases[] = {
        {[](Facts) {}, L"", FailureKind::Transient},
        {[](Facts f) { f.contentLength.clear(); }, L"", FailureKind::Transient}, // nothing to hold it to
        {[](Facts f) { f.requests = 11; }, L"", FailureKind::Transient},         // ten redirects
        {[](Facts f) { f.listedSize = 6; }, L"", FailureKind::Transient},
        // Encoded bodies: the announced length is the encoded one; only emptiness shows.
        {[](Facts f) { f.contentEncoding = L"gzip", f.receivedBytes = 400; }, L"", FailureKind::Transient},
        {[](Facts f) { f.contentLength = L"0", f.reportedBytes = f.receivedBytes = 0; }, L"", FailureKind::Transient},
        {[](Facts f) { f.contentLength.clear(), f.reportedBytes = f.receivedBytes = 0; },
         error + L"the body arrived empty", FailureKind::Transient},
        {[](Facts f) { f.contentLength.clear(), f.reportedBytes = f.receivedBytes = 0,
                       f.listedSize = 0; }, L"", FailureKind::Transient},
        {[](Facts f) { f.requests = 12; }, error + L"more than 10 redirects", FailureKind::Refused},
        {[](Facts f) { f.secure = false; }, error + L"the answer did not come over https", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 204, f.contentLength = L"0", f.receivedBytes = 0; },
         error + L"HTTP status 204", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 206; }, error + L"HTTP status 206", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 404; }, error + L"-2146697211", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 410; }, error + L"-2146697211", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 302; }, error + L"HTTP status 302", FailureKind::Refused},
        {[](Facts f) { f.httpStatus = 0; }, error + L"no HTTP answer", FailureKind::Transient},
        {[](Facts f) { f.contentLength = L"65536"; }, error + L"6 of 65536 bytes arrived", FailureKind::Transient},
        {[](Facts f) { f.contentLength = L"5"; }, error + L"6 of 5 bytes arrived", FailureKind::Transient},
        // A full disk: the platform counted more than reached the file.
        {[](Facts f) { f.contentLength.clear(), f.reportedBytes = 16777216; },
         error + L"6 of 16777216 bytes arrived", FailureKind::Transient},
        {[](Facts f) { f.listedSize = 7; }, mismatch, FailureKind::WrongBytes},
        // Platform results: only S_OK counts; a cut gives its reason before the result.
        {[](Facts f) { f.result = S_FALSE; }, error + L"1", FailureKind::Transient},
        {[](Facts f) { f.result = INET_E_DOWNLOAD_FAILURE; }, L"URL is invalid", FailureKind::Transient},
        {[](Facts f) { f.result = E_OUTOFMEMORY; },
         L"Buffer length invalid, or insufficient memory", FailureKind::Transient},
        {[](Facts f) { f.result = INET_E_INVALID_CERTIFICATE, f.secure = false; },
         error + L"-2146697191", FailureKind::Transient},
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::Stalled; },
         error + L"nothing arrived for 120 s", FailureKind::Transient},
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::TooManyRedirects; },
         error + L"more than 10 redirects", FailureKind::Refused},
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::NotHttps; },
         error + L"the answer did not come over https", FailureKind::Refused},
        {[](Facts f) { f.cut = DownloadCut::BadStatus, f.httpStatus = 500; },
         error + L"HTTP status 500", FailureKind::Transient},
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::TooLong; }, mismatch, FailureKind::WrongBytes},
        // How a mirror that answers so is treated: a 404 is not asked again, a 503 is.
        {[](Facts f) { f.cut = DownloadCut::BadStatus, f.httpStatus = 404; }, error + L"-2146697211",
         FailureKind::Refused},
        {[](Facts f) { f.cut = DownloadCut::BadStatus, f.httpStatus = 503; },
         error + L"HTTP status 503", FailureKind::Transient},
        // The player's proxy wants a password: it answers the tunnel request in the clear, so
        // the download is cut for the missing TLS, or ends with the proxy's page.
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::NotHttps, f.secure = false,
                       f.httpStatus = 407; }, proxy, FailureKind::Refused},
        {[](Facts f) { f.secure = false, f.httpStatus = 407, f.contentLength = L"374"; }, proxy,
         FailureKind::Refused},
        {[](Facts f) { f.cut = DownloadCut::BadStatus, f.httpStatus = 407; }, proxy, FailureKind::Refused},
        {[](Facts f) { f.secure = false, f.httpStatus = 401; }, error + L"the answer did not come over https",
         FailureKind::Refused},
        // A full disk under the body's file.
        {[](Facts f) { f.result = E_ABORT, f.cut = DownloadCut::NotWritten, f.writeError = 112; },
         error + L"cannot write the file (error 112)", FailureKind::Local},
    };
    // clang-format on
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& [change, text, kind] = cases[row];
        DownloadFacts facts = Good();
        change(facts);
        EXPECT_EQ(DownloadFailure(facts), text) << "row " << row;
        if (!text.empty()) { // what a pass makes of the failure
            EXPECT_EQ(ClassifyFailure(facts, false, false), kind) << "row " << row;
        }
    }
    // A body its check refused, and a copy this machine could not keep.
    EXPECT_EQ(ClassifyFailure(Good(), true, false), FailureKind::WrongBytes);
    EXPECT_EQ(ClassifyFailure(Good(), false, true), FailureKind::Local);
}

// The engine follows redirects itself: the tenth is the last, and only to https.
TEST(DownloadVerdict, ARedirectIsFollowedOnlyToHttpsAndAtMostTenTimes) {
    // Redirects followed so far, the next target, and the cut.
    const std::tuple<unsigned, const wchar_t*, DownloadCut> cases[] = {
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
    for (const auto& [followed, target, cut] : cases)
        EXPECT_EQ(RedirectCut(followed, target), cut) << followed << target;
}

// An answer is judged before a byte of its body is kept, so a hostile one never fills a file.
TEST(DownloadVerdict, AnAnswerIsCutBeforeItsBodyWhenItCannotStand) {
    using Change = std::function<void(DownloadFacts&)>;
    const std::tuple<Change, std::uint64_t, DownloadCut> cases[] = {
        {[](DownloadFacts&) {}, 6, DownloadCut::None},
        {[](DownloadFacts&) {}, kNoSizeLimit, DownloadCut::None},
        {[](DownloadFacts& f) { f.secure = false; }, 6, DownloadCut::NotHttps},
        {[](DownloadFacts& f) { f.secure = false, f.httpStatus = 407; }, 6, DownloadCut::NotHttps},
        {[](DownloadFacts& f) { f.httpStatus = 206; }, 6, DownloadCut::BadStatus},
        {[](DownloadFacts& f) { f.httpStatus = 0; }, 6, DownloadCut::BadStatus},
        {[](DownloadFacts&) {}, 5, DownloadCut::TooLong}, // announces more than the list pins
        {[](DownloadFacts& f) { f.contentLength = L"99999999999999999999"; }, 6, DownloadCut::None},
        {[](DownloadFacts& f) { f.contentEncoding = L"gzip"; }, 5, DownloadCut::None},
    };
    for (const auto& [change, limit, cut] : cases) {
        DownloadFacts facts = Good();
        change(facts);
        EXPECT_EQ(AnswerCut(facts, limit), cut) << facts.httpStatus << " " << limit;
    }
}

} // namespace
