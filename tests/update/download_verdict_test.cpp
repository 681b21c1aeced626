#include <gtest/gtest.h>

#include "update/download_verdict.h"

namespace {

DownloadFacts Answer(unsigned long status, const wchar_t* length, std::uint64_t received) {
    DownloadFacts facts;
    facts.httpStatus = status;
    facts.contentLength = length;
    facts.receivedBytes = received;
    return facts;
}

TEST(DownloadVerdict, PlatformResultsGiveTheirTexts) {
    EXPECT_EQ(ResultText(static_cast<long>(0x800C0005)), L"download error: -2146697211");
    EXPECT_EQ(ResultText(static_cast<long>(0x800C0019)), L"download error: -2146697191");
    EXPECT_EQ(ResultText(static_cast<long>(0x8007000E)),
              L"Buffer length invalid, or insufficient memory");
    EXPECT_EQ(ResultText(static_cast<long>(0x800C0008)), L"URL is invalid");
    DownloadFacts failed = Answer(200, L"5", 5);
    failed.result = static_cast<long>(0x800C0008);
    EXPECT_EQ(DownloadFailure(failed), L"URL is invalid") << "the platform's failure comes first";
    failed.stalledMs = 120000;
    EXPECT_EQ(DownloadFailure(failed), L"download error: nothing arrived for 120 s");
}

TEST(DownloadVerdict, OnlyAComplete2xxAnswerStands) {
    EXPECT_EQ(DownloadFailure(Answer(200, L"6", 6)), L"");
    EXPECT_EQ(DownloadFailure(Answer(204, L"", 0)), L"");
    EXPECT_EQ(DownloadFailure(Answer(200, L"", 123)), L"") << "no Content-Length to hold it to";
    EXPECT_EQ(DownloadFailure(Answer(404, L"555", 555)), L"download error: -2146697211");
    EXPECT_EQ(DownloadFailure(Answer(410, L"0", 0)), L"download error: -2146697211");
    EXPECT_EQ(DownloadFailure(Answer(500, L"38", 38)), L"download error: HTTP status 500");
    EXPECT_EQ(DownloadFailure(Answer(302, L"0", 0)), L"download error: HTTP status 302");
    EXPECT_EQ(DownloadFailure(Answer(0, L"", 0)), L"download error: no HTTP answer");
    EXPECT_EQ(DownloadFailure(Answer(200, L"65536", 32768)),
              L"download error: 32768 of 65536 bytes arrived");
    EXPECT_EQ(DownloadFailure(Answer(200, L"10", 11)), L"download error: 11 of 10 bytes arrived");
    DownloadFacts encoded = Answer(200, L"100", 400);
    encoded.contentEncoding = L"gzip";
    EXPECT_EQ(DownloadFailure(encoded), L"") << "an encoded body is longer once decoded";
    DownloadFacts local = Answer(0, L"", 9);
    local.http = false;
    EXPECT_EQ(DownloadFailure(local), L"") << "a file: URL has no status";
}

} // namespace
