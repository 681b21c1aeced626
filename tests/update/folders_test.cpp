#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "update/base/folders.h"

using namespace testing_support;

namespace {

TEST(Folders, EveryLevelIsMadeAndOneThatCannotBeIsLoggedAndPassedOver) {
    ScratchFolder folder;
    ClearErrorLog();
    EXPECT_TRUE(Path::CreateFolder(folder / L"new"));
    EXPECT_TRUE(Path::CreateFolder(folder / L"new")) << "an existing folder is fine";
    WriteBytes(folder / L"blocker", "a file where a folder should be");
    EXPECT_FALSE(Path::CreateFolder(folder / L"blocker"));
    // A player's folder holds characters no code page has, and may be deep.
    const std::wstring player =
        folder / (L"\u0418\u0432\u0430\u043D\\" + std::wstring(240, L'd') + L"\\");
    EXPECT_TRUE(Path::CreateFolder(player.substr(0, player.find(L'\\', folder.path().size()))));
    EXPECT_TRUE(Path::CreateFolder(player.substr(0, player.size() - 1)));
    Path::CreateFolders(L"data\\textures\\a.png", player);
    EXPECT_NE(GetFileAttributesW((player + L"\\data\\textures").c_str()), INVALID_FILE_ATTRIBUTES);
    Path::CreateFolders(L"data/models\\m.bin", player); // either separator
    EXPECT_NE(GetFileAttributesW((player + L"\\data\\models").c_str()), INVALID_FILE_ATTRIBUTES);
    Path::CreateFolders(L"blocker\\sub\\deeper\\f.txt", folder.path());
    EXPECT_EQ(ErrorLogLines(),
              (std::vector<std::string>{"error: create directory ->\\blocker",
                                        "error: create directory ->\\blocker\\sub",
                                        "error: create directory ->\\blocker\\sub\\deeper"}));
    ClearErrorLog();
}

} // namespace
