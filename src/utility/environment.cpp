#include "utility/environment.h"

#include <windows.h>

namespace Environment {

std::wstring GetSetupExe() {
    constexpr DWORD kCapacity = 119;
    // The buffer keeps its 119 units: the path, a null, then the spaces it was filled with.
    std::wstring buffer(kCapacity, L' ');
    if (GetModuleFileNameW(nullptr, &buffer[0], kCapacity) == 0)
        return std::wstring();
    const std::size_t p = buffer.rfind(L'\\');
    if (p == std::wstring::npos)
        return std::wstring();
    return buffer.substr(0, p + 1);
}

std::wstring NewLine() {
    return std::wstring(L"\t\n");
}

} // namespace Environment
