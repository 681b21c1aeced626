#include "update/install/commit.h"

#include <windows.h>

#include <vector>

#include "update/base/base.h"
#include "update/install/commit_journal.h"
#include "update/install/staging.h"
#include "utility/string_helpers.h"

std::atomic<int> CommitStopAt{-1};

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder under a file's name is not moved aside: the move in then fails, and is logged.
bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring MoveFailure(const std::wstring& file, DWORD error) {
    const std::wstring code = L" (error " + std::to_wstring(error) + L")";
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return file + L" is held by another program" + code;
    return file + L" cannot be moved" + code;
}

// Deletes a file moved aside; a read-only copy is deleted as well.
bool DeleteAside(const std::wstring& aside) {
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(aside.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::wstring LeftoversPath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\leftovers";
}

// Deletes the asides of the steps, and those an earlier commit left; the ones still held are
// kept in the leftovers record for a later start.
void DeleteAsides(const std::wstring& folder, const std::vector<JournalStep>& steps) {
    const std::wstring record = LeftoversPath(folder);
    std::vector<std::string> names = String::Split(ReadFileBytes(record), '\n');
    for (const JournalStep& step : steps)
        if (step.kind == StepKind::Replace || step.kind == StepKind::Remove)
            names.push_back(step.text);
    std::string kept;
    for (const std::string& name : names)
        if (!name.empty() && !DeleteAside(AsideName(TargetIn(folder, name))))
            kept += name + "\n";
    if (kept.empty())
        DeleteFileW(record.c_str());
    else if (kept != ReadFileBytes(record))
        ReplaceFileBytes(record, kept);
}

// Moves from to to; false, with one error-log line, when that fails.
bool MoveBack(const std::wstring& from, const std::wstring& to, const std::string& relativePath) {
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return true;
    LogFailure(L"error : The previous release could not be put back: " +
               MoveFailure(String::ToWstring(relativePath), GetLastError()));
    return false;
}

// Undoes the steps, last first. Each undo looks at what is on the disk, so a step whose
// journal line was written but whose moves were not (or only the first) is undone as far as it
// went. False when a move back fails; the journal then stays for the next start.
bool Undo(const std::wstring& folder, const std::vector<JournalStep>& steps) {
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        const std::wstring target = TargetIn(folder, step->text), aside = AsideName(target),
                           stage = StageName(target);
        if ((step->kind == StepKind::In || step->kind == StepKind::Replace) && !Exists(stage) &&
            Exists(target) && !MoveBack(target, stage, step->text))
            return false;
        if ((step->kind == StepKind::Replace || step->kind == StepKind::Remove) && Exists(aside) &&
            !Exists(target) && !MoveBack(aside, target, step->text))
            return false;
    }
    DeleteFileW(JournalPath(folder).c_str());
    return true;
}

// Writes the version record and the last journal line, then deletes the asides and the journal.
void Complete(const std::wstring& folder, const std::vector<JournalStep>& steps) {
    const std::wstring journal = JournalPath(folder);
    for (const JournalStep& step : steps)
        if (step.kind == StepKind::Version)
            ReplaceFileBytes(folder + L"update\\update.info", step.text);
    if (steps.empty() || steps.back().kind != StepKind::Done)
        AppendSteps(journal, {{StepKind::Done, ""}});
    DeleteAsides(folder, steps);
    DeleteFileW(journal.c_str());
    ForgetStagedFiles(folder);
}

// One commit under way. Its steps are journalled all at once, flushed once, before the first
// is taken: an undo looks at the disk for each, so one not yet taken is passed over. The
// version line, flushed after the last move, tells that every move was made.
class Commit {
  public:
    explicit Commit(const std::wstring& folder) : folder_(folder), journal_(JournalPath(folder)) {}

    bool Plan(const Release& release) {
        for (const ReleaseFile& file : release.files)
            steps_.push_back(
                {IsFile(file.target) ? StepKind::Replace : StepKind::In, file.relativePath});
        for (const ReleaseFile& file : release.removals)
            steps_.push_back({StepKind::Remove, file.relativePath});
        return !Stopped() && Journal(steps_) && !Stopped();
    }

    // Takes the moves of the step. False when the commit must end here: the failure is then
    // logged and the steps are undone, or the test's stop was reached.
    bool Take(const JournalStep& step, const ReleaseFile& file) {
        const std::wstring& target = file.target;
        switch (step.kind) {
        case StepKind::Replace:
            return Move(target, AsideName(target), file) && !Stopped() &&
                   Move(StageName(target), target, file) && !Stopped();
        case StepKind::In:
            return Move(StageName(target), target, file) && !Stopped();
        default:
            return Move(target, AsideName(target), file) && !Stopped();
        }
    }

    // An aside left by an earlier commit is replaced; a file's name must be free.
    bool Move(const std::wstring& from, const std::wstring& to, const ReleaseFile& file) {
        const bool toAside = to.size() > file.target.size();
        if (MoveFileExW(from.c_str(), to.c_str(), toAside ? MOVEFILE_REPLACE_EXISTING : 0))
            return true;
        LogFailure(L"error : The release was not installed: " +
                   MoveFailure(String::ToWstring(file.relativePath), GetLastError()));
        Undo(folder_, steps_);
        return false;
    }

    bool Journal(const std::vector<JournalStep>& steps) {
        if (AppendSteps(journal_, steps))
            return true;
        LogFailure(L"error : The release was not installed: the journal " + journal_ +
                   L" cannot be written (error " + std::to_wstring(GetLastError()) + L")");
        Undo(folder_, steps_);
        return false;
    }

    bool Finish(const std::string& versionLine) {
        if (!Journal({{StepKind::Version, versionLine}}) || Stopped())
            return false;
        steps_.push_back({StepKind::Version, versionLine});
        return true;
    }

    // True once the test's stop is reached; each call is one moment.
    bool Stopped() {
        const int stop = CommitStopAt.load();
        abandoned_ = abandoned_ || (stop >= 0 && moment_++ == stop);
        return abandoned_;
    }

    bool abandoned() const { return abandoned_; }
    const std::vector<JournalStep>& steps() const { return steps_; }

  private:
    std::wstring folder_, journal_;
    std::vector<JournalStep> steps_;
    int moment_ = 0;
    bool abandoned_ = false;
};

} // namespace

CommitResult CommitRelease(const std::wstring& folder, const Release& release) {
    Commit commit(folder);
    auto ended = [&] {
        return commit.abandoned() ? CommitResult::Abandoned : CommitResult::RolledBack;
    };
    if (!commit.Plan(release))
        return ended();
    std::size_t at = 0;
    for (const ReleaseFile& file : release.files)
        if (!commit.Take(commit.steps()[at++], file))
            return ended();
    for (const ReleaseFile& file : release.removals)
        if (!commit.Take(commit.steps()[at++], file))
            return ended();
    if (!commit.Finish(release.versionLine))
        return ended();
    Complete(folder, commit.steps());
    return CommitResult::Installed;
}

void RecoverCommit(const std::wstring& folder) {
    const std::wstring journal = JournalPath(folder);
    const std::vector<JournalStep> steps = ParseJournal(ReadFileBytes(journal));
    switch (RecoveryFor(steps)) {
    case Recovery::Complete:
        Trace::Wide(L"completing the interrupted commit in " + folder);
        Complete(folder, steps);
        break;
    case Recovery::Undo:
        Trace::Wide(L"undoing the interrupted commit in " + folder);
        Undo(folder, steps);
        break;
    case Recovery::Nothing:
        DeleteFileW(journal.c_str());
        DeleteAsides(folder, {});
        break;
    }
}
