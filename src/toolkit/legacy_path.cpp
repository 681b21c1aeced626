#include "toolkit/legacy_path.h"

#include <windows.h>

namespace SystemWindow {

std::wstring PathForOldCalls(const std::wstring& path) {
    if (path.size() < MAX_PATH)
        return path;
    // The short form is never longer than the long one.
    std::wstring shortForm(path.size() + 1, L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), &shortForm[0], static_cast<DWORD>(shortForm.size()));
    if (length == 0 || length >= MAX_PATH)
        return path;
    shortForm.resize(length);
    return shortForm;
}

} // namespace SystemWindow
