#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <clocale>

#include "support/test_files.h"
#include "utility/path.h"
#include "utility/string_helpers.h"

using namespace testing_support;

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> list) {
    std::sort(list.begin(), list.end());
    return list;
}

class Listings : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(folder / L"a.txt", "a");
        WriteBytes(folder / L"b.dat", "");
        CreateDirectoryW((folder / L"sub").c_str(), nullptr);
        WriteBytes(folder / L"sub\\inner.txt", "not listed");
    }
    // The folder as a caller might write it: without its final backslash.
    std::wstring Bare() const { return folder.path().substr(0, folder.path().size() - 1); }
    ScratchFolder folder;
};

TEST_F(Listings, FullPathsHaveOneBackslashBeforeTheNameAndSkipSubfolders) {
    const std::vector<std::wstring> expected{folder / L"a.txt", folder / L"b.dat"};
    EXPECT_EQ(Sorted(Path::GetListFiles(Bare())), expected);
    EXPECT_EQ(Sorted(Path::GetListFiles(folder.path())), expected);
    std::wstring slashes = Bare();
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    EXPECT_EQ(Sorted(Path::GetListFiles(slashes)), expected)
        << "backslashes are the only separator";
    EXPECT_EQ(Sorted(Path::GetListFilesOnlyName(Bare())),
              (std::vector<std::wstring>{L"a.txt", L"b.dat"}));
}

TEST_F(Listings, ListingSwitchesTheProcessToTheRussianLocale) {
    Path::GetListFilesOnlyName(folder.path());
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_NE(std::string(std::setlocale(LC_ALL, nullptr)).find("Russian"), std::string::npos);
}

TEST_F(Listings, NothingToListGivesAnEmptyResultAfterAFullOne) {
    ASSERT_EQ(Path::GetListFiles(folder.path()).size(), 2u);
    EXPECT_TRUE(Path::GetListFiles(folder / L"missing").empty());
    ASSERT_EQ(Path::GetListFilesOnlyName(folder.path()).size(), 2u);
    EXPECT_TRUE(Path::GetListFilesOnlyName(folder / L"sub\\..\\missing\\").empty());
    EXPECT_TRUE(Path::GetListFiles(folder / L"sub\\inner.txt").empty()) << "a file is no folder";
    EXPECT_TRUE(Path::GetListFiles(L"").empty());
    // U+0100 narrows to a zero byte and U+0441 to 'A': neither names this folder.
    EXPECT_TRUE(Path::GetListFiles(folder.path() + L"\x0100").empty());
    EXPECT_TRUE(Path::GetListFiles(Bare() + L"\x0441").empty());
    ScratchFolder empty;
    EXPECT_TRUE(Path::GetListFilesOnlyName(empty.path()).empty());
}

TEST_F(Listings, HighBytesOfNamesAreWidenedByTheLibraryRule) {
    const std::string narrow = String::ToString(folder.path()) + "caf\xE9.txt";
    HANDLE file = CreateFileA(narrow.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const auto names = Path::GetListFilesOnlyName(folder.path());
    EXPECT_NE(std::find(names.begin(), names.end(), std::wstring(L"caf\xFFE9.txt")), names.end());
}

} // namespace
