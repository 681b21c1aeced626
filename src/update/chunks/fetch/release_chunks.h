#pragma once
// The chunk work of one release: every big file's index is read before any is built, so that
// the pass knows how often the release uses each chunk. A chunk fetched for one file is kept in
// update\chunks\ until the last file of the release that needs it is built, so it is fetched
// once per pass; the room check counts what that keeps. Runs on the update worker thread, for
// signed lists only (every line pinned).
#include <cstdint>
#include <string>

#include "update/chunks/chunk_plan.h"
#include "update/chunks/fetch/chunk_assembly.h"

class ReleaseChunks {
  public:
    explicit ReleaseChunks(std::wstring setupFolder) : setupFolder_(std::move(setupFolder)) {}

    // For a big file that may be built from chunks (its previous copy or earlier stage work is
    // there, and no other file of the folder holds its bytes whole), fetches its index unless
    // an earlier pass kept it and counts its chunk uses. A 404 there is silent; an index that
    // breaks the rules gets one warning line, and the file is fetched whole.
    void Prepare(const ChunkJob& job);
    // Ends Prepare: every file of the release that may be built from chunks is counted.
    void Seal() { release_.Seal(); }

    // The room the chunk work needs beyond the stage copies (see ChunkRoom), and the bytes of
    // stage work an earlier pass left, which the stage copies need no more room for.
    std::uint64_t Room() const { return ChunkRoom(release_, indexBytes_); }
    std::uint64_t BuiltBefore() const { return builtBefore_; }

    // Builds the stage copy from the other files of the folder, the previous copy, earlier
    // stage work, kept chunks and the host's chunks, each verified by its SHA-256; the copy
    // stands only with the pinned size and SHA-256, and its hash is given in *sha256 when Built.
    // Chunks and stage work stay in update\chunks\ until ClearChunkWork, so that a pass cut
    // short is resumed where it stopped.
    ChunkBuild Build(const ChunkJob& job, std::string* sha256);
    // Keeps the index of a big file staged whole (verified as a whole download) for the passes
    // to come, as Build keeps that of a file it builds.
    void Staged(const ListFields& fields);

  private:
    // Where the previous copy holds the chunks the file needs: by its kept index, else by the
    // host's index of its hash, else by cutting it.
    void FindPrevious(const ChunkJob& job, LocalChunks& local);
    // Takes the uses the file left off the release's, dropping kept chunks no file needs now.
    void Release(const ChunkWork& work, const ChunkNeeds& needs);

    std::wstring setupFolder_;
    ChunkNeeds release_;
    std::uint64_t indexBytes_ = 0, builtBefore_ = 0;
};
