#include "update/install/commit.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "update/base/base.h"
#include "update/install/commit_journal.h"
#include "update/install/commit_plan.h"
#include "update/install/commit_steps.h"
#include "update/install/own_file.h"

namespace {

const wchar_t kNotInstalled[] = L"error : The release was not installed: ";

// The moments of one commit, each asked of the watch in turn.
class Moments {
  public:
    explicit Moments(const CommitWatch& watch) : watch_(watch) {}
    bool Next() { return !watch_ || watch_(moment_++); }

  private:
    const CommitWatch& watch_;
    int moment_ = 0;
};

// Past the version line: the launcher's own file, then the version record and the clean-up.
CommitResult Finish(const std::wstring& folder, const std::vector<JournalStep>& steps,
                    Moments& moments) {
    if (const JournalStep* own = PendingOwnStep(folder, steps)) {
        if (!moments.Next())
            return CommitResult::Interrupted;
        switch (ReplaceOwnFile(folder, own->text)) {
        case OwnReplacement::Running:
            return CommitResult::HandOver;
        case OwnReplacement::Failed:
            return CommitResult::Interrupted;
        case OwnReplacement::Replaced:
            break;
        }
    }
    if (!moments.Next())
        return CommitResult::Interrupted;
    return CompleteSteps(folder, steps) ? CommitResult::Installed : CommitResult::Interrupted;
}

std::wstring JournalFailure(const std::wstring& journal, unsigned long error) {
    return L"the journal " + journal + L" cannot be written (error " + std::to_wstring(error) +
           L")";
}

} // namespace

CommitResult CommitRelease(const std::wstring& folder, const Release& release,
                           const CommitWatch& watch) {
    Moments moments(watch);
    const CommitPlan plan = PlanCommit(release, DiskView(folder));
    if (!plan.refusal.empty()) {
        LogFailure(plan.refusal);
        return CommitResult::RolledBack;
    }
    if (!moments.Next())
        return CommitResult::Interrupted;
    const std::wstring path = JournalPath(folder);
    std::vector<JournalStep> steps = plan.steps;
    {
        // A journal of its own: one an earlier commit left is never added to nor taken over.
        JournalFile journal(path);
        if (!journal.started() || !journal.Append(steps)) {
            LogFailure(kNotInstalled + JournalFailure(path, journal.error()));
            // Nothing was taken; a journal this commit started goes again.
            return journal.started() && !UndoSteps(folder, steps) ? CommitResult::Interrupted
                                                                  : CommitResult::RolledBack;
        }
        for (const JournalStep& step : plan.steps) {
            if (step.kind == StepKind::Own)
                continue;
            if (!moments.Next())
                return CommitResult::Interrupted;
            const std::wstring failure = TakeStep(folder, step);
            if (!failure.empty()) {
                LogFailure(kNotInstalled + failure);
                return UndoSteps(folder, steps) ? CommitResult::RolledBack
                                                : CommitResult::Interrupted;
            }
        }
        if (!moments.Next())
            return CommitResult::Interrupted;
        steps.push_back({StepKind::Version, release.versionLine});
        if (!journal.Append({steps.back()})) {
            // Not undone: the line may be on the disk, and a start would then go forward.
            LogFailure(kNotInstalled + JournalFailure(path, journal.error()) +
                       L"; the next start finishes or undoes the commit");
            return CommitResult::Interrupted;
        }
    }
    return Finish(folder, steps, moments);
}

Recovered RecoverCommit(const std::wstring& folder) {
    const std::wstring journal = JournalPath(folder);
    const std::vector<JournalStep> steps = ParseJournal(ReadFileBytes(journal));
    const std::wstring refusal = JournalRefusal(steps);
    if (!refusal.empty()) {
        LogFailure(refusal);
        return Recovered::Stuck;
    }
    switch (RecoveryFor(steps)) {
    case Recovery::Complete: {
        Trace::Wide(L"completing the interrupted commit in " + folder);
        const CommitWatch none;
        Moments moments(none);
        switch (Finish(folder, steps, moments)) {
        case CommitResult::Installed:
            return Recovered::Whole;
        case CommitResult::HandOver:
            return Recovered::HandOver;
        default:
            return Recovered::Stuck;
        }
    }
    case Recovery::Undo:
        Trace::Wide(L"undoing the interrupted commit in " + folder);
        return UndoSteps(folder, steps) ? Recovered::Whole : Recovered::Stuck;
    case Recovery::Nothing:
        break;
    }
    // A journal cut before its first whole line was written before any step was taken.
    if (!DeleteJournal(folder))
        return Recovered::Stuck;
    DeleteLeftovers(folder);
    return Recovered::Whole;
}
