#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "update/launcher_data.h"
#include "update/update_pass.h"
#include "utility/string_helpers.h"

using namespace testing_support;

namespace {

// The line handling against a local folder. No line here needs a download: every file entry
// names a file that is already there.
class LauncherData : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearErrorLog();
        // Nothing listens on port 1, should a line ever try to download.
        UpdateServerSettings = {L"https://localhost:1/", folder.path(), L"uploadfile.uda",
                                L"AppGameUpload"};
        start = UpdateEntryCount;
    }
    void TearDown() override { ClearErrorLog(); }
    std::int64_t CountChange() const { return static_cast<std::int64_t>(UpdateEntryCount - start); }
    void Record(const std::string& bytes) {
        CreateDirectoryW((folder / L"update").c_str(), nullptr);
        WriteBytes(folder / L"update\\update.info", bytes);
    }
    ScratchFolder folder;
    std::uint64_t start = 0;
};

TEST_F(LauncherData, CommentsAndVersionLinesLowerTheCountAndTouchNothing) {
    WriteBytes(folder / L"keep.txt", "old");
    EXPECT_TRUE(ProcessLauncherLine("'keep.txt;{d}"));
    EXPECT_TRUE(ProcessLauncherLine("'Version = 9;"));
    EXPECT_EQ(CountChange(), -2);
    EXPECT_EQ(ReadBytes(folder / L"keep.txt"), "old");

    Record("Version = 3;");
    EXPECT_FALSE(ProcessLauncherLine("Version=3")) << "same value: the data set is installed";
    EXPECT_EQ(CountChange(), -3);
    WriteBytes(folder / L"Version = 4", "present, so nothing is fetched");
    EXPECT_TRUE(ProcessLauncherLine("Version = 4;"));
    EXPECT_EQ(CountChange(), -4);
    EXPECT_TRUE(ErrorLogLines().empty());
}

TEST_F(LauncherData, AVersionLineWithoutAValueMatchesAMissingOrEmptyRecord) {
    EXPECT_FALSE(ProcessLauncherLine("Version")) << "no record: empty value";
    Record("\xEF\xBB\xBF"
           "Version = 5;");
    EXPECT_FALSE(ProcessLauncherLine("Version = 5")) << "the mark before the name does not matter";
    Record("Version");
    EXPECT_FALSE(ProcessLauncherLine("docs\\Version.txt;"));
    EXPECT_EQ(CountChange(), -3);
}

TEST_F(LauncherData, DeletionsRemoveExistingFilesAndReportOnesThatStay) {
    WriteBytes(folder / L"gone.pak", "x");
    WriteBytes(folder / L"locked.pak", "x");
    SetFileAttributesW((folder / L"locked.pak").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ProcessLauncherLine("gone.pak;{d}"));
    EXPECT_TRUE(ProcessLauncherLine("never.pak;{d}{rw}"));
    EXPECT_TRUE(ProcessLauncherLine("locked.pak;{d}"));
    EXPECT_FALSE(FileExists(folder / L"gone.pak"));
    EXPECT_TRUE(FileExists(folder / L"locked.pak"));
    EXPECT_EQ(CountChange(), -1) << "only the failed deletion counts";
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"error : No delete file " +
                                                        String::ToString(folder / L"/locked.pak")});
    SetFileAttributesW((folder / L"locked.pak").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(LauncherData, AnExistingFileWithoutRewriteKeepsItsContentAndGetsItsFolders) {
    CreateDirectoryW((folder / L"data").c_str(), nullptr);
    WriteBytes(folder / L"data\\a.png", "local copy");
    EXPECT_TRUE(ProcessLauncherLine("data\\a.png;"));
    EXPECT_EQ(ReadBytes(folder / L"data\\a.png"), "local copy");
    EXPECT_EQ(CountChange(), 0);
    EXPECT_TRUE(ErrorLogLines().empty());
}

TEST_F(LauncherData, LinesReachingOutsideAreRefusedWithOneLineEach) {
    ScratchFolder outside;
    WriteBytes(outside / L"canary.txt", "alive");
    const std::string up =
        "..\\" + String::ToString(outside.path().substr(
                     outside.path().rfind(L'\\', outside.path().size() - 2) + 1));
    const std::string lines[] = {up + "canary.txt;{d}", up + "new\\f.txt;", "..\\..\\x.txt;{rw}",
                                 "C:\\windows\\x.txt;{d}", "\\\\?\\C:\\y.txt;"};
    for (const std::string& line : lines)
        EXPECT_TRUE(ProcessLauncherLine(line));
    EXPECT_EQ(ReadBytes(outside / L"canary.txt"), "alive");
    EXPECT_FALSE(FileExists(outside / L"new"));
    const auto log = ErrorLogLines();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0], "error : Path outside the launcher folder refused: " + up + "canary.txt");
    EXPECT_EQ(CountChange(), 0);
}

TEST_F(LauncherData, TheVersionRecordHoldsTheFirstLineExactly) {
    RecordVersion("\xEF\xBB\xBFVersion = 7; \xE9");
    EXPECT_EQ(ReadBytes(folder / L"update\\update.info"), "\xEF\xBB\xBFVersion = 7; \xE9");
    RecordVersion("'comment");
    EXPECT_EQ(ReadBytes(folder / L"update\\update.info"), "'comment");
    EXPECT_TRUE(ErrorLogLines().empty());
}

TEST_F(LauncherData, WithoutAnUpdateFolderTheRecordGoesBesideIt) {
    WriteBytes(folder / L"update", "a file in the way");
    RecordVersion("Version = 1;");
    EXPECT_EQ(ReadBytes(folder / L"update.info"), "Version = 1;");
    EXPECT_EQ(ReadBytes(folder / L"update"), "a file in the way");
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"error : Create Directory " +
                                                        String::ToString(folder / L"update")});
}

} // namespace
