#pragma once
// Small questions about files, and handing a file to the shell.
#include <string>

#include "utility/api.h"

namespace File {

// True when the file can be opened for reading right now (binary, default sharing). A folder,
// an unreadable file or one locked against readers gives false. The report flag does not
// change the result.
TOLVANE_API bool Exists(std::wstring path, bool report);
// The byte path goes to the platform's byte-string interface unchanged.
TOLVANE_API bool Exists(std::string path, bool report);
// Exists(path, true).
TOLVANE_API bool Exists(std::wstring path);
// Exists(String::ToWstring(path), true): bytes 0x80-0xFF name a different file than the
// flagged byte form does.
TOLVANE_API bool Exists(std::string path);

// Everything after the last backslash; empty when there is no backslash.
TOLVANE_API std::string GetName(std::string path);
TOLVANE_API std::wstring GetName(std::wstring path);
// Everything after the last full stop of the whole path; empty when there is none.
TOLVANE_API std::string GetExtension(std::string path);
TOLVANE_API std::wstring GetExtension(std::wstring path);

// Asks the shell to "open" the path (an executable starts as a new process). Returns when the
// shell has taken the request; failures are not reported.
TOLVANE_API void RunProcess(std::wstring path);

} // namespace File
