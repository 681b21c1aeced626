#pragma once
// Whole small files of the update folder (the list copy, the stat cache, the serial record),
// read and written as raw bytes.
#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

// Writes the bytes beside the file (as path + ".new"), flushes them to the disk and renames
// them over it, so that a cut write (a full disk, a killed launcher, a power loss) never leaves
// half a file. A failure is logged as "error : No write file "
// and the path, and leaves the previous file as it was; false then.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

// Flushes what was written to the file to the disk; false (with the error in GetLastError)
// when it cannot be opened for that or the flush fails.
bool FlushToDisk(const std::wstring& path);
