#pragma once
// The moves of each journal step: taking one, undoing the steps of a commit that did not reach
// its version line, and finishing one that did. Each undo looks at the disk, so a step that
// was journalled but not taken, or only in part, is undone as far as it went. For the commit
// and its recovery only.
#include <string>
#include <vector>

#include "update/install/commit_journal.h"

// Takes the step in the launcher folder (ending in a backslash): empty when it was taken,
// otherwise why not, naming the path, for "error : The release was not installed: <why>".
// Own and Version steps are not taken here.
std::wstring TakeStep(const std::wstring& setupFolder, const JournalStep& step);

// Undoes the steps, last first, and deletes the journal: true when the folder holds the
// previous release again. False, with one error-log line, when a step cannot be undone (a file
// taken by another program in between); the journal then stays for the next start.
bool UndoSteps(const std::wstring& setupFolder, const std::vector<JournalStep>& steps);

// The Own step whose staged launcher still waits to take the running launcher's name; null
// when there is none.
const JournalStep* PendingOwnStep(const std::wstring& setupFolder,
                                  const std::vector<JournalStep>& steps);

// Finishes a commit past its version line, once no Own step is pending: writes the version
// record, deletes the asides, what is left staged and the journal. False, with one error-log
// line, when the record cannot be written or the journal deleted; the journal then stays and
// the next start finishes it again.
bool CompleteSteps(const std::wstring& setupFolder, const std::vector<JournalStep>& steps);

// Deletes the folder's journal; false, with one error-log line, when it stays.
bool DeleteJournal(const std::wstring& setupFolder);

// Deletes what earlier commits could not (a file still held then): the aside area, and the
// asides that earlier launchers named in update\leftovers, with those of legacySteps.
void DeleteLeftovers(const std::wstring& setupFolder,
                     const std::vector<JournalStep>& legacySteps = {});
