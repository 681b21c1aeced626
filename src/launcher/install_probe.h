#pragma once
// The platform's side of the install folder check (see install_check.h).
#include <string>

namespace Application {

// True when a temporary file can be made and deleted in folder's update\ (folder ends in a
// backslash); makes update\ when it is missing. Works at any path length.
bool CanWriteUpdateFolder(const std::wstring& folder);

// True when folder's errors.err can be opened for appending (it is made when missing).
bool CanAppendErrorLog(const std::wstring& folder);

// Checks the launcher's own folder and tells the player, as ReportForFolder decides, when it is
// not writable. True when it is.
bool CheckInstallFolder();

} // namespace Application
