#pragma once
// Paths for the platform calls that refuse MAX_PATH units or more (measured under Wine 8:
// LoadImageW with LR_LOADFROMFILE and ShellExecuteW), while the launcher's folder may be of any
// length.
#include <string>

namespace SystemWindow {

// The path itself when it is shorter than MAX_PATH; else its short (8.3) form when the file
// exists and that form is shorter; else the path itself.
std::wstring PathForOldCalls(const std::wstring& path);

} // namespace SystemWindow
