#pragma once
// Files whose list line pins their content (size= and sha256=): whether the local copy is the
// listed one, with the stat cache in update\ sparing the hashing of unchanged files, and the
// record of each verified download. Runs on the update worker thread, one pass at a time.
#include <cstdint>
#include <string>

#include "update/trust/hashed_file.h"
#include "update/trust/list_fields.h"

// Loads the stat cache of the folder (ending in a backslash) for a pass. A repair pass starts
// with none, so every listed file is hashed again.
void BeginContentChecks(const std::wstring& setupFolder, bool repair);

// True when the file at target (the line's relativePath) has the listed size and hash. Hashes
// the file only when the stat cache has no hash for its current size and time, with the trace
// line "hashing " + relativePath. *found (when not null) gets the copy's SHA-256 when the cache
// or the hashing told it (empty otherwise: missing, another size, unreadable), and also (when
// set) sees the bytes as they are hashed, so that a caller cuts them in the same read.
bool PinnedCopyPresent(const std::wstring& target, const std::string& relativePath,
                       const ListFields& fields, std::string* found = nullptr,
                       const ByteSink& also = nullptr);

// True when a file just downloaded (still under its temporary name) has the listed size and
// hash; *sha256 (when not null) then holds the hash.
bool DownloadedCopyMatches(const std::wstring& file, const ListFields& fields, std::string* sha256);

// Records the hash of a file just downloaded and verified, under its current size and time.
// The cache vouches for it only once its data is on the disk: with onDisk its data was flushed
// already; otherwise it is flushed before the cache is written.
void RecordVerifiedFile(const std::wstring& target, const std::string& relativePath,
                        const std::string& sha256, bool onDisk = false);

// Writes the stat cache back when the pass used it, once the files recorded since the pass
// began are flushed (one that cannot be is left out). After a pass that handled every line it
// holds only the files that pass looked at; after one that stopped early nothing is dropped.
void EndContentChecks(bool everyLineHandled);
