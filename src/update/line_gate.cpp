#include "update/line_gate.h"

#include "update/base/path_rules.h"
#include "utility/string_helpers.h"

bool NamesLauncher(const std::wstring& path, const std::wstring& launcherName) {
    return !launcherName.empty() && ResolvedPath(path) == ResolvedPath(launcherName);
}

std::wstring LineRefusal(const LauncherLine& line, const std::wstring& launcherName,
                         bool signedList) {
    if (line.comment)
        return std::wstring();
    const std::wstring pathRefusal = PathRefusal(line.relativePath, signedList);
    if (!pathRefusal.empty())
        return pathRefusal;
    const std::wstring refused = L"error : List line refused, ";
    // The launcher itself is replaced only as a signed release replaces it, never deleted.
    if (NamesLauncher(line.path, launcherName) && (!signedList || line.deletion))
        return refused + L"it names the launcher's own files: " + line.path;
    if (!line.fields.error.empty())
        return refused + String::ToWstring(line.fields.error) + L": " + line.path;
    // An unsigned list's file lines are fetched under the names they give, as they always
    // were; a name the platform cannot keep then fails as its download.
    const bool makesFile = signedList && !line.deletion;
    if (const std::wstring fileRefusal = makesFile ? FileRefusal(line.relativePath) : L"";
        !fileRefusal.empty())
        return fileRefusal;
    if (!signedList)
        return std::wstring();
    if (!line.fields.unknown.empty())
        return refused + L"unknown field " + String::ToWstring(line.fields.unknown) + L": " +
               line.path;
    if (!line.deletion && (!line.fields.hasSize || line.fields.sha256.empty()))
        return refused + L"a signed list pins every file with size= and sha256=: " + line.path;
    return std::wstring();
}
