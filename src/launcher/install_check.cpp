#include "launcher/install_check.h"

namespace Application {

const wchar_t kFolderNotWritable[] =
    L"The launcher must be installed in a folder the player can write, such as under "
    L"%LOCALAPPDATA%; it cannot write in its update folder";

FolderReport ReportForFolder(bool folderWritable, bool errorLogWritable) {
    if (folderWritable)
        return FolderReport::None;
    return errorLogWritable ? FolderReport::ErrorLogLine : FolderReport::MessageBox;
}

} // namespace Application
