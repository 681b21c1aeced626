#include "update/install/launcher_check.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/install/self_check_answer.h"
#include "utility/scoped_handle.h"

namespace {

constexpr DWORD kLimitMs = 20000;

// The short form of a folder past MAX_PATH (ending in a backslash), or the folder itself.
std::wstring ShortFolder(const std::wstring& folder) {
    const std::wstring full = L"\\\\?\\" + folder;
    std::wstring shorter(full.size() + 1, L'\0');
    shorter.resize(
        GetShortPathNameW(full.c_str(), shorter.data(), static_cast<DWORD>(shorter.size())));
    if (shorter.rfind(L"\\\\?\\", 0) == 0)
        shorter.erase(0, 4);
    return shorter.empty() ? folder : shorter;
}

} // namespace

std::wstring CheckNewLauncher(const std::wstring& staged, const std::wstring& setupFolder,
                              const std::string& listBytes, std::uint64_t serial,
                              const std::wstring& servedUrl) {
    const std::wstring list = setupFolder + L"update\\selfcheck.list",
                       answer = setupFolder + L"update\\selfcheck.answer";
    if (!ReplaceFileBytes(list, listBytes) || !ReplaceFileBytes(answer, kHostsQuestion)) {
        DeleteFileW(list.c_str());
        return L"its list cannot be written";
    }
    // Wine's process start cannot hold an image path past MAX_PATH: from a deeper folder the
    // staged launcher is named relative to the short form of its folder, made the current one
    // (the name is taken from the process's current folder) until it has started.
    const std::size_t cut = staged.find_last_of(L"\\/") + 1;
    const bool deep = staged.size() >= MAX_PATH;
    const std::wstring program = deep ? staged.substr(cut) : staged,
                       folder = deep ? ShortFolder(staged.substr(0, cut)) : std::wstring();
    std::wstring command =
        L"\"" + program + L"\" " + kSelfCheckSwitch + L" \"" + list + L"\" \"" + answer + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    std::wstring failure;
    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
    if (deep && !SetCurrentDirectoryW(folder.c_str())) {
        DeleteFileW(list.c_str());
        return L"it cannot be started (error " + std::to_wstring(GetLastError()) + L")";
    }
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    if (deep && !current.empty())
        SetCurrentDirectoryW(current.c_str());
    if (!started) {
        failure = L"it cannot be started (error " + std::to_wstring(error) + L")";
    } else {
        const ScopedFile running(process.hProcess), thread(process.hThread);
        if (WaitForSingleObject(running.get(), kLimitMs) != WAIT_OBJECT_0) {
            TerminateProcess(running.get(), 1);
            WaitForSingleObject(running.get(), kLimitMs);
            failure = L"it did not end within 20 s";
        } else {
            failure = AnswerFailure(ReadFileBytes(answer), serial, servedUrl);
        }
    }
    DeleteFileW(list.c_str());
    DeleteFileW(answer.c_str());
    return failure;
}
