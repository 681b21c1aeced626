#include "launcher/install_probe.h"

#include <windows.h>

#include "launcher/install_check.h"
#include "utility/environment.h"
#include "utility/scoped_handle.h"
#include "utility/text_file.h"

namespace Application {

bool CanWriteUpdateFolder(const std::wstring& folder) {
    const std::wstring update = folder + L"update";
    CreateDirectoryW(update.c_str(), nullptr);
    // Named after the process, so two launchers starting together never share it. Opening it
    // for deletion on close proves both that files can be made and that they can be removed.
    const std::wstring probe =
        update + L"\\write-check-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const ScopedFile file(
        CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.valid();
}

bool CanAppendErrorLog(const std::wstring& folder) {
    const ScopedFile log(CreateFileW((folder + L"errors.err").c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return log.valid();
}

bool CheckInstallFolder() {
    const std::wstring folder = Environment::ExecutableFolder();
    const bool writable = CanWriteUpdateFolder(folder);
    switch (ReportForFolder(writable, writable || CanAppendErrorLog(folder))) {
    case FolderReport::ErrorLogLine:
        File::WriteError(L"error : " + std::wstring(kFolderNotWritable));
        break;
    case FolderReport::MessageBox:
        MessageBoxW(nullptr, kFolderNotWritable, L"TolvaneSoft Window Launcher",
                    MB_OK | MB_ICONWARNING);
        break;
    case FolderReport::None:
        break;
    }
    return writable;
}

} // namespace Application
