#include "update/install/program_start.h"

#include <shellapi.h>

namespace {

// The short form of a folder (ending in a backslash), or the folder itself where the platform
// has none.
std::wstring ShortFolder(const std::wstring& folder) {
    const std::wstring full = L"\\\\?\\" + folder;
    std::wstring shorter(full.size() + 1, L'\0');
    shorter.resize(
        GetShortPathNameW(full.c_str(), shorter.data(), static_cast<DWORD>(shorter.size())));
    if (shorter.rfind(L"\\\\?\\", 0) == 0)
        shorter.erase(0, 4);
    return shorter.empty() ? folder : shorter;
}

std::wstring CurrentFolder() {
    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
    return current;
}

} // namespace

bool StartProgram(const std::wstring& program, const std::wstring& arguments, bool inherit,
                  StartWindow window, PROCESS_INFORMATION& started) {
    const std::size_t cut = program.find_last_of(L"\\/") + 1;
    const bool deep = program.size() >= MAX_PATH;
    const std::wstring name = deep ? program.substr(cut) : program;
    std::wstring command = L"\"" + name + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (window == StartWindow::Hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    const std::wstring current = deep ? CurrentFolder() : std::wstring();
    if (deep && !SetCurrentDirectoryW(ShortFolder(program.substr(0, cut)).c_str()))
        return false;
    const BOOL done = CreateProcessW(name.c_str(), command.data(), nullptr, nullptr, inherit,
                                     CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
    const DWORD error = GetLastError();
    if (deep && !current.empty())
        SetCurrentDirectoryW(current.c_str());
    SetLastError(error);
    return done != FALSE;
}

std::vector<std::wstring> CommandWords(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return {};
    std::vector<std::wstring> words(arguments, arguments + count);
    LocalFree(arguments);
    return words;
}
