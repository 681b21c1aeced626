#include "update/chunks/fetch/release_chunks.h"

#include <windows.h>

#include <optional>

#include "update/base/base.h"
#include "update/chunks/fetch/chunk_files.h"
#include "update/chunks/fetch/local_chunks.h"
#include "update/transfer/transfer.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "utility/string_helpers.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t SizeOf(const std::wstring& path) {
    std::uint64_t size = 0, time = 0;
    return SizeAndTimeOf(path, size, time) ? size : 0;
}

// The file's needs by its index; false when the index is missing or refused (why in *error).
bool ReadNeeds(const std::wstring& index, const ListFields& fields, ChunkNeeds& needs,
               std::string* error = nullptr) {
    IndexWalk walk(index, fields);
    ChunkEntry entry;
    ChunkKey key;
    while (walk.Next(entry, key))
        needs.Add(key, entry.length);
    needs.Seal();
    if (error)
        *error = walk.Error();
    return walk.Finish();
}

} // namespace

void ReleaseChunks::Prepare(const ChunkJob& job) {
    const ListFields& fields = job.fields;
    const std::wstring folder = WantsChunkIndex(fields.size) ? ChunkFolder(setupFolder_) : L"";
    // Another file holding the bytes is copied, and with no previous copy and no earlier work
    // there is nothing to take chunks from: one whole download costs less than the chunks.
    const ChunkWork work = WorkOf(folder, fields);
    if (folder.empty() || HasTwin(job.twins, fields) ||
        (!Exists(job.previous) && !Exists(work.build)))
        return;
    builtBefore_ += std::min(SizeOf(work.build), fields.size);
    if (!job.previousSha256.empty() && !Exists(LocalIndexPath(setupFolder_, job.previousSha256)))
        indexBytes_ += ChunkIndexLimit(SizeOf(job.previous));
    // The index is kept with the build until the release is in: a resumed pass needs it again.
    const std::wstring url = ChunkIndexUrl(job.base, fields.sha256);
    std::wstring message;
    if (!Exists(work.index) &&
        !Network::DownloadPiece(work.index, url, ChunkIndexLimit(fields.size), kNoSizeLimit,
                                nullptr, &message)) {
        Trace::Wide(L"no chunk index, fetched whole:" + message);
        return;
    }
    ChunkNeeds needs;
    std::string error;
    if (!ReadNeeds(work.index, fields, needs, &error)) {
        LogFailure(L"warning : The chunk index " + url + L" is refused (" +
                   String::ToWstring(error) + L"), so " + job.fileUrl + L" is fetched whole");
        DeleteFileW(work.index.c_str());
        return;
    }
    // Read again, now that it is known whole: a refused index adds no use.
    IndexWalk walk(work.index, fields);
    ChunkEntry entry;
    ChunkKey key;
    while (walk.Next(entry, key))
        release_.Add(key, entry.length);
}

void ReleaseChunks::FindPrevious(const ChunkJob& job, LocalChunks& local) {
    const std::uint64_t size = SizeOf(job.previous);
    const std::string& sha256 = job.previousSha256;
    const std::wstring index = sha256.empty() ? L"" : LocalIndexPath(setupFolder_, sha256);
    if (!index.empty() && !Exists(index))
        Network::DownloadPiece(index, ChunkIndexUrl(job.base, sha256), ChunkIndexLimit(size),
                               kNoSizeLimit, nullptr, nullptr);
    if (!index.empty() && FindIndexedChunks(index, size, sha256, local))
        return;
    if (!index.empty())
        DeleteFileW(index.c_str());
    LocalChunks cut(local.Needs());
    FindLocalChunks(job.previous, cut);
    local = std::move(cut);
}

void ReleaseChunks::Release(const ChunkWork& work, const ChunkNeeds& needs) {
    std::vector<ChunkKey> gone;
    release_.TakeLeft(needs, gone);
    for (const ChunkKey& key : gone)
        DeleteFileW((work.folder + String::ToWstring(LowerHex(std::string(key.begin(), key.end()))))
                        .c_str());
}

void ReleaseChunks::Staged(const ListFields& fields) {
    const std::wstring folder = WantsChunkIndex(fields.size) ? ChunkFolder(setupFolder_) : L"";
    const std::wstring index = WorkOf(folder, fields).index,
                       kept = LocalIndexPath(setupFolder_, fields.sha256);
    if (!folder.empty() && !kept.empty() && Exists(index))
        CopyFileW(index.c_str(), kept.c_str(), FALSE);
}

ChunkBuild ReleaseChunks::Build(const ChunkJob& job, std::string* sha256) {
    const ListFields& fields = job.fields;
    const std::wstring folder = WantsChunkIndex(fields.size) ? ChunkFolder(setupFolder_) : L"";
    if (folder.empty())
        return ChunkBuild::Whole;
    const ChunkWork work = WorkOf(folder, fields);
    *sha256 = fields.sha256;
    ChunkNeeds needs;
    const bool indexed = Exists(work.index) && ReadNeeds(work.index, fields, needs);
    if (CopyTwin(job.twins, fields, job.stage) && FlushToDisk(job.stage)) {
        Release(work, needs);
        return ChunkBuild::Built;
    }
    if (!indexed) // none on the host, a refused one, or nothing here to build from
        return ChunkBuild::Whole;
    LocalChunks local(needs);
    FindPrevious(job, local);
    if (!local.Any() && !Exists(work.build)) {
        Trace::Narrow("no chunk of the file is here, fetched whole");
        Release(work, needs);
        return ChunkBuild::Whole;
    }
    std::uint64_t fetched = 0;
    const Assembled assembled = AssembleChunks(job, work, needs, release_, local, fetched);
    // A file cut short keeps what it still needs for the next pass.
    if (assembled == Assembled::Failed)
        return ChunkBuild::Failed;
    Release(work, needs);
    // The chunks, each verified, must still make the pinned file: an index that put them
    // together otherwise wasted its bytes, and the file is fetched whole.
    if (assembled == Assembled::Broken ||
        !MoveFileExW(work.build.c_str(), job.stage.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Trace::Narrow("the chunks do not make the listed file, fetched whole");
        DeleteFileW(work.build.c_str());
        DeleteFileW(work.index.c_str());
        return ChunkBuild::Whole;
    }
    Staged(fields);
    Trace::Narrow("built from chunks: " + std::to_string(fetched) + " of " +
                  std::to_string(fields.size) + " bytes fetched");
    return ChunkBuild::Built;
}
