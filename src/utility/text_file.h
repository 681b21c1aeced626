#pragma once
// Whole text files, line by line, and the error log errors.err beside the executable.
// Everything works in the platform's text mode: a line feed in memory is CR LF on disk, a
// CR LF read comes back as one line feed, and a 0x1A byte ends the input. Lines are cut at
// every line feed; a final line feed gives no empty last line. Nothing is trimmed, and a
// byte-order mark stays at the start of the first line.
#include <string>
#include <vector>

#include "utility/api.h"

namespace File {

using LineCallback = void (*)(std::wstring line);
using LineContextCallback = void (*)(std::wstring line, void* context);

// Appends each line, as bytes, to the caller's vector (not cleared first). A missing file
// logs "No find file:" + path and gives false.
TOLVANE_API bool ReadTXT(std::wstring path, std::vector<std::string>& lines);
// Calls the callback with each line widened. A missing file logs "error: No find file:" + path,
// a null callback logs "error: Function callback: pointer = null"; both give false.
TOLVANE_API bool ReadTXT(std::wstring path, LineCallback callback);
// Calls the callback with each widened line and the context. A missing file shows the box
// "No find file:" + path, a null callback the box "Function callback: pointer = null";
// both give false.
TOLVANE_API bool ReadTXT(std::wstring path, LineContextCallback callback, void* context);
// The file's lines as wide strings, through one shared list; on failure logs
// "error : read File " + path and gives an empty vector. Calls are serialised.
TOLVANE_API std::vector<std::wstring> ReadTXTListString(std::wstring path);

// Replaces the file's contents with the text (no line end added). False, with the log line
// "error: No write file: " + path, when the file does not exist afterwards.
TOLVANE_API bool WriteText(std::string text, std::wstring path);
// Like WriteText, but appends.
TOLVANE_API bool AddWriteText(std::string text, std::wstring path);
// Appends the text and one line end; a file that cannot be opened is left alone silently.
TOLVANE_API void AddWriteEnd(std::string text, std::wstring path);

// Appends the message, narrowed by String::ToString, and a line end to errors.err in the
// executable's folder. Appends from several threads of one process never interleave.
TOLVANE_API void WriteError(std::wstring message);
// Deletes errors.err; on failure the log gets "No delete file errors.err".
TOLVANE_API void DeleteFileError();
// Deletes the file; on failure the log gets "No delete file " + path.
TOLVANE_API void Delete(std::wstring path);

} // namespace File
