#include "update/folders.h"

#include <windows.h>

#include <vector>

#include "update/failure_log.h"
#include "update/trace.h"
#include "utility/string_helpers.h"

namespace Path {

bool CreateFolder(std::wstring path) {
    // The narrow calls take the bytes as they are; a wide conversion of bytes 0x80-0xFF could
    // fail, and the same bytes must name the same folder here and in Path::Exists.
    const std::string narrow = String::ToString(path) + "\\";
    if (GetFileAttributesA(narrow.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Trace::Wide(L"The directory already exists: " + path);
        return true;
    }
    Sleep(100);
    if (CreateDirectoryA(narrow.c_str(), nullptr)) {
        Trace::Wide(L"create folder: " + path);
        return true;
    }
    Trace::Wide(L"I can't create a directory. ");
    return false;
}

void CreateFolders(std::wstring relativePath, std::wstring baseFolder) {
    if (relativePath.find(L'\'') != std::wstring::npos)
        return;
    std::vector<std::wstring> names;
    std::wstring current;
    for (wchar_t unit : relativePath) {
        if (unit == L'\\') {
            names.push_back(current);
            current.clear();
        } else {
            current.push_back(unit);
        }
    }
    // What is left in current is the file name, which is not a folder.
    if (baseFolder.empty())
        return;
    std::wstring levels;
    for (const std::wstring& name : names) {
        levels += L"\\" + name;
        const std::wstring folder = baseFolder + levels;
        if (!CreateFolder(folder) && !Exists(folder))
            LogFailure(L"error: create directory ->" + levels);
    }
}

} // namespace Path
