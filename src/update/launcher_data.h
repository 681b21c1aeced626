#pragma once
// Handling the lines of the launcher data against the launcher folder, and the version record
// update\update.info. Both work on UpdateServerSettings and run on the update worker thread.
#include <string>

// Handles one line: a comment only lowers UpdateEntryCount; a Version line equal to the
// record stops the pass (false), unless the pass is a repair; a "{d}" line deletes its file;
// any other line creates its folders and downloads its file when missing or marked "{rw}" or,
// when the line pins the content (sha256=), exactly when the local copy differs. A line whose
// path would reach outside the launcher folder, or whose pin is malformed, is refused with one
// error-log line. True except for the stop.
bool ProcessLauncherLine(const std::string& line);

// Stores the first line of the launcher data as the version record, in update\ when that
// folder can be made, otherwise beside it (with an error-log line).
void RecordVersion(const std::string& firstLine);
