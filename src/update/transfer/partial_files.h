#pragma once
// Temporary files of downloads in progress. Each lies beside its target (same folder, so the
// final rename is atomic) under the target's name with a fixed ending.
#include <string>

// The name a download into target is written under until it is complete.
std::wstring PartialName(const std::wstring& target);

// True when the name (a path, or one level of it) ends like a download temporary, in any case.
bool IsPartialName(const std::wstring& name);

// Removes the download temporaries in the folder (not in its subfolders), left there by a
// pass that was killed.
void RemoveLeftoverDownloads(const std::wstring& folder);
