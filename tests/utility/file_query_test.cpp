#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "utility/environment.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"

using namespace testing_support;

TEST(FileExists, OpensForReadingRightNow) {
    ScratchFolder folder;
    const std::wstring file = folder / L"empty.txt";
    WriteBytes(file, "");
    EXPECT_TRUE(File::Exists(file));
    EXPECT_TRUE(File::Exists(String::ToString(file), false));
    EXPECT_FALSE(File::Exists(folder / L"missing.txt"));
    EXPECT_FALSE(File::Exists(folder.path())) << "a folder is not a file";
    // Held open by a handle that lets readers in: still there; locked against readers: not.
    for (DWORD share : {DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE), DWORD(0)}) {
        HANDLE other = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_EQ(File::Exists(file), share != 0) << "share mode " << share;
        CloseHandle(other);
    }
    // The flagged narrow form hands the bytes to the narrow interface unchanged; the plain
    // one widens 0xE9 to U+FFE9 and so looks for another name.
    const std::string narrow = String::ToString(folder.path()) + "caf\xE9.txt";
    CloseHandle(CreateFileA(narrow.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_TRUE(File::Exists(narrow, true));
    EXPECT_FALSE(File::Exists(narrow));
}

TEST(FileNames, NameAfterLastBackslashExtensionAfterLastFullStop) {
    const std::pair<std::string, std::string> names[] = {{"C:\\dir\\file.txt", "file.txt"},
                                                         {"file.txt", ""},
                                                         {"C:\\dir\\", ""},
                                                         {"C:/dir/file.txt", ""},
                                                         {"C:\\c\\a[0]", "a[0]"}};
    for (const auto& [path, name] : names) {
        EXPECT_EQ(File::GetName(path), name) << path;
        EXPECT_EQ(File::GetName(String::ToWstring(path)), String::ToWstring(name)) << path;
    }
    const std::pair<std::string, std::string> extensions[] = {
        {"archive.tar.gz", "gz"}, {"name.", ""}, {"C:\\my.dir\\file", "dir\\file"}, {"file", ""}};
    for (const auto& [path, extension] : extensions) {
        EXPECT_EQ(File::GetExtension(path), extension) << path;
        EXPECT_EQ(File::GetExtension(String::ToWstring(path)), String::ToWstring(extension));
    }
}

TEST(Environment, SetupFolderAndNewLine) {
    const std::wstring folder = Environment::GetSetupExe();
    EXPECT_TRUE(FileExists(folder + L"utility_tests.exe")) << String::ToString(folder);
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(Environment::NewLine(), L"\t\n");
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
