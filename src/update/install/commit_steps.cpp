#include "update/install/commit_steps.h"

#include <windows.h>

#include <algorithm>

#include "update/base/base.h"
#include "update/install/release.h"
#include "update/install/staging.h"
#include "utility/string_helpers.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Code(DWORD error) {
    return L" (error " + std::to_wstring(error) + L")";
}

std::wstring MoveFailure(const std::wstring& name, DWORD error) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return name + L" is held by another program" + Code(error);
    return name + L" cannot be moved" + Code(error);
}

std::wstring FolderFailure(const std::wstring& name, bool removing, DWORD error) {
    if (error == ERROR_DIR_NOT_EMPTY)
        return name + L" is a folder that holds files the release does not name" + Code(error);
    return name + (removing ? L" cannot be removed" : L" cannot be made a folder") + Code(error);
}

// Logs why a step cannot be undone; false.
bool Unrecoverable(const std::wstring& why) {
    LogFailure(L"error : The previous release could not be put back: " + why);
    return false;
}

bool MoveBack(const std::wstring& from, const std::wstring& to, const std::wstring& name) {
    return MoveFileExW(from.c_str(), to.c_str(), 0) ||
           Unrecoverable(MoveFailure(name, GetLastError()));
}

// Undoes one step of an earlier launcher's journal, whose temporaries lie beside the target.
bool UndoBeside(const JournalStep& step, const std::wstring& target, const std::wstring& name) {
    const std::wstring aside = AsideBeside(target), stage = StageBeside(target);
    if ((step.kind == StepKind::In || step.kind == StepKind::Replace) && !Exists(stage) &&
        Exists(target) && !MoveBack(target, stage, name))
        return false;
    return !((step.kind == StepKind::Replace || step.kind == StepKind::Remove) && Exists(aside) &&
             !Exists(target) && !MoveBack(aside, target, name));
}

bool UndoStep(const std::wstring& folder, const JournalStep& step,
              const std::vector<JournalStep>& steps) {
    const std::wstring target = TargetIn(folder, step.text), name = String::ToWstring(step.text);
    const std::wstring stage = PathInArea(folder, Area::Stage, step.text),
                       aside = PathInArea(folder, Area::Aside, step.text);
    switch (step.kind) {
    case StepKind::Place: {
        // The copy at the name is the placed one only where no earlier copy was left there.
        const bool replaced = std::any_of(steps.begin(), steps.end(), [&](const JournalStep& s) {
            return s.kind == StepKind::Aside && s.text == step.text;
        });
        if (Exists(target) && !IsFolder(target) && !Exists(stage) && (!replaced || Exists(aside)))
            return MakeAreaFolders(folder, Area::Stage, step.text) && MoveBack(target, stage, name);
        return true;
    }
    case StepKind::Make:
        return !IsFolder(target) || RemoveDirectoryW(target.c_str()) ||
               Unrecoverable(FolderFailure(name, true, GetLastError()));
    case StepKind::Unmake:
        return Exists(target) || CreateDirectoryW(target.c_str(), nullptr) ||
               Unrecoverable(FolderFailure(name, false, GetLastError()));
    case StepKind::Aside:
        return !Exists(aside) || Exists(target) || MoveBack(aside, target, name);
    default:
        return UndoBeside(step, target, name);
    }
}

const wchar_t kLeftovers[] = L"update\\leftovers";

// Deletes a file moved aside; a read-only copy is deleted as well.
bool DeleteAside(const std::wstring& aside) {
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(aside.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace

std::wstring TakeStep(const std::wstring& folder, const JournalStep& step) {
    const std::wstring target = TargetIn(folder, step.text), name = String::ToWstring(step.text);
    switch (step.kind) {
    case StepKind::Aside: {
        // An aside an earlier commit could not delete gives way.
        const std::wstring aside = PathInArea(folder, Area::Aside, step.text);
        if (!MakeAreaFolders(folder, Area::Aside, step.text) ||
            !MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
            return MoveFailure(name, GetLastError());
        return std::wstring();
    }
    case StepKind::Unmake:
        return RemoveDirectoryW(target.c_str()) ? std::wstring()
                                                : FolderFailure(name, true, GetLastError());
    case StepKind::Make:
        return CreateDirectoryW(target.c_str(), nullptr)
                   ? std::wstring()
                   : FolderFailure(name, false, GetLastError());
    case StepKind::Place: {
        const std::wstring stage = PathInArea(folder, Area::Stage, step.text);
        return MoveFileExW(stage.c_str(), target.c_str(), 0) ? std::wstring()
                                                             : MoveFailure(name, GetLastError());
    }
    default:
        return std::wstring();
    }
}

bool DeleteJournal(const std::wstring& folder) {
    const std::wstring journal = JournalPath(folder);
    // No journal there, nor an update folder to hold one, is nothing to delete.
    if (DeleteFileW(journal.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
        GetLastError() == ERROR_PATH_NOT_FOUND)
        return true;
    LogFailure(L"error : The journal " + journal + L" cannot be deleted" + Code(GetLastError()) +
               L"; no release is installed until it is");
    return false;
}

bool UndoSteps(const std::wstring& folder, const std::vector<JournalStep>& steps) {
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        if (!UndoStep(folder, *step, steps))
            return false;
    return DeleteJournal(folder);
}

const JournalStep* PendingOwnStep(const std::wstring& folder,
                                  const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps)
        if (step.kind == StepKind::Own && Exists(PathInArea(folder, Area::Stage, step.text)))
            return &step;
    return nullptr;
}

bool CompleteSteps(const std::wstring& folder, const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps)
        if (step.kind == StepKind::Version &&
            !ReplaceFileBytes(folder + L"update\\update.info", step.text))
            return false;
    DeleteLeftovers(folder, steps);
    ClearArea(folder, Area::Stage);
    if (!DeleteJournal(folder))
        return false;
    ForgetStagedFiles(folder);
    return true;
}

void DeleteLeftovers(const std::wstring& folder, const std::vector<JournalStep>& legacySteps) {
    ClearArea(folder, Area::Aside);
    std::vector<std::string> names = NamesInRecord(folder, kLeftovers), kept;
    for (const JournalStep& step : legacySteps)
        if (step.kind == StepKind::Replace || step.kind == StepKind::Remove)
            names.push_back(step.text);
    for (const std::string& name : names)
        if (!DeleteAside(AsideBeside(TargetIn(folder, name))))
            kept.push_back(name);
    KeepInRecord(folder, kLeftovers, kept);
}
