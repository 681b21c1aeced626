#include <gtest/gtest.h>

#include "support/test_files.h"
#include "update/folders.h"

using namespace testing_support;

namespace {

class Folders : public ::testing::Test {
  protected:
    void SetUp() override { ClearErrorLog(); }
    void TearDown() override { ClearErrorLog(); }
    bool IsFolder(const std::wstring& name) { return Path::Exists(folder / name); }
    ScratchFolder folder;
};

TEST_F(Folders, CreateFolderMakesOrFindsOneLevel) {
    EXPECT_TRUE(Path::CreateFolder(folder / L"new"));
    EXPECT_TRUE(IsFolder(L"new"));
    EXPECT_TRUE(Path::CreateFolder(folder / L"new")) << "an existing folder is fine";
    WriteBytes(folder / L"file", "x");
    EXPECT_FALSE(Path::CreateFolder(folder / L"file")) << "a file is not found as a folder";
    EXPECT_FALSE(Path::CreateFolder(folder / L"missing\\child"));
    EXPECT_FALSE(IsFolder(L"missing"));
    EXPECT_TRUE(ErrorLogLines().empty());
}

TEST_F(Folders, CreateFoldersMakesEveryLevelBeforeTheFileName) {
    Path::CreateFolders(L"data\\textures\\a.png", folder.path());
    EXPECT_TRUE(IsFolder(L"data\\textures"));
    EXPECT_FALSE(IsFolder(L"data\\textures\\a.png"));
    Path::CreateFolders(L"x\\y\\", folder.path());
    EXPECT_TRUE(IsFolder(L"x\\y")) << "a trailing backslash makes every name a folder";
    Path::CreateFolders(L"p\\\\q\\f.txt", folder.path());
    EXPECT_TRUE(IsFolder(L"p\\q")) << "an empty level is the folder before it";
    Path::CreateFolders(L"top.txt", folder.path());
    Path::CreateFolders(L"it's\\here\\f.txt", folder.path());
    EXPECT_FALSE(IsFolder(L"it's")) << "an apostrophe anywhere stops everything";
    Path::CreateFolders(L"none\\f.txt", L"");
    EXPECT_FALSE(Path::Exists(L"none"));
    EXPECT_TRUE(ErrorLogLines().empty());
}

TEST_F(Folders, ALevelThatCannotBeMadeIsLoggedAndTheRestTried) {
    WriteBytes(folder / L"blocker", "a file where a folder should be");
    Path::CreateFolders(L"blocker\\sub\\deeper\\f.txt", folder.path());
    EXPECT_EQ(ErrorLogLines(),
              (std::vector<std::string>{"error: create directory ->\\blocker",
                                        "error: create directory ->\\blocker\\sub",
                                        "error: create directory ->\\blocker\\sub\\deeper"}));
}

} // namespace
