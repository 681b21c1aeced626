#include "update/install/own_file.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/install/release.h"
#include "utility/environment.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

namespace {

// The file's identity on its volume; false when it cannot be opened.
bool IdentityOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& identity) {
    const ScopedFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), &identity);
}

bool IsOwnImage(const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION file{}, image{};
    return IdentityOf(path, file) && IdentityOf(Environment::ExecutablePath(), image) &&
           file.dwVolumeSerialNumber == image.dwVolumeSerialNumber &&
           file.nFileIndexHigh == image.nFileIndexHigh && file.nFileIndexLow == image.nFileIndexLow;
}

} // namespace

OwnReplacement ReplaceOwnFile(const std::wstring& folder, const std::string& relativePath) {
    const std::wstring target = TargetIn(folder, relativePath);
    if (IsOwnImage(target))
        return OwnReplacement::Running;
    const std::wstring stage = PathInArea(folder, Area::Stage, relativePath);
    if (MoveFileExW(stage.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return OwnReplacement::Replaced;
    LogFailure(L"error : The new launcher cannot take its name yet: " +
               String::ToWstring(relativePath) + L" is in use (error " +
               std::to_wstring(GetLastError()) + L"); the next start finishes the update");
    return OwnReplacement::Failed;
}
