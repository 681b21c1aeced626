#include "update/install/launcher_handover.h"

#include <windows.h>
#include <shellapi.h>

#include "update/base/base.h"
#include "update/install/commit_steps.h"
#include "update/install/release.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

const wchar_t kFinishUpdateSwitch[] = L"/finish-update";

namespace {

constexpr DWORD kTakeOverMs = 20000;

// The short form of a path's folder, where the platform has one.
std::wstring ShortFolderOf(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1),
                       full = L"\\\\?\\" + folder;
    std::wstring shorter(full.size() + 1, L'\0');
    shorter.resize(
        GetShortPathNameW(full.c_str(), shorter.data(), static_cast<DWORD>(shorter.size())));
    return shorter.rfind(L"\\\\?\\", 0) == 0 ? shorter.substr(4) : folder;
}

// Starts the program with the arguments, inheriting this process's inheritable handles when
// asked. Wine's process start cannot hold an image path past MAX_PATH: a deeper one is named
// relative to the short form of its folder, made the current one until it has started.
bool Start(const std::wstring& program, const std::wstring& arguments, bool inherit,
           PROCESS_INFORMATION& started) {
    const bool deep = program.size() >= MAX_PATH;
    const std::wstring name = deep ? program.substr(program.find_last_of(L"\\/") + 1) : program;
    std::wstring command = L"\"" + name + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
    if (deep && !SetCurrentDirectoryW(ShortFolderOf(program).c_str()))
        return false;
    const bool done = CreateProcessW(name.c_str(), command.data(), nullptr, nullptr, inherit,
                                     CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
    if (deep)
        SetCurrentDirectoryW(current.c_str());
    return done;
}

// The relative path of the launcher's file that a pending Own step names; empty when none.
std::string PendingOwnFile(const std::wstring& folder) {
    const std::vector<JournalStep> steps = ParseJournal(ReadFileBytes(JournalPath(folder)));
    const JournalStep* own =
        JournalRefusal(steps).empty() ? PendingOwnStep(folder, steps) : nullptr;
    return own ? own->text : std::string();
}

// For a staged launcher that cannot take over: two renames, which leave the name empty between.
void RenameInPlace(const std::wstring& folder, const std::string& own) {
    const std::wstring target = TargetIn(folder, own);
    if (MakeAreaFolders(folder, Area::Aside, own) &&
        MoveFileExW(target.c_str(), PathInArea(folder, Area::Aside, own).c_str(),
                    MOVEFILE_REPLACE_EXISTING) &&
        MoveFileExW(PathInArea(folder, Area::Stage, own).c_str(), target.c_str(), 0))
        return;
    LogFailure(L"error : The new launcher cannot take its name yet: " + String::ToWstring(own) +
               L" cannot be moved (error " + std::to_wstring(GetLastError()) +
               L"); the next start finishes the update");
}

} // namespace

bool HandOverOwnFile(const std::wstring& folder, AfterHandOver after) {
    const std::string own = PendingOwnFile(folder);
    if (own.empty())
        return false;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const ScopedFile ready(CreateEventW(&inherited, TRUE, FALSE, nullptr));
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                    SYNCHRONIZE, TRUE, 0);
    const ScopedFile parent(self);
    // The folder's pass lock is inherited as well (see pass_lock.h), so no other pass or start
    // comes between this process's end and the staged launcher's work.
    const std::wstring arguments =
        // The folder ends in a backslash, doubled so that it does not escape the quote.
        std::wstring(kFinishUpdateSwitch) + L" \"" + folder + L"\\\" " +
        std::to_wstring(reinterpret_cast<std::uintptr_t>(parent.get())) + L" " +
        std::to_wstring(reinterpret_cast<std::uintptr_t>(ready.get())) +
        (after == AfterHandOver::StartLauncher ? L" launcher" : L" nothing");
    PROCESS_INFORMATION started{};
    if (ready.valid() && parent.valid() &&
        Start(PathInArea(folder, Area::Stage, own), arguments, true, started)) {
        const ScopedFile process(started.hProcess), thread(started.hThread);
        const HANDLE either[] = {ready.get(), process.get()};
        if (WaitForMultipleObjects(2, either, FALSE, kTakeOverMs) == WAIT_OBJECT_0) {
            Trace::Narrow("the staged launcher finishes the update");
            return true;
        }
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), kTakeOverMs);
    }
    Trace::Narrow("the staged launcher did not take over; its file is renamed in");
    RenameInPlace(folder, own);
    return false;
}

Recovered RecoverOrHandOver(const std::wstring& folder, AfterHandOver after) {
    const Recovered recovered = RecoverCommit(folder);
    if (recovered != Recovered::HandOver)
        return recovered;
    return HandOverOwnFile(folder, after) ? Recovered::HandOver : RecoverCommit(folder);
}

bool FinishHandedOverUpdate(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return false;
    const bool asked = count == 6 && lstrcmpiW(arguments[1], kFinishUpdateSwitch) == 0;
    if (asked) {
        const std::wstring folder = arguments[2], then = arguments[5];
        const HANDLE parent = reinterpret_cast<HANDLE>(_wcstoui64(arguments[3], nullptr, 10)),
                     ready = reinterpret_cast<HANDLE>(_wcstoui64(arguments[4], nullptr, 10));
        const std::string own = PendingOwnFile(folder);
        SetEvent(ready);
        CloseHandle(ready);
        WaitForSingleObject(parent, INFINITE);
        CloseHandle(parent);
        // Under the inherited lock: the rename, the version record, the clean-up.
        PROCESS_INFORMATION started{};
        if (RecoverCommit(folder) == Recovered::Whole && then == L"launcher" && !own.empty() &&
            Start(TargetIn(folder, own), L"", false, started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
    LocalFree(arguments);
    return asked;
}
