#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "served_files.h"
#include "update/update_worker.h"
#include "utility/path.h"
#include "utility/string_helpers.h"

using namespace testing_support;
using served::NginxUrl;

namespace {

// Full passes against nginx. Each test serves its own site, named after the test, and fills a
// scratch folder that stands in for the launcher's folder.
class UpdatePass : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(NginxUrl().empty()) << "run through run_with_servers.py";
        ClearErrorLog();
        site = String::ToWstring(::testing::UnitTest::GetInstance()->current_test_info()->name());
        start = UpdateEntryCount;
    }
    void TearDown() override { ClearErrorLog(); }
    int Pass(const std::wstring& server = std::wstring()) {
        return served::RunPass(
            served::SettingsFor(server.empty() ? NginxUrl() : server, site, folder.path()));
    }
    std::int64_t CountChange() const { return static_cast<std::int64_t>(UpdateEntryCount - start); }
    std::string Local(const std::wstring& name) { return ReadBytes(folder / name); }
    std::string Record() { return Local(L"update\\update.info"); }
    std::string FailedDownload(const std::string& relativePath, const std::string& reason) {
        return "error : No download file " + String::ToString(NginxUrl() + site) +
               "/AppGameUpload/" + relativePath + " -> Start progress download: " + reason;
    }
    const std::string notFound = "download error: -2146697211";
    ScratchFolder folder;
    std::wstring site;
    std::uint64_t start = 0;
};

TEST_F(UpdatePass, AFirstRunFetchesDeletesAndRecordsTheVersion) {
    served::ServeList(site, "Version = 3;\r\ndata\\textures\\a.png;\r\nbin\\game.dll;{rw}\r\n"
                            "'comment\r\nold.pak;{d}\r\nmissing.pak;{d}\r\n");
    served::Serve(site, L"data\\textures\\a.png", "picture");
    served::Serve(site, L"bin\\game.dll", "library");
    WriteBytes(folder / L"old.pak", "old");
    EXPECT_EQ(Pass(), 1);
    EXPECT_EQ(Local(L"data\\textures\\a.png"), "picture");
    EXPECT_EQ(Local(L"bin\\game.dll"), "library");
    EXPECT_FALSE(FileExists(folder / L"old.pak"));
    EXPECT_FALSE(FileExists(folder / L"update\\cash-of-programm.tmp"));
    EXPECT_EQ(Record(), "Version = 3;");
    // The changed Version line is also a file entry, which the server does not have.
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{FailedDownload("Version = 3", notFound)});
    EXPECT_EQ(CountChange(), 6 - 2);
}

TEST_F(UpdatePass, AnUnchangedVersionStopsAtItsLineAndRewritesTheRecord) {
    served::ServeList(site, "'first line\nVersion=3\nnew.txt;\n");
    served::Serve(site, L"new.txt", "new");
    CreateDirectoryW((folder / L"update").c_str(), nullptr);
    WriteBytes(folder / L"update\\update.info", "Version = 3;");
    EXPECT_EQ(Pass(), 1);
    EXPECT_FALSE(FileExists(folder / L"new.txt"));
    EXPECT_EQ(Record(), "'first line");
    EXPECT_TRUE(ErrorLogLines().empty());
    EXPECT_EQ(CountChange(), 3 - 2);
}

TEST_F(UpdatePass, AChangedVersionRewritesRwFilesAndKeepsOthers) {
    served::ServeList(site, "Version = 4;\nkeep.txt;\nrw.txt;{rw}\nlocked.pak;{d}\n");
    served::Serve(site, L"keep.txt", "server keep");
    served::Serve(site, L"rw.txt", "server rw");
    served::Serve(site, L"Version = 4", "a file named like the line");
    CreateDirectoryW((folder / L"update").c_str(), nullptr);
    WriteBytes(folder / L"update\\update.info", "Version = 3;");
    WriteBytes(folder / L"keep.txt", "local keep");
    WriteBytes(folder / L"rw.txt", "local rw");
    WriteBytes(folder / L"locked.pak", "read-only");
    SetFileAttributesW((folder / L"locked.pak").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Pass(), 1);
    SetFileAttributesW((folder / L"locked.pak").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Local(L"keep.txt"), "local keep");
    EXPECT_EQ(Local(L"rw.txt"), "server rw");
    EXPECT_EQ(Local(L"Version = 4"), "a file named like the line");
    EXPECT_EQ(Local(L"locked.pak"), "read-only");
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"error : No delete file " +
                                                        String::ToString(folder / L"/locked.pak")});
    EXPECT_EQ(Record(), "Version = 4;");
    EXPECT_EQ(CountChange(), 4 - 2);
}

TEST_F(UpdatePass, LfCrLfAndAByteOrderMarkGiveTheSameLines) {
    const std::string lists[] = {"Version = 5;\na.txt;\n'c\nb.txt;",
                                 "Version = 5;\r\na.txt;\r\n'c\r\nb.txt;\r\n",
                                 "\xEF\xBB\xBFVersion = 5;\r\na.txt;\r\n'c\r\nb.txt;\r\n"};
    served::Serve(site, L"a.txt", "a");
    served::Serve(site, L"b.txt", "b");
    served::Serve(site, L"Version = 5", "v");
    served::Serve(site, L"\xFFEF\xFFBB\xFFBFVersion = 5", "v");
    for (const std::string& list : lists) {
        ScratchFolder pass;
        served::ServeList(site, list);
        start = UpdateEntryCount;
        EXPECT_EQ(served::RunPass(served::SettingsFor(NginxUrl(), site, pass.path())), 1);
        EXPECT_EQ(ReadBytes(pass / L"a.txt"), "a");
        EXPECT_EQ(ReadBytes(pass / L"b.txt"), "b");
        EXPECT_EQ(ReadBytes(pass / L"update\\update.info"),
                  list.substr(0, list.find_first_of("\r\n")));
        EXPECT_EQ(CountChange(), 4 - 2);
    }
}

TEST_F(UpdatePass, AnEmptyListLeavesTheRecordAndStillEnds) {
    served::ServeList(site, "");
    CreateDirectoryW((folder / L"update").c_str(), nullptr);
    WriteBytes(folder / L"update\\update.info", "Version = 3;");
    EXPECT_EQ(Pass(), 1);
    EXPECT_EQ(Record(), "Version = 3;");
    EXPECT_EQ(ErrorLogLines(),
              std::vector<std::string>{"error : Launcher data string lines size = 0"});
    EXPECT_EQ(CountChange(), 0);
}

TEST_F(UpdatePass, AnUnreachableServerIsOneLineAndNoEnd) {
    EXPECT_EQ(Pass(served::Env(L"TOLVANE_DEAD_URL")), 0);
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"Not Connection server... "});
    EXPECT_FALSE(FileExists(folder / L"update"));
}

TEST_F(UpdatePass, AMissingListIsOneLineAndTheEnd) {
    CreateDirectoryW((folder / L"update").c_str(), nullptr);
    WriteBytes(folder / L"update\\update.info", "Version = 3;");
    EXPECT_EQ(Pass(), 1);
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"error :No possibility to download data"});
    EXPECT_EQ(Record(), "Version = 3;");
    EXPECT_FALSE(FileExists(folder / L"update\\cash-of-programm.tmp"));
}

TEST_F(UpdatePass, LinesReachingOutsideTouchNothingThere) {
    const std::wstring canary = folder.path().substr(0, folder.path().size() - 1) + L"-canary.txt";
    const std::string name = String::ToString(canary.substr(canary.rfind(L'\\') + 1));
    WriteBytes(canary, "alive");
    served::ServeList(site, "..\\" + name + ";{d}\nsub/../../" + name + ";{d}\n..\\" + name +
                                ";{rw}\n..\\escaped\\f.txt;\n\\\\?\\" + String::ToString(canary) +
                                ";{d}\n" + String::ToString(canary) + ";{d}\ninside.txt;\n");
    served::Serve(site, L"inside.txt", "fine");
    EXPECT_EQ(Pass(), 1);
    EXPECT_EQ(ReadBytes(canary), "alive");
    DeleteFileW(canary.c_str());
    EXPECT_EQ(Local(L"inside.txt"), "fine");
    EXPECT_FALSE(Path::Exists(folder.path() + L"..\\escaped"));
    const auto log = ErrorLogLines();
    ASSERT_EQ(log.size(), 6u);
    for (const std::string& line : log)
        EXPECT_EQ(line.rfind("error : Path outside the launcher folder refused: ", 0), 0u) << line;
}

TEST_F(UpdatePass, LeftoversOfAKilledPassAreRemoved) {
    served::ServeList(site, "Version = 1;\ndata\\a.png;\n");
    served::Serve(site, L"Version = 1", "v");
    CreateDirectoryW((folder / L"update").c_str(), nullptr);
    CreateDirectoryW((folder / L"data").c_str(), nullptr);
    WriteBytes(folder / L"update\\cash-of-programm.tmp", "an old list");
    WriteBytes(folder / L"data\\a.png.tolvane-part", "half");
    WriteBytes(folder / L"data\\a.png", "kept");
    EXPECT_EQ(Pass(), 1);
    EXPECT_FALSE(FileExists(folder / L"update\\cash-of-programm.tmp"));
    EXPECT_FALSE(FileExists(folder / L"data\\a.png.tolvane-part"));
    EXPECT_EQ(Local(L"data\\a.png"), "kept");
}

TEST_F(UpdatePass, FailedDownloadsAreOneLineEachAndKeepPreviousCopies) {
    const std::wstring fault = served::FaultUrl();
    served::ServeList(site, "Version = 1;\ndrop\\big.bin;{rw}\nshort\\b.bin;{rw}\nf500\\c.bin;\n"
                            "f404\\d.bin;\nredirect\\good.bin;{rw}\n");
    served::Serve(site, L"good.bin", "good");
    served::Serve(site, L"Version = 1", "v");
    for (const wchar_t* name : {L"drop", L"short", L"redirect"})
        CreateDirectoryW((folder / name).c_str(), nullptr);
    WriteBytes(folder / L"drop\\big.bin", "previous big");
    WriteBytes(folder / L"short\\b.bin", "previous b");
    EXPECT_EQ(Pass(fault), 1);
    EXPECT_EQ(Local(L"drop\\big.bin"), "previous big");
    EXPECT_EQ(Local(L"short\\b.bin"), "previous b");
    EXPECT_FALSE(FileExists(folder / L"f500\\c.bin"));
    EXPECT_FALSE(FileExists(folder / L"f404\\d.bin"));
    EXPECT_EQ(Local(L"redirect\\good.bin"), "good");
    const std::string url = String::ToString(fault + site) + "/AppGameUpload/";
    const std::string start = " -> Start progress download: download error: ";
    const auto log = ErrorLogLines();
    ASSERT_EQ(log.size(), 4u);
    const std::string drop = "error : No download file " + url + "drop\\big.bin -> Start progress";
    EXPECT_EQ(log[0].substr(0, drop.size()), drop);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.end()),
              (std::vector<std::string>{
                  "error : No download file " + url + "short\\b.bin" + start +
                      "32768 of 65536 bytes arrived",
                  "error : No download file " + url + "f500\\c.bin" + start + "HTTP status 500",
                  "error : No download file " + url + "f404\\d.bin" + start + "-2146697211"}));
}

TEST_F(UpdatePass, AHugeListIsReadWholeAndCounted) {
    const ServerSettings settings =
        served::SettingsFor(served::FaultUrl(), L"hugelist", folder.path());
    EXPECT_EQ(served::RunPass(settings), 1);
    EXPECT_EQ(CountChange(), 0) << "100,000 lines less the Version line and 99,999 comments";
    EXPECT_EQ(Record(), "Version = huge;");
    start = UpdateEntryCount;
    EXPECT_EQ(served::RunPass(settings), 1);
    EXPECT_EQ(CountChange(), 99999) << "the unchanged Version line stops the pass";
    EXPECT_EQ(ErrorLogLines().size(), 1u) << "only the first pass's Version download fails";
}

// Blocks the end of a pass until the test lets it go, so the pass is known to be running.
HANDLE EndReached, EndRelease;
std::atomic<int> Ends{0};
void HeldEnd() {
    ++Ends;
    SetEvent(EndReached);
    WaitForSingleObject(EndRelease, 30000);
}

TEST_F(UpdatePass, TwoStartsInARowGiveOnePass) {
    served::ServeList(site, "Version = 1;\n");
    served::Serve(site, L"Version = 1", "v");
    EndReached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EndRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UpdateEndCallback = HeldEnd;
    const ServerSettings settings = served::SettingsFor(NginxUrl(), site, folder.path());
    EXPECT_TRUE(BeginUpdatePass(settings));
    EXPECT_FALSE(BeginUpdatePass(served::SettingsFor(NginxUrl(), L"other", folder.path())));
    ASSERT_EQ(WaitForSingleObject(EndReached, 30000), WAIT_OBJECT_0);
    StartUpdate();
    EXPECT_EQ(UpdateServerSettings.serverUrl, settings.serverUrl) << "settings kept during a pass";
    SetEvent(EndRelease);
    for (int i = 0; i < 300 && UpdatePassRunning(); ++i)
        Sleep(100);
    EXPECT_FALSE(UpdatePassRunning());
    EXPECT_EQ(Ends, 1);
    EXPECT_EQ(
        served::NginxRequests("GET /" + String::ToString(site) + "/AppGameUpload/uploadfile.uda"),
        1);
    EXPECT_EQ(served::NginxRequests("GET /other/"), 0);
    UpdateEndCallback = nullptr;
    CloseHandle(EndReached);
    CloseHandle(EndRelease);
}

} // namespace
