#include "launcher/game_start.h"

#include <windows.h>

#include "toolkit/legacy_path.h"
#include "utility/file_query.h"

namespace Application {

void StartGame(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    const std::wstring shortFolder = SystemWindow::PathForOldCalls(folder);
    // The game starts in its own folder, as a shortcut would start it.
    SetCurrentDirectoryW(shortFolder.c_str());
    const std::wstring shortPath = SystemWindow::PathForOldCalls(path);
    if (path.size() < MAX_PATH || shortPath.size() >= MAX_PATH) {
        File::RunProcess(shortPath);
        return;
    }
    // Named relative to the current folder, the image path is never expanded to its long form,
    // which Wine's process start cannot hold past MAX_PATH.
    const std::wstring name = path.substr(folder.size());
    std::wstring commandLine = L"\"" + shortPath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(name.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       shortFolder.c_str(), &startup, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
}

} // namespace Application
