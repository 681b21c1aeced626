#include "update/transfer/partial_files.h"

#include <windows.h>

#include "update/base/path_rules.h"
#include "update/base/trace.h"
#include "utility/scoped_handle.h"

std::wstring PartialName(const std::wstring& target) {
    return target + TemporaryEnding(Temporary::Download);
}

bool IsPartialName(const std::wstring& name) {
    return HasTemporaryEnding(name, Temporary::Download);
}

void RemoveLeftoverDownloads(const std::wstring& folder) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base.push_back(L'\\');
    WIN32_FIND_DATAW entry;
    const ScopedFind find(
        FindFirstFileW((base + L"*" + TemporaryEnding(Temporary::Download)).c_str(), &entry));
    if (!find.valid())
        return;
    do {
        const std::wstring file = base + entry.cFileName;
        // The pattern also matches short names; only a real ending counts.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsPartialName(file))
            continue;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(file.c_str()))
            Trace::Wide(L"removed unfinished download: " + file);
    } while (FindNextFileW(find.get(), &entry));
}
