#pragma once
// The release of a signed list, installed whole or not at all: the pass's side of staging and
// the commit. Runs on the update worker thread with UpdateServerSettings and UpdatePassOptions.
#include <string>
#include <vector>

#include "update/trust/list_acceptance.h"

// For a list taken whole (EveryLineTaken), with the content checks begun. First finishes or
// undoes a commit that a killed launcher left, and goes no further while one is left. Stops, as the
// line-by-line pass does, at a version line equal to the record (unless a repair). Otherwise
// refuses a release that does not fit on the volume (one error-log line, nothing fetched),
// records the list's serial, stages every file whose local copy differs, has a new launcher
// prove itself on the list's whole bytes (listBytes), and commits the release only when all
// are staged and verified. Anything that keeps the release out gets one
// error-log line and leaves the folder and its version record as they were. False when the
// pass stopped before it looked at every line (at the version line, or at a commit left
// unfinished), true when it looked at every line (EndContentChecks).
bool InstallSignedRelease(const std::vector<std::string>& lines, const AcceptedList& list,
                          const std::string& listBytes);
