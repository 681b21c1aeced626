#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "support/test_files.h"
#include "utility/path.h"

using namespace testing_support;

static std::vector<std::wstring> Sorted(std::vector<std::wstring> list) {
    std::sort(list.begin(), list.end());
    return list;
}

TEST(Listings, FilesOfOneFolderWithOneBackslashBeforeTheName) {
    ScratchFolder folder;
    WriteBytes(folder / L"a.txt", "a");
    WriteBytes(folder / L"b.dat", "");
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub").c_str(), nullptr)) << "subfolders are skipped";
    WriteBytes(folder / L"sub\\inner.txt", "not listed");
    for (const std::wstring& given :
         {folder.path().substr(0, folder.path().size() - 1), folder.path()}) {
        EXPECT_EQ(Sorted(Path::GetListFiles(given)),
                  (std::vector<std::wstring>{folder / L"a.txt", folder / L"b.dat"}));
        EXPECT_EQ(Sorted(Path::GetListFilesOnlyName(given)),
                  (std::vector<std::wstring>{L"a.txt", L"b.dat"}));
    }
    // The shared list that held the last result gives nothing for a missing folder.
    EXPECT_TRUE(Path::GetListFiles(folder / L"missing").empty());
    ASSERT_EQ(Path::GetListFilesOnlyName(folder.path()).size(), 2u);
    EXPECT_TRUE(Path::GetListFilesOnlyName(folder / L"missing").empty());
}
