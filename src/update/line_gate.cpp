#include "update/line_gate.h"

#include <vector>

#include "update/install/install.h"
#include "utility/string_helpers.h"

namespace {

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The levels of a path as the platform resolves them: split at either separator, trailing
// dots and blanks cut, empty and "." levels dropped, ASCII letters lowercased.
std::vector<std::wstring> ResolvedLevels(const std::wstring& path) {
    std::vector<std::wstring> levels;
    std::wstring level;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\' && path[i] != L'/') {
            level.push_back(Lower(path[i]));
            continue;
        }
        while (!level.empty() && (level.back() == L'.' || level.back() == L' '))
            level.pop_back();
        if (!level.empty())
            levels.push_back(level);
        level.clear();
    }
    return levels;
}

// "NAME~X.EXT" with at most 8 units before the dot and 3 after: the shape of a short name.
bool ShortNameAlias(const std::wstring& level) {
    const std::size_t tilde = level.find(L'~');
    if (tilde == std::wstring::npos)
        return false;
    const std::size_t dot = level.find(L'.');
    const std::size_t stem = dot == std::wstring::npos ? level.size() : dot;
    return stem <= 8 && (dot == std::wstring::npos || level.size() - dot - 1 <= 3);
}

bool NamesLauncherState(const std::wstring& path) {
    const std::vector<std::wstring> levels = ResolvedLevels(path);
    if (levels.empty())
        return false;
    const std::wstring& first = levels.front();
    if (first == L"update" ||
        (levels.size() == 1 && (first == L"errors.err" || first == L"update.info")))
        return true;
    for (const std::wstring& level : levels)
        if (IsOwnTemporaryName(level) || ShortNameAlias(level))
            return true;
    return false;
}

} // namespace

std::wstring ResolvedPath(const std::wstring& path) {
    std::wstring resolved;
    for (const std::wstring& level : ResolvedLevels(path))
        resolved += (resolved.empty() ? L"" : L"\\") + level;
    return resolved;
}

bool NamesLauncher(const std::wstring& path, const std::wstring& launcherName) {
    return !launcherName.empty() && ResolvedPath(path) == ResolvedPath(launcherName);
}

std::wstring LineRefusal(const LauncherLine& line, const std::wstring& launcherName,
                         bool signedList) {
    if (line.comment)
        return std::wstring();
    const std::wstring refused = L"error : List line refused, ";
    if (!StaysInsideLauncherFolder(line))
        return L"error : Path outside the launcher folder refused: " + line.path;
    if (line.path.find_first_of(L"%#?") != std::wstring::npos)
        return refused + L"\"%\", \"#\" or \"?\" in the path: " + line.path;
    // The launcher itself is replaced only as a signed release replaces it, never deleted.
    if (NamesLauncherState(line.path) ||
        (NamesLauncher(line.path, launcherName) && (!signedList || line.deletion)))
        return refused + L"it names the launcher's own files: " + line.path;
    if (!line.fields.error.empty())
        return refused + String::ToWstring(line.fields.error) + L": " + line.path;
    if (!signedList)
        return std::wstring();
    if (!line.fields.unknown.empty())
        return refused + L"unknown field " + String::ToWstring(line.fields.unknown) + L": " +
               line.path;
    if (!line.deletion && (!line.fields.hasSize || line.fields.sha256.empty()))
        return refused + L"a signed list pins every file with size= and sha256=: " + line.path;
    return std::wstring();
}
