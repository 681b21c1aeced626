#include "update/release_pass.h"

#include <windows.h>

#include <set>

#include "update/base/base.h"
#include "update/install/install.h"
#include "update/trust/trust.h"
#include "update/launcher_data.h"
#include "update/launcher_line.h"
#include "update/line_gate.h"

namespace {

// Walks the lines as the line-by-line pass does, counting comments and the version line off
// *entries, and gathers the files whose local copy differs and the files to remove.
// False at a version line equal to the record: the release is in place; and, with heldBack (the
// trace line of an install outside the release's rollout), at the version line or the end.
bool GatherRelease(const std::vector<std::string>& lines, const std::string& heldBack,
                   Release& release, std::size_t* entries) {
    // One file listed twice, in any spelling, is taken as its first line says: a second move
    // aside of one file would lose the copy the first one kept.
    std::set<std::wstring> seen;
    release.versionLine = lines.front();
    for (const std::string& text : lines) {
        LauncherLine line = ParseLauncherLine(text);
        if (line.comment) {
            --*entries;
            continue;
        }
        if (line.version) {
            --*entries;
            if (ValueAfterEquals(text) == RecordedVersion() && !UpdatePassOptions.repair)
                return false;
            if (!heldBack.empty())
                break;
        }
        if (!seen.insert(ResolvedPath(line.path)).second)
            continue;
        PlaceLine(line, UpdateServerSettings);
        ReleaseFile file;
        file.relativePath = line.relativePath;
        file.target = line.target;
        file.url = line.url;
        file.fields = line.fields;
        file.launcher = NamesLauncher(line.path, LauncherName());
        if (line.deletion) {
            const DWORD attributes = GetFileAttributesW(line.target.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                release.removals.push_back(file);
        } else if (PinnedCopyInPlace(UpdateServerSettings.setupFolder, line.target,
                                     line.relativePath, line.fields, &file.previousSha256)) {
            Trace::Narrow(line.relativePath + " <- identical");
            release.present.push_back(file);
        } else {
            release.files.push_back(file);
        }
    }
    if (!heldBack.empty())
        Trace::Narrow(heldBack);
    return heldBack.empty();
}

// The trace line that keeps the installed release when this install is outside the list's
// staged rollout; empty when it takes the release. The install id is drawn only for a rollout.
std::string OutsideRollout(const AcceptedList& list, const std::wstring& folder) {
    const std::string id = list.release ? InstallId(folder) : std::string();
    return TakesRelease(list.release, id, !RecordedVersion().empty())
               ? std::string()
               : OutsideRolloutTrace(list.release->percent);
}

bool FitsOnVolume(const Release& release, const ReleaseChunks& chunks) {
    const std::uint64_t bytes = BytesToStage(release, chunks);
    const std::optional<std::uint64_t> free = FreeBytes(UpdateServerSettings.setupFolder);
    // Nothing to fetch needs no room, and a volume that cannot tell is tried as before.
    if (bytes == 0 || !free)
        return true;
    const std::wstring refusal = RoomRefusal(RoomNeeded(bytes), *free);
    if (!refusal.empty())
        LogFailure(refusal);
    return refusal.empty();
}

} // namespace

bool InstallSignedRelease(const std::vector<std::string>& lines, const AcceptedList& list,
                          const std::string& listBytes) {
    const std::wstring& folder = UpdateServerSettings.setupFolder;
    // A commit a killed launcher left is finished or undone before the folder is looked at, and
    // none starts while one is left.
    {
        const FolderSwitch switching;
        if (RecoverOrHandOver(folder, AfterHandOver::Nothing) != Recovered::Whole)
            return false;
    }
    // The entries are counted as the line-by-line pass counts them, once the list is taken.
    std::size_t entries = lines.size();
    Release release;
    if (lines.empty() || !GatherRelease(lines, OutsideRollout(list, folder), release, &entries)) {
        ForgetChunkWork(folder); // the release is in place: no chunk of it is needed
        if (RecordAcceptedSerial(list, folder))
            UpdateEntryCount += entries;
        return false;
    }
    const std::wstring conflict = ShapeConflict(release);
    if (!conflict.empty()) {
        LogFailure(conflict);
        return true;
    }
    FindStagedCopies(folder, release);
    if (release.files.empty())
        ForgetChunkWork(folder);
    // Every big file's index is read before the room check, which counts the chunks kept
    // between files, and before any file is built, so that a shared chunk is fetched once.
    ReleaseChunks chunks = PrepareChunks(folder, release);
    if (!FitsOnVolume(release, chunks) || !RecordAcceptedSerial(list, folder))
        return true;
    UpdateEntryCount += entries;
    if (!StageRelease(folder, release, chunks)) {
        Trace::Narrow("the release is held back until every file is staged");
        return true;
    }
    // A new launcher proves that it takes the studio's lists before it may replace this one.
    for (const ReleaseFile& file : release.files) {
        const std::wstring failure =
            file.launcher
                ? CheckNewLauncher(PathInArea(folder, Area::Stage, file.relativePath), folder,
                                   listBytes, *list.serial, UpdateServerSettings.serverUrl)
                : std::wstring();
        if (!failure.empty()) {
            LogFailure(L"error : The new launcher failed its check: " + failure);
            return true;
        }
        if (file.launcher)
            Trace::Narrow("the new launcher answered for serial " + std::to_string(*list.serial));
    }
    std::size_t reused = 0;
    for (const ReleaseFile& file : release.files)
        reused += file.reused;
    CommitResult result;
    {
        const FolderSwitch switching;
        result = CommitRelease(folder, release, UpdatePassOptions.commitWatch);
        // The running launcher's own file goes to its staged successor, which takes the name
        // once this launcher has ended (or, one that cannot, is renamed in here).
        if (result == CommitResult::HandOver &&
            RecoverOrHandOver(folder, AfterHandOver::Nothing) == Recovered::Whole)
            result = CommitResult::Installed;
    }
    if (result != CommitResult::Installed && result != CommitResult::HandOver)
        return true;
    ForgetChunkWork(folder);
    KeepIndexesOf(folder, release);
    // The copies moved in were flushed as they were staged; the running launcher's file is
    // vouched for once its successor has taken the name.
    for (const ReleaseFile& file : release.files)
        if (result == CommitResult::Installed || !file.launcher)
            RecordVerifiedFile(file.target, file.relativePath, file.sha256, true);
    Trace::Narrow("release installed: " + std::to_string(release.files.size() - reused) +
                  " fetched, " + std::to_string(reused) + " staged before, " +
                  std::to_string(release.files.size()) + " moved in, " +
                  std::to_string(release.removals.size()) + " removed");
    return true;
}
