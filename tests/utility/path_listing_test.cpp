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
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub").c_str(), nullptr));
    WriteBytes(folder / L"sub\\inner.txt", "not listed");
    const std::wstring bare = folder.path().substr(0, folder.path().size() - 1);
    const std::vector<std::wstring> paths{folder / L"a.txt", folder / L"b.dat"};
    for (const std::wstring& given : {bare, folder.path()}) {
        EXPECT_EQ(Sorted(Path::GetListFiles(given)), paths);
        EXPECT_EQ(Sorted(Path::GetListFilesOnlyName(given)),
                  (std::vector<std::wstring>{L"a.txt", L"b.dat"}));
    }
    // The shared list that held the last result gives nothing for what cannot be listed.
    for (const std::wstring& missing :
         {folder / L"missing", folder / L"sub\\inner.txt", std::wstring()}) {
        ASSERT_EQ(Path::GetListFiles(folder.path()).size(), 2u);
        EXPECT_TRUE(Path::GetListFiles(missing).empty());
        ASSERT_EQ(Path::GetListFilesOnlyName(folder.path()).size(), 2u);
        EXPECT_TRUE(Path::GetListFilesOnlyName(missing).empty());
    }
}
