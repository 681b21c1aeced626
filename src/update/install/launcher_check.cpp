#include "update/install/launcher_check.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/install/program_start.h"
#include "update/install/self_check_answer.h"
#include "utility/scoped_handle.h"

namespace {

constexpr DWORD kLimitMs = 20000;

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
    const std::wstring arguments =
        std::wstring(kSelfCheckSwitch) + L" \"" + list + L"\" \"" + answer + L"\"";
    PROCESS_INFORMATION process{};
    std::wstring failure;
    const bool started = StartProgram(staged, arguments, false, StartWindow::Hidden, process);
    const DWORD error = GetLastError();
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
