#pragma once
// The chunk data a launcher folder holds already, for a file built from chunks.
#include <string>
#include <utility>
#include <vector>

#include "update/chunks/chunk_plan.h"
#include "update/trust/list_fields.h"

// Cuts the file at path with the chunker, hashing each chunk as it is read, and notes in
// local where it holds the chunks the new file needs. A file that cannot be read gives none.
void FindLocalChunks(const std::wstring& path, LocalChunks& local);

// Copies the first of the twins (path, stat-cache name) that holds the pinned bytes to copy,
// verified as copied; false, with no file under copy, when none does.
bool CopyTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
              const ListFields& fields, const std::wstring& copy);

// True when bytes hash to sha256 (64 lowercase hex).
bool ChunkMatches(const std::string& bytes, const std::string& sha256);
