#include "update/install/release.h"

#include <windows.h>

#include "update/base/base.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

namespace {

// Empties the folder at path (relative holds its path in the area, ending in a backslash, or
// nothing) of all but the kept files. True when the folder is left empty.
bool Clear(const std::wstring& path, const std::wstring& relative,
           const std::set<std::wstring>& kept) {
    WIN32_FIND_DATAW found;
    const ScopedFind find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find.valid())
        return true;
    bool empty = true;
    do {
        const std::wstring name = found.cFileName, inner = path + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A linked folder is not entered: removing the link leaves where it points alone.
            const bool cleared = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                                 Clear(inner, relative + name + L"\\", kept);
            empty = (cleared && RemoveDirectoryW(inner.c_str())) && empty;
        } else if (kept.count(ResolvedPath(relative + name))) {
            empty = false;
        } else {
            SetFileAttributesW(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
            empty = DeleteFileW(inner.c_str()) && empty;
        }
    } while (FindNextFileW(find.get(), &found));
    return empty;
}

} // namespace

std::wstring TargetIn(const std::wstring& setupFolder, const std::string& relativePath) {
    return setupFolder + L"/" + String::ToWstring(relativePath);
}

std::wstring AreaPath(const std::wstring& setupFolder, Area area) {
    return setupFolder + (area == Area::Stage ? L"update\\stage" : L"update\\aside");
}

std::wstring PathInArea(const std::wstring& setupFolder, Area area,
                        const std::string& relativePath) {
    return AreaPath(setupFolder, area) + L"\\" + String::ToWstring(relativePath);
}

bool MakeAreaFolders(const std::wstring& setupFolder, Area area, const std::string& relativePath) {
    std::wstring folder = AreaPath(setupFolder, area);
    const std::vector<std::wstring> levels = PathLevels(String::ToWstring(relativePath));
    for (std::size_t level = 0; level <= levels.size() - 1; ++level) {
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (level + 1 < levels.size())
            folder += L"\\" + levels[level];
    }
    return true;
}

void ClearArea(const std::wstring& setupFolder, Area area, const std::set<std::wstring>& kept) {
    Clear(AreaPath(setupFolder, area), L"", kept);
}

std::wstring StageBeside(const std::wstring& target) {
    return target + TemporaryEnding(Temporary::Stage);
}

std::wstring AsideBeside(const std::wstring& target) {
    return target + TemporaryEnding(Temporary::Aside);
}

std::vector<std::string> NamesInRecord(const std::wstring& setupFolder, const wchar_t* record) {
    std::vector<std::string> names;
    for (const std::string& name : String::Split(ReadFileBytes(setupFolder + record), '\n')) {
        if (PathRefusal(name).empty())
            names.push_back(name);
        else if (!name.empty())
            LogFailure(std::wstring(L"error : ") + record +
                       L" names a path no list may name, which is left alone: " +
                       String::ToWstring(name));
    }
    return names;
}

void KeepInRecord(const std::wstring& setupFolder, const wchar_t* record,
                  const std::vector<std::string>& names) {
    const std::wstring path = setupFolder + record;
    std::string lines;
    for (const std::string& name : names)
        lines += name + "\n";
    if (lines.empty())
        DeleteFileW(path.c_str());
    else if (lines != ReadFileBytes(path))
        ReplaceFileBytes(path, lines);
}
