#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "utility/environment.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"

using namespace testing_support;

namespace {

TEST(FileExists, OpensForReadingRightNow) {
    ScratchFolder folder;
    const std::wstring file = folder / L"empty.txt";
    WriteBytes(file, "");
    EXPECT_TRUE(File::Exists(file));
    EXPECT_TRUE(File::Exists(file, false));
    EXPECT_TRUE(File::Exists(String::ToString(file)));
    EXPECT_FALSE(File::Exists(folder / L"missing.txt"));
    EXPECT_FALSE(File::Exists(folder.path())) << "a folder is not a file";
    EXPECT_FALSE(File::Exists(String::ToString(folder.path()), true));
    EXPECT_FALSE(File::Exists(std::wstring()));

    // Held open by another handle that lets readers in: still there.
    HANDLE shared =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(File::Exists(file));
    CloseHandle(shared);
    // Locked against readers: counts as missing.
    HANDLE locked = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(File::Exists(file));
    CloseHandle(locked);
}

TEST(FileExists, HighBytesNameDifferentFilesInTheTwoNarrowForms) {
    ScratchFolder folder;
    const std::string narrow = String::ToString(folder.path()) + "caf\xE9.txt";
    FILE* created = std::fopen(narrow.c_str(), "wb");
    ASSERT_NE(created, nullptr);
    std::fclose(created);
    // The flagged form hands the bytes to the narrow interface unchanged and finds the file;
    // the plain form widens 0xE9 to U+FFE9 and looks for another name.
    EXPECT_TRUE(File::Exists(narrow, true));
    EXPECT_FALSE(File::Exists(narrow));
}

TEST(FileNames, NameIsAfterLastBackslashOnly) {
    EXPECT_EQ(File::GetName(std::string("C:\\dir\\file.txt")), "file.txt");
    EXPECT_EQ(File::GetName(std::wstring(L"C:\\dir\\file.txt")), L"file.txt");
    EXPECT_EQ(File::GetName(std::string("file.txt")), "");
    EXPECT_EQ(File::GetName(std::wstring(L"C:\\dir\\")), L"");
    EXPECT_EQ(File::GetName(std::string("C:/dir/file.txt")), "");
    EXPECT_EQ(File::GetName(std::wstring(L"C:\\cache\\a[0]")), L"a[0]");
}

TEST(FileNames, ExtensionIsAfterLastFullStopOfWholePath) {
    EXPECT_EQ(File::GetExtension(std::string("file.txt")), "txt");
    EXPECT_EQ(File::GetExtension(std::wstring(L"archive.tar.gz")), L"gz");
    EXPECT_EQ(File::GetExtension(std::string("name.")), "");
    EXPECT_EQ(File::GetExtension(std::wstring(L"C:\\my.dir\\file")), L"dir\\file");
    EXPECT_EQ(File::GetExtension(std::string("file")), "");
}

TEST(Environment, SetupFolderIsTheExecutablesFolderWithBackslash) {
    const std::wstring folder = Environment::GetSetupExe();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(folder.find(L' '), std::wstring::npos) << "no buffer padding leaks out";
    EXPECT_TRUE(File::Exists(folder + L"utility_tests.exe"));
    EXPECT_EQ(Environment::NewLine(), (std::wstring{L'\t', L'\n'}));
}

TEST(RunProcess, StartsAnExecutableAndIgnoresAMissingOne) {
    ScratchFolder folder;
    ClearErrorLog();
    File::RunProcess(folder / L"no-such-program.exe");
    EXPECT_FALSE(FileExists(ErrorLogPath()));

    const std::wstring program = folder / L"record_run.exe";
    ASSERT_TRUE(CopyFileW((Environment::GetSetupExe() + L"record_run.exe").c_str(), program.c_str(),
                          FALSE));
    File::RunProcess(program);
    bool ran = false;
    for (int i = 0; i < 200 && !ran; ++i, Sleep(50))
        ran = FileExists(program + L".ran");
    EXPECT_TRUE(ran) << "the shell started the program";
    Sleep(200); // let it close its marker before the folder goes
}

} // namespace
