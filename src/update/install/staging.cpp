#include "update/install/staging.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <vector>

#include "update/base/base.h"
#include "update/chunks/chunks.h"
#include "update/chunks/fetch/chunk_files.h"
#include "update/chunks/fetch/local_chunks.h"
#include "update/transfer/transfer.h"
#include "update/trust/trust.h"
#include "utility/string_helpers.h"

namespace {

// Where earlier launchers recorded the copies they staged beside their targets.
const wchar_t kRecord[] = L"update\\staged";

// A stage copy's name in the stat cache: under update\, which no list line may name.
std::string StageKey(const ReleaseFile& file) {
    return "update\\stage\\" + file.relativePath;
}

// Deletes the copies that earlier launchers staged beside their targets: none is taken for a
// release, since their record cannot tell which were flushed. A copy still held stays named.
void DeleteCopiesBeside(const std::wstring& setupFolder) {
    std::vector<std::string> kept;
    for (const std::string& name : NamesInRecord(setupFolder, kRecord))
        if (!DeleteFileW(StageBeside(TargetIn(setupFolder, name)).c_str()) &&
            GetLastError() != ERROR_FILE_NOT_FOUND)
            kept.push_back(name);
    KeepInRecord(setupFolder, kRecord, kept);
}

// The local files that may hold a file's pinned bytes whole: every other file the list names
// that lies in the folder now.
std::vector<std::pair<std::wstring, std::string>> Twins(const Release& release,
                                                        const ReleaseFile& file) {
    std::vector<std::pair<std::wstring, std::string>> twins;
    for (const auto* files : {&release.present, &release.removals, &release.files})
        for (const ReleaseFile& other : *files)
            if (&other != &file)
                twins.emplace_back(other.target, other.relativePath);
    return twins;
}

ChunkJob JobOf(const std::wstring& setupFolder, const Release& release, const ReleaseFile& file) {
    return {setupFolder,
            UpdateServerSettings.serverUrl,
            file.url,
            file.target,
            file.previousSha256,
            Twins(release, file),
            PathInArea(setupFolder, Area::Stage, file.relativePath),
            file.fields};
}

} // namespace

void FindStagedCopies(const std::wstring& setupFolder, Release& release) {
    DeleteCopiesBeside(setupFolder);
    // Stage copies of a release no longer served go first, so that none is marked reused and
    // then deleted.
    std::set<std::wstring> current;
    for (const ReleaseFile& file : release.files)
        current.insert(ResolvedPath(String::ToWstring(file.relativePath)));
    ClearArea(setupFolder, Area::Stage, current);
    for (ReleaseFile& file : release.files) {
        // The stat cache spares hashing a stage copy again at each retry.
        const std::wstring stage = PathInArea(setupFolder, Area::Stage, file.relativePath);
        file.staged = file.reused = GetFileAttributesW(stage.c_str()) != INVALID_FILE_ATTRIBUTES &&
                                    PinnedCopyPresent(stage, StageKey(file), file.fields);
        if (file.reused) {
            file.sha256 = file.fields.sha256;
            Trace::Narrow(file.relativePath + " <- staged before");
        }
    }
}

bool PinnedCopyInPlace(const std::wstring& setupFolder, const std::wstring& target,
                       const std::string& relativePath, const ListFields& fields,
                       std::string* found) {
    return CopyPresentOrCut(setupFolder, target, relativePath, fields, found);
}

ReleaseChunks PrepareChunks(const std::wstring& setupFolder, const Release& release) {
    ReleaseChunks chunks(setupFolder);
    for (const ReleaseFile& file : release.files)
        if (!file.staged)
            chunks.Prepare(JobOf(setupFolder, release, file));
    chunks.Seal();
    return chunks;
}

std::uint64_t BytesToStage(const Release& release, const ReleaseChunks& chunks) {
    const auto add = [](std::uint64_t a, std::uint64_t b) {
        return b > ~a ? ~std::uint64_t{0} : a + b;
    };
    std::uint64_t bytes = 0;
    for (const ReleaseFile& file : release.files)
        if (!file.staged)
            bytes = add(bytes, file.fields.size);
    bytes -= std::min(bytes, chunks.BuiltBefore());
    return add(bytes, chunks.Room());
}

namespace {

void LogNotStaged(const ReleaseFile& file, std::wstring message) {
    if (message.empty())
        message = L" Start progress download: download error: cannot write the file (error " +
                  std::to_wstring(GetLastError()) + L")";
    LogFailure(L"error : No download file " + file.url + L" ->" + message);
}

} // namespace

bool StageRelease(const std::wstring& setupFolder, Release& release, ReleaseChunks& chunks) {
    bool whole = true;
    std::vector<ReleaseFile*> fetched;
    for (ReleaseFile& file : release.files) {
        // A copy staged before may be one a killed pass never flushed: it is flushed again
        // (at almost no cost when its data is on the disk already).
        if (file.staged) {
            fetched.push_back(&file);
            continue;
        }
        Trace::Narrow(file.relativePath + " <- staging");
        const std::wstring stage = PathInArea(setupFolder, Area::Stage, file.relativePath);
        const Network::BodyCheck matches = [&](const std::wstring& partial) {
            return DownloadedCopyMatches(partial, file.fields, &file.sha256);
        };
        std::wstring message;
        const bool folders = MakeAreaFolders(setupFolder, Area::Stage, file.relativePath);
        const ChunkBuild built = folders
                                     ? chunks.Build(JobOf(setupFolder, release, file), &file.sha256)
                                     : ChunkBuild::Whole;
        if (built == ChunkBuild::Failed) { // logged already
            whole = false;
            continue;
        }
        if (built == ChunkBuild::Built)
            fetched.push_back(&file);
        else if (folders && Network::DownloadPinnedFile(stage, file.url, file.fields.size, matches,
                                                        &message)) {
            chunks.Staged(file.fields);
            fetched.push_back(&file);
        } else {
            LogNotStaged(file, message);
            whole = false;
        }
    }
    // Each copy goes to the disk before the stat cache vouches for it and before the commit's
    // journal. Flushed together once the downloads are done, most of the data has been written
    // out meanwhile: a flush right after each download waits for all of its bytes.
    for (ReleaseFile* file : fetched) {
        const std::wstring stage = PathInArea(setupFolder, Area::Stage, file->relativePath);
        const bool before = file->staged;
        file->staged = FlushToDisk(stage);
        if (!file->staged)
            LogNotStaged(*file, std::wstring());
        else if (!before)
            RecordVerifiedFile(stage, StageKey(*file), file->sha256, true);
        whole = whole && file->staged;
    }
    return whole;
}

void ForgetStagedFiles(const std::wstring& setupFolder) {
    DeleteFileW((setupFolder + kRecord).c_str());
}

void ForgetChunkWork(const std::wstring& setupFolder) {
    ClearChunkWork(setupFolder);
}

void KeepIndexesOf(const std::wstring& setupFolder, const Release& release) {
    std::set<std::string> installed;
    for (const auto* files : {&release.files, &release.present})
        for (const ReleaseFile& file : *files)
            installed.insert(file.fields.sha256);
    KeepLocalIndexes(setupFolder, installed);
}
