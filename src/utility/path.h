#pragma once
// Folder questions and listings.
#include <string>
#include <vector>

#include "utility/api.h"

namespace Path {

// True only when the path, narrowed by String::ToString, names an existing folder.
TOLVANE_API bool Exists(std::wstring path);

// The full path of every entry of the folder that is not a folder itself, in the platform's
// order, without entering subfolders. The folder is narrowed by String::ToString and listed
// through the C runtime's byte-string interface; the results are widened by
// String::ToWstring and use backslashes only, with one separator before the name whether or
// not the folder ended in one. A missing or unreadable folder gives an empty vector.
// Sets the C runtime locale of the whole process to "Russian" (decimal comma) and leaves it
// so. Listings are serialised: one shared list holds the latest result.
TOLVANE_API std::vector<std::wstring> GetListFiles(std::wstring folder);
// Like GetListFiles, but each entry is its bare name.
TOLVANE_API std::vector<std::wstring> GetListFilesOnlyName(std::wstring folder);

} // namespace Path
