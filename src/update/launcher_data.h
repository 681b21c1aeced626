#pragma once
// Handling the lines of the launcher data against the launcher folder, and the version record
// update\update.info. Both work on UpdateServerSettings and run on the update worker thread.
#include <string>
#include <vector>

// Handles one line: a comment only lowers UpdateEntryCount; a Version line equal to the
// record stops the pass (false), unless the pass is a repair; a "{d}" line deletes its file;
// any other line creates its folders and downloads its file when missing or marked "{rw}" or,
// when the line pins the content (sha256=), exactly when the local copy differs. A line that
// LineRefusal refuses gets its one error-log line and nothing else. True except for the stop.
bool ProcessLauncherLine(const std::string& line);

// For a signed list, before any line is handled: true when the launcher takes every line;
// otherwise one error-log line for each refused line, and false (the list is refused whole).
bool EveryLineTaken(const std::vector<std::string>& lines);

// The running executable's file name.
const std::wstring& LauncherName();

// The version value of the record's first line; empty without a record.
std::string RecordedVersion();

// Stores the first line of the launcher data as the version record, in update\ when that
// folder can be made, otherwise beside it (with an error-log line).
void RecordVersion(const std::string& firstLine);
