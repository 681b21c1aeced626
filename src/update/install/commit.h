#pragma once
// Switching the folder from one release to the next once every file is staged and verified,
// with every step journalled first, and finishing or undoing at start-up a commit that a kill
// cut short. The folder thus holds the previous release or the new one, never a mix.
#include <atomic>
#include <string>

#include "update/install/release.h"

enum class CommitResult {
    Installed,  // every file is in, the removals are gone, the version record is written
    RolledBack, // a step failed and was logged; the folder holds the previous release again
    Abandoned   // stopped by CommitStopAt, as a killed process would leave it
};

// Commits a release whose files are all staged into the folder (ending in a backslash), after
// RecoverCommit has dealt with any journal a killed commit left: each
// current copy is moved aside and its staged copy moved in, the removals are moved aside, the
// version record is written, then the asides are deleted. A step that fails (a file held by
// another program) is logged as one line naming the file and the reason, and the steps already
// taken are undone; the staged files stay for the next pass.
CommitResult CommitRelease(const std::wstring& setupFolder, const Release& release);

// For the launcher's start, before any pass: completes or undoes the commit that the folder's
// journal shows unfinished, and deletes the asides that an earlier commit could not (a file
// still held then). Nothing to do leaves the folder as it is.
void RecoverCommit(const std::wstring& setupFolder);

// For tests: when not negative, a commit stops dead at that moment, as a kill would stop it.
// Moment 0 is before its journal is written, 1 after it; each move is one more, and so is the
// version's journal line.
extern std::atomic<int> CommitStopAt;
