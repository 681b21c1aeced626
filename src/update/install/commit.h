#pragma once
// Switching the folder from one release to the next once every file is staged and verified,
// with every step journalled first, and finishing or undoing at start-up a commit that a kill
// cut short. The folder thus holds the previous release or the new one, never a mix.
#include <string>

#include "update/base/update_settings.h"
#include "update/install/release.h"

enum class CommitResult {
    Installed,   // every file is in, the removals are gone, the version record is written
    RolledBack,  // a step failed and was logged; the folder holds the previous release again
    Interrupted, // the journal stays for the next start or pass to finish or undo: a failure
                 // was logged, or the watch stopped the commit as a kill would
    HandOver     // past the version line, all is in but the running launcher's own file, which
                 // only its staged successor can replace (see own_file.h)
};

// Commits a release whose files are all staged into the folder (ending in a backslash), once
// RecoverCommit has left no journal: the journal of its steps (see PlanCommit) is started and
// flushed, the steps are taken, the version line is journalled and flushed, the running
// launcher's file is replaced, and the version record is written before the asides and the
// journal are deleted. A step that fails (a file another program holds) is logged as one line
// naming the file and the reason, and the steps already taken are undone; the staged files stay
// for the next pass. From the version line on nothing is undone. The watch, when given, is asked
// before each moment: before the journal, before each step, before the version line, before the
// launcher's own step and before the version record; answering false stops the commit dead
// there (Interrupted), as a kill would.
CommitResult CommitRelease(const std::wstring& setupFolder, const Release& release,
                           const CommitWatch& watch = nullptr);

// What a start, or a pass before it commits, finds once the folder's journal is dealt with.
enum class Recovered {
    Whole,   // no journal is left: it was finished or undone, or there was none
    Stuck,   // it could be neither (logged as one line); no release may be committed
    HandOver // it is finished but for the running launcher's own file (see own_file.h)
};

// Completes or undoes the commit that the folder's journal shows unfinished, whichever
// launcher wrote it, and deletes the asides that an earlier commit could not (a file still held
// then). A journal naming a path no list may name is left alone (Stuck).
Recovered RecoverCommit(const std::wstring& setupFolder);
