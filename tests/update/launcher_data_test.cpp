#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "update/launcher_data.h"
#include "update/update_pass.h"
#include "utility/string_helpers.h"

using namespace testing_support;

namespace {

// The line handling against a local folder, without a server: every file entry names a file
// that is already there. Deletions, downloads and refused lines are covered by the passes
// against nginx in update_server_tests.
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
