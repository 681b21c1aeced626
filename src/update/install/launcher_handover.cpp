#include "update/install/launcher_handover.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/install/commit_steps.h"
#include "update/install/program_start.h"
#include "update/install/release.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

const wchar_t kFinishUpdateSwitch[] = L"/finish-update";

namespace {

constexpr DWORD kTakeOverMs = 20000;

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
        StartProgram(PathInArea(folder, Area::Stage, own), arguments, true, StartWindow::Default,
                     started)) {
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
    const std::vector<std::wstring> words = CommandWords(commandLine);
    const bool asked = words.size() == 6 && lstrcmpiW(words[1].c_str(), kFinishUpdateSwitch) == 0;
    if (!asked)
        return false;
    const std::wstring& folder = words[2];
    const HANDLE parent = reinterpret_cast<HANDLE>(_wcstoui64(words[3].c_str(), nullptr, 10)),
                 ready = reinterpret_cast<HANDLE>(_wcstoui64(words[4].c_str(), nullptr, 10));
    const std::string own = PendingOwnFile(folder);
    SetEvent(ready);
    CloseHandle(ready);
    WaitForSingleObject(parent, INFINITE);
    CloseHandle(parent);
    // Under the inherited lock: the rename, the version record, the clean-up.
    PROCESS_INFORMATION started{};
    if (RecoverCommit(folder) == Recovered::Whole && words[5] == L"launcher" && !own.empty() &&
        StartProgram(TargetIn(folder, own), L"", false, StartWindow::Default, started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    return true;
}
