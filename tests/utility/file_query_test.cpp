#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_files.h"
#include "utility/environment.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"

using namespace testing_support;

TEST(FileQuery, ExistsMeansOpensForReadingRightNow) {
    ScratchFolder folder;
    const std::wstring file = folder / L"empty.txt";
    WriteBytes(file, "");
    // The flagged narrow form hands the bytes to the narrow interface unchanged; the plain
    // one widens 0xE9 to U+FFE9 and so looks for another name.
    const std::string narrow = String::ToString(folder.path()) + "caf\xE9.txt";
    CloseHandle(CreateFileA(narrow.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(std::make_tuple(File::Exists(file), File::Exists(folder / L"missing.txt"),
                              File::Exists(folder.path()), File::Exists(narrow, true),
                              File::Exists(narrow)),
              std::make_tuple(true, false, false, true, false));
    // Held open by a handle that lets readers in: still there; locked against readers: not.
    for (DWORD share : {DWORD(FILE_SHARE_READ), DWORD(0)}) {
        HANDLE other =
            CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(File::Exists(file), share != 0) << "share mode " << share;
        CloseHandle(other);
    }
}

TEST(FileQuery, NameAfterLastBackslashExtensionAfterLastFullStop) {
    const std::string cases[][3] = {{"C:\\dir\\file.txt", "file.txt", "txt"},
                                    {"C:\\my.dir\\file", "file", "dir\\file"},
                                    {"C:/dir/a.tar.gz", "", "gz"},
                                    {"C:\\dir\\name.", "name.", ""}};
    for (const auto& [path, name, extension] : cases) {
        const std::wstring wide = String::ToWstring(path);
        EXPECT_EQ(
            std::make_tuple(File::GetName(path), File::GetExtension(path), File::GetName(wide),
                            File::GetExtension(wide)),
            std::make_tuple(name, extension, String::ToWstring(name), String::ToWstring(extension)))
            << path;
    }
}

TEST(FileQuery, SetupFolderNewLineAndRunProcess) {
    const std::wstring program = Environment::GetSetupExe() + L"record_run.exe";
    EXPECT_TRUE(FileExists(program)) << "the setup folder ends in a backslash";
    EXPECT_EQ(Environment::NewLine(), L"\t\n");
    ClearErrorLog();
    File::RunProcess(program + L".missing.exe");
    EXPECT_FALSE(FileExists(ErrorLogPath())) << "a failed start is not reported";
    DeleteFileW((program + L".ran").c_str());
    File::RunProcess(program);
    for (int i = 0; i < 200 && !FileExists(program + L".ran"); ++i)
        Sleep(50);
    EXPECT_TRUE(FileExists(program + L".ran")) << "the shell started the program";
}
