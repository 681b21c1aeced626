#include "utility/environment.h"

#include <windows.h>

namespace Environment {

namespace {

// The part of a module path up to and including its last backslash; empty without one.
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t p = path.rfind(L'\\');
    return p == std::wstring::npos ? std::wstring() : path.substr(0, p + 1);
}

} // namespace

std::wstring GetSetupExe() {
    constexpr DWORD kCapacity = 119;
    // The buffer keeps its 119 units: the path, a null, then the spaces it was filled with.
    std::wstring buffer(kCapacity, L' ');
    if (GetModuleFileNameW(nullptr, &buffer[0], kCapacity) == 0)
        return std::wstring();
    return FolderOf(buffer);
}

std::wstring ExecutablePath() {
    // A path that fills the buffer may have been cut, so the buffer grows until one fits. No
    // path is longer than 32767 units.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD room = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], room);
        if (length == 0)
            return std::wstring();
        if (length < room) {
            buffer.resize(length);
            return buffer;
        }
        if (room >= 65536)
            return std::wstring();
        buffer.resize(2 * buffer.size());
    }
}

std::wstring ExecutableFolder() {
    return FolderOf(ExecutablePath());
}

std::wstring NewLine() {
    return std::wstring(L"\t\n");
}

} // namespace Environment
