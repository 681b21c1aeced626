#pragma once
// Staging a release: every file whose local copy differs is fetched, verified and flushed to
// the disk in the stage area (update\stage\, under its relative path) before anything in the
// folder changes. Verified stage copies are kept across passes, so a retry fetches only what is
// still missing.
#include <string>

#include "update/install/release.h"

// Marks the files whose stage copy already has the listed size and hash as staged (and
// reused), and deletes the stage copies of earlier releases that this one does not name, with
// those that earlier launchers left beside their targets (named in update\staged).
void FindStagedCopies(const std::wstring& setupFolder, Release& release);

// The bytes staging writes: the listed bytes of the files not yet staged, and the chunks kept
// while a big one is built (see ChunkRoom).
std::uint64_t BytesToStage(const Release& release);

// Fetches, verifies and flushes every file not yet staged into the stage area (a big file built
// from chunks where the host has them, see BuildFromChunks), and records it
// in the stat cache once it is on the disk. Each file that fails gets one error-log line naming
// its URL and the reason. True when every file of the release is staged.
bool StageRelease(const std::wstring& setupFolder, Release& release);

// Forgets the record earlier launchers kept of their stage copies, once a commit is done.
void ForgetStagedFiles(const std::wstring& setupFolder);

// Deletes the chunk work kept in update\chunks\ for a resumed pass, once the release it served
// is in place.
void ForgetChunkWork(const std::wstring& setupFolder);
