#pragma once
// The journal of a commit, update\release.journal. Each commit starts one of its own; its
// steps are written and flushed before one is taken, so that after a kill or a power loss the
// next start knows how far the commit went and can finish it or undo it.
#include <string>
#include <vector>

#include "utility/scoped_handle.h"

enum class StepKind {
    // The steps of journals that earlier launchers wrote, whose temporaries lie beside the
    // target (StageBeside, AsideBeside); a start still finishes or undoes them.
    Replace, // the current copy is moved aside, then the staged copy to the file's name
    In,      // the staged copy of a new file is moved to the file's name
    Remove,  // a file the release drops is moved aside
    Done,    // the commit is complete; only the asides are left to delete
    // The steps of a commit now, whose temporaries lie in the stage and aside areas.
    Aside,  // the current copy of a file the release replaces or removes goes to the aside area
    Unmake, // a folder whose name the release gives to a file is removed, once emptied
    Make,   // a folder the release's files need is made (where a file may have been)
    Place,  // the staged copy of a file is moved to its name
    Own,    // the running launcher's file is replaced by its staged copy, in one rename that
            // leaves it a name at every moment; taken only after the version line
    // Both: the version record is written. Once this line may be on disk, every step before
    // it was taken, and the commit only goes forward.
    Version
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
// step (or an earlier launcher's done step) was written; undo it otherwise.
enum class Recovery { Nothing, Complete, Undo };
Recovery RecoveryFor(const std::vector<JournalStep>& steps);

// A journal's names are read back like a list's: the error-log line that leaves the journal
// alone, since a step names a path no list line could name (see PathRefusal); empty when
// every step's path is fine.
std::wstring JournalRefusal(const std::vector<JournalStep>& steps);

// Where the journal of the folder (ending in a backslash) lies.
std::wstring JournalPath(const std::wstring& setupFolder);

// The journal of one commit, open until the commit has written its version line.
class JournalFile {
  public:
    // Starts a journal of its own at path; not started() (with the error in error()) when one
    // is there already or it cannot be made.
    explicit JournalFile(const std::wstring& path);

    bool started() const { return file_.valid(); }

    // Appends the steps and flushes them to the disk; false (see error()) when that fails, and
    // the steps may then be on the disk or not.
    bool Append(const std::vector<JournalStep>& steps);

    unsigned long error() const { return error_; }

  private:
    ScopedFile file_;
    unsigned long error_ = 0;
};
