#pragma once
// Staging a release: every file whose local copy differs is fetched, verified and flushed to
// the disk in the stage area (update\stage\, under its relative path) before anything in the
// folder changes. Verified stage copies are kept across passes, so a retry fetches only what is
// still missing.
#include <string>

#include "update/chunks/fetch/release_chunks.h"
#include "update/install/release.h"

// Whether the folder's copy of a list line's file (at target) has the pinned size and hash,
// as PinnedCopyPresent tells, with the copy's hash in *found when known; a big file hashed now
// is cut into chunks in the same read (see CopyPresentOrCut), so staging never reads it again.
bool PinnedCopyInPlace(const std::wstring& setupFolder, const std::wstring& target,
                       const std::string& relativePath, const ListFields& fields,
                       std::string* found);

// Marks the files whose stage copy already has the listed size and hash as staged (and
// reused), and deletes the stage copies of earlier releases that this one does not name, with
// those that earlier launchers left beside their targets (named in update\staged).
void FindStagedCopies(const std::wstring& setupFolder, Release& release);

// Reads the chunk index of every big file not yet staged that may be built from chunks, so
// that the release's chunk uses are known before any file is built (see ReleaseChunks). Only
// indexes are fetched here, each at most a small share of its file's size.
ReleaseChunks PrepareChunks(const std::wstring& setupFolder, const Release& release);

// The bytes staging still writes: the listed bytes of the files not yet staged, less the stage
// work an earlier pass left, and the chunk work beside them (chunks kept between their uses, one
// on its way, indexes still to fetch; see ChunkRoom).
std::uint64_t BytesToStage(const Release& release, const ReleaseChunks& chunks);

// Fetches, verifies and flushes every file not yet staged into the stage area (a big file built
// from chunks where the host has them, see ReleaseChunks::Build), and records it in the stat
// cache once it is on the disk. Each file that fails gets one error-log line naming its URL and
// the reason. True when every file of the release is staged.
bool StageRelease(const std::wstring& setupFolder, Release& release, ReleaseChunks& chunks);

// Forgets the record earlier launchers kept of their stage copies, once a commit is done.
void ForgetStagedFiles(const std::wstring& setupFolder);

// Deletes the chunk work kept in update\chunks\ for a resumed pass, once the release it served
// is in place.
void ForgetChunkWork(const std::wstring& setupFolder);
// Once a release is installed: keeps the chunk indexes of its big files only (those of
// previous copies and of files no longer listed go).
void KeepIndexesOf(const std::wstring& setupFolder, const Release& release);
