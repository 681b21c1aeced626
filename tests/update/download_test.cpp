#include <gtest/gtest.h>

#include <windows.h>

#include "served_files.h"
#include "update/download.h"
#include "update/download_progress.h"
#include "update/partial_files.h"
#include "utility/string_helpers.h"

using namespace testing_support;
using served::Env;

namespace {

class Downloads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(served::NginxUrl().empty()) << "run through run_with_servers.py";
        served::Serve(L"dl", L"good.bin", "the server's copy");
    }
    // Downloads into a target that holds "previous copy" (or nothing) and returns the message.
    std::wstring FailingDownload(const std::wstring& url, bool previous) {
        const std::wstring target = folder / L"target.bin";
        DeleteFileW(target.c_str());
        if (previous)
            WriteBytes(target, "previous copy");
        std::wstring message = L"unchanged";
        EXPECT_FALSE(Network::DownloadFile(target, url, &message)) << url;
        if (previous)
            EXPECT_EQ(ReadBytes(target), "previous copy") << url;
        else
            EXPECT_FALSE(FileExists(target)) << url;
        EXPECT_FALSE(FileExists(PartialName(target))) << url;
        return message;
    }
    ScratchFolder folder;
};

TEST_F(Downloads, FaultsNeverReplaceOrTruncateTheTarget) {
    const std::wstring start = L" Start progress download: ";
    const struct {
        const wchar_t* path;
        std::wstring message;
    } faults[] = {
        {L"f404/x.bin", start + L"download error: -2146697211"},
        {L"redirect/dl/AppGameUpload/missing.bin", start + L"download error: -2146697211"},
        {L"f500/x.bin", start + L"download error: HTTP status 500"},
        // How much of a body arrives before the connection goes down is up to timing.
        {L"drop/x.bin", L""},
        {L"short/x.bin", start + L"download error: 32768 of 65536 bytes arrived"},
    };
    for (const auto& fault : faults)
        for (bool previous : {true, false}) {
            const std::wstring message = FailingDownload(served::FaultUrl() + fault.path, previous);
            if (fault.message.empty())
                EXPECT_EQ(message.rfind(start, 0), 0u) << message;
            else
                EXPECT_EQ(message, fault.message);
        }
}

TEST_F(Downloads, AConnectionResetMidBodyIsAbortedWhenNothingMoreArrives) {
    Network::DownloadStallLimitMs = 2000;
    EXPECT_EQ(FailingDownload(served::FaultUrl() + L"reset/x.bin", true),
              L" Start progress download: download error: nothing arrived for 2 s");
    Network::DownloadStallLimitMs = 120000;
}

TEST_F(Downloads, AGoodAnswerReplacesTheTargetAndLeavesTheMessageAlone) {
    const std::wstring target = folder / L"target.bin";
    WriteBytes(target, "previous copy");
    std::wstring message = L"unchanged";
    EXPECT_TRUE(Network::DownloadFile(
        target, served::FaultUrl() + L"redirect/dl/AppGameUpload/good.bin", &message));
    EXPECT_EQ(ReadBytes(target), "the server's copy");
    EXPECT_TRUE(
        Network::DownloadFile(target, served::NginxUrl() + L"dl/AppGameUpload/good.bin", nullptr));
    EXPECT_EQ(message, L"unchanged");
    EXPECT_FALSE(FileExists(PartialName(target)));
}

TEST_F(Downloads, AnUntrustedCertificateFailsTheDownload) {
    EXPECT_EQ(FailingDownload(Env(L"TOLVANE_UNTRUSTED_URL") + L"dl/AppGameUpload/good.bin", true),
              L" Start progress download: download error: -2146697191");
    EXPECT_FALSE(Network::DownloadFile(folder / L"t", served::NginxUrl() + L"nothing", nullptr))
        << "a null message holder is fine";
}

std::vector<std::wstring> ReportTexts;
void CollectReport(std::uint32_t, std::uint32_t, std::uint32_t, const wchar_t* text) {
    ReportTexts.push_back(text ? text : L"(null)");
}

TEST_F(Downloads, ProgressReportsReachTheCallbackButNotFromTheListFile) {
    ReportTexts.clear();
    DownloadProgressCallback = CollectReport;
    ProgressPauseMs = 1;
    std::wstring message;
    EXPECT_TRUE(Network::DownloadListFile(String::ToString(folder / L"list.tmp"),
                                          served::NginxUrl() + L"dl/AppGameUpload/good.bin",
                                          &message));
    EXPECT_TRUE(ReportTexts.empty());
    EXPECT_TRUE(Network::DownloadFile(folder / L"file.bin",
                                      served::NginxUrl() + L"dl/AppGameUpload/good.bin", &message));
    DownloadProgressCallback = nullptr;
    EXPECT_FALSE(ReportTexts.empty());
    EXPECT_EQ(ReadBytes(folder / L"list.tmp"), "the server's copy");
}

// Run as a child process by the test below, which kills it in the middle of a download.
void MarkStarted(std::uint32_t progress, std::uint32_t, std::uint32_t, const wchar_t*) {
    if (progress > 0) // body bytes have arrived
        WriteBytes(Env(L"TOLVANE_CHILD_MARK"), "started");
}
TEST(ChildProcess, DownloadsUntilKilled) {
    if (Env(L"TOLVANE_CHILD_URL").empty())
        GTEST_SKIP() << "only run as the child of KillingAPassMidDownloadKeepsThePreviousCopy";
    DownloadProgressCallback = MarkStarted;
    ProgressPauseMs = 0;
    Network::DownloadFile(Env(L"TOLVANE_CHILD_TARGET"), Env(L"TOLVANE_CHILD_URL"), nullptr);
}

TEST_F(Downloads, KillingAPassMidDownloadKeepsThePreviousCopy) {
    const std::wstring target = folder / L"slow.bin", mark = folder / L"started";
    WriteBytes(target, "previous copy");
    SetEnvironmentVariableW(L"TOLVANE_CHILD_URL", (served::FaultUrl() + L"slow/x.bin").c_str());
    SetEnvironmentVariableW(L"TOLVANE_CHILD_TARGET", target.c_str());
    SetEnvironmentVariableW(L"TOLVANE_CHILD_MARK", mark.c_str());
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=ChildProcess.*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &child));
    SetEnvironmentVariableW(L"TOLVANE_CHILD_URL", nullptr);
    // The slow body takes about 50 s; the first progress report comes well before its end.
    for (int i = 0; i < 400 && !FileExists(mark); ++i)
        Sleep(100);
    EXPECT_TRUE(FileExists(mark)) << "the child never reported progress";
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(ReadBytes(target), "previous copy");
    RemoveLeftoverDownloads(folder.path());
    EXPECT_FALSE(FileExists(PartialName(target)));
}

} // namespace
