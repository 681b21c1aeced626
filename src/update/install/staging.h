#pragma once
// Staging a release: every file whose local copy differs is fetched and verified under its
// stage name beside its target before anything in the folder changes. Verified stage copies
// are kept across passes, so a retry fetches only what is still missing.
#include <string>

#include "update/install/release.h"

// Marks the files whose stage copy already has the listed size and hash as staged (and
// reused), and deletes the stage copies of earlier releases that this one does not name.
void FindStagedCopies(const std::wstring& setupFolder, Release& release);

// The listed bytes of the files not yet staged.
std::uint64_t BytesToStage(const Release& release);

// Fetches and verifies every file not yet staged into its stage name, creating its folders.
// The stage names are first recorded in update\staged, so that the copies of a release no
// longer served can be found wherever they lie.
// Each file that fails gets one error-log line naming its URL and the reason. True when every
// file of the release is staged.
bool StageRelease(const std::wstring& setupFolder, Release& release);

// Forgets the record of stage copies once a commit has moved them in.
void ForgetStagedFiles(const std::wstring& setupFolder);
