#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <process.h>

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

// folder_report.exe copied into a folder under the temporary folder, its own path being 118
// units (all that GetSetupExe reads), 119 (the cut takes part of the name only), 150 (the cut
// takes the last folder level) and 259 (the most a program can be started from). ExecutableFolder
// and the error log always have the whole folder.
TEST(FileQuery, SetupFolderIsCutAtItsBufferExecutableFolderAndErrorLogAreNot) {
    std::wstring temp(MAX_PATH + 1, L'\0');
    temp.resize(GetTempPathW(MAX_PATH + 1, &temp[0]));
    const std::wstring root = temp + L"folders-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::wstring name = L"folder_report.exe";
    ASSERT_LT(root.size() + name.size(), 117u);
    for (std::size_t length : {118, 119, 150, 259}) {
        const std::wstring folder =
            root + std::wstring(length - name.size() - root.size() - 1, L'd') + L"\\";
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(CopyFileW((Environment::ExecutableFolder() + name).c_str(),
                              (folder + name).c_str(), FALSE));
        ASSERT_EQ(_wspawnl(_P_WAIT, (folder + name).c_str(), name.c_str(), nullptr), 0) << length;
        const std::wstring cut = (folder + name).substr(0, 118);
        const std::string setup = String::ToString(cut.substr(0, cut.rfind(L'\\') + 1));
        EXPECT_EQ(String::Split(ReadBytes(folder + L"errors.err"), '\n'),
                  (std::vector<std::string>{setup + "\r", String::ToString(folder) + "\r"}))
            << length;
        EXPECT_EQ(setup == String::ToString(folder), length <= 119) << length;
    }
    std::filesystem::remove_all(root);
}

TEST(FileQuery, RunProcessStartsThroughTheShellAndReportsNoFailure) {
    const std::wstring program = Environment::ExecutableFolder() + L"record_run.exe";
    ClearErrorLog();
    File::RunProcess(program + L".missing.exe");
    EXPECT_FALSE(FileExists(ErrorLogPath())) << "a failed start is not reported";
    DeleteFileW((program + L".ran").c_str());
    File::RunProcess(program);
    for (int i = 0; i < 200 && !FileExists(program + L".ran"); ++i)
        Sleep(50);
    EXPECT_TRUE(FileExists(program + L".ran")) << "the shell started the program";
}
