#pragma once
// The journal of a commit, update\release.journal. Every step is written and flushed before
// one is taken, so that after a kill or a power loss the next start knows how far the commit went
// and can finish it or undo it.
#include <string>
#include <vector>

enum class StepKind {
    Replace, // the current copy of a file is moved to its aside name, then the staged copy to
             // the file's name: one step, so that a running launcher is never without a name
    In,      // the staged copy of a new file is moved to the file's name
    Remove,  // a file the release drops is moved to its aside name
    Version, // the version record is written: every file is in place
    Done     // the commit is complete; only the asides are left to delete
};

struct JournalStep {
    StepKind kind;
    std::string text; // the relative path, or the version line
};

// The step as one journal line, ending in a line feed.
std::string JournalLine(const JournalStep& step);

// The steps of a journal's bytes, up to the first line that is incomplete or unknown: a line
// cut by a power loss never counts as taken.
std::vector<JournalStep> ParseJournal(const std::string& bytes);

// What the next start does with a journal: nothing without steps; complete it once its version
// step was written (every file is then in place); undo it otherwise.
enum class Recovery { Nothing, Complete, Undo };
Recovery RecoveryFor(const std::vector<JournalStep>& steps);

// Where the journal of the folder (ending in a backslash) lies.
std::wstring JournalPath(const std::wstring& setupFolder);

// Appends the steps to the journal and flushes them to the disk; false when that fails.
bool AppendSteps(const std::wstring& journal, const std::vector<JournalStep>& steps);
