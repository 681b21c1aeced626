#pragma once
// The chunk data a launcher folder holds already, for a file built from chunks.
#include <string>
#include <utility>
#include <vector>

#include "update/chunks/chunk_plan.h"
#include "update/trust/list_fields.h"

// Cuts the file at path with the chunker, hashing each chunk as it is read, and notes in
// local where it holds the chunks the new file needs, with the trace line "hashing " + path +
// " to cut it".
// A file that cannot be read gives none.
void FindLocalChunks(const std::wstring& path, LocalChunks& local);

// Notes in local where a file of size bytes hashing to sha256 holds the chunks the new file
// needs, as the index at path says; false (with what it read noted) when the index is missing
// or refused for that file.
bool FindIndexedChunks(const std::wstring& index, std::uint64_t size, const std::string& sha256,
                       LocalChunks& local);

// PinnedCopyPresent for a list line; for a big file that it hashes (the cache not vouching for
// it), the same read cuts it into chunks and keeps its index (LocalIndexPath under *found), so
// that a copy which differs is never read twice in a pass. *found as PinnedCopyPresent gives.
bool CopyPresentOrCut(const std::wstring& setupFolder, const std::wstring& target,
                      const std::string& relativePath, const ListFields& fields,
                      std::string* found);

// Whether one of the twins (path, stat-cache name) holds the pinned bytes.
bool HasTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
             const ListFields& fields);
// Copies the first of the twins (path, stat-cache name) that holds the pinned bytes to copy,
// verified as copied; false, with no file under copy, when none does.
bool CopyTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
              const ListFields& fields, const std::wstring& copy);

// True when bytes hash to sha256 (64 lowercase hex).
bool ChunkMatches(const std::string& bytes, const std::string& sha256);
