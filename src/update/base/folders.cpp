#include "update/base/folders.h"

#include <windows.h>

#include <vector>

#include "update/base/base.h"

namespace Path {

namespace {

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool CreateFolder(std::wstring path) {
    // Wide calls, as for the files the folders receive: a narrowed path loses every character
    // outside the code page (a player's name in the folder) and stops at MAX_PATH.
    if (GetFileAttributesW((path + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES) {
        Trace::Wide(L"The directory already exists: " + path);
        return true;
    }
    Sleep(100);
    if (CreateDirectoryW(path.c_str(), nullptr)) {
        Trace::Wide(L"create folder: " + path);
        return true;
    }
    Trace::Wide(L"I can't create a directory. ");
    return false;
}

void CreateFolders(std::wstring relativePath, std::wstring baseFolder) {
    if (relativePath.find(L'\'') != std::wstring::npos)
        return;
    std::vector<std::wstring> names = PathLevels(relativePath);
    names.pop_back(); // the file name, which is not a folder
    if (baseFolder.empty())
        return;
    std::wstring levels;
    for (const std::wstring& name : names) {
        levels += L"\\" + name;
        const std::wstring folder = baseFolder + levels;
        if (!CreateFolder(folder) && !FolderExists(folder))
            LogFailure(L"error: create directory ->" + levels);
    }
}

} // namespace Path
