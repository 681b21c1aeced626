#pragma once
// Folder creation for the update pass, through the platform's wide calls, so that a folder of
// any name and any depth works.
#include <string>

#include "utility/path.h"

namespace Path {

// Makes sure a folder of that name exists: true when something already existed under the
// name or the folder was made, false when making it failed. Every new folder waits 100 ms first.
bool CreateFolder(std::wstring path);

// Creates, under baseFolder, every folder named by the part of relativePath before its last
// separator (backslash or slash), top down. A level that cannot be made and does not exist is
// logged as "error: create directory ->" + the levels so far. A path holding an apostrophe, or an
// empty base folder, creates nothing.
void CreateFolders(std::wstring relativePath, std::wstring baseFolder);

} // namespace Path
