#pragma once
// Building the stage copy of a big pinned file from chunks: the chunks it needs come from a
// local file that holds the same bytes whole, the previous copy, the stage work of a pass cut
// short, chunks kept from earlier, and only then from the host, each verified by its SHA-256
// before it is written; the built copy stands only with the pinned size and SHA-256. Runs on
// the update worker thread, for signed lists only (every line pinned).
#include <string>
#include <utility>
#include <vector>

#include "update/trust/list_fields.h"

struct ChunkJob {
    std::wstring setupFolder; // the launcher folder, ending in a backslash
    std::wstring base;        // the site's base URL, ending in /: TolvaneChunks/ lies under it
    std::wstring fileUrl;     // the whole file's URL, named in the error-log line
    std::wstring previous;    // the file's copy in the folder now, which differs (or none)
    // Local files (path, stat-cache name) that may hold the pinned bytes whole: a file moved.
    std::vector<std::pair<std::wstring, std::string>> twins;
    std::wstring stage; // where the verified copy goes, replacing what lies there
    ListFields fields;  // the pinned size and SHA-256
};

enum class ChunkBuild {
    Built,  // the stage copy is in place, verified and flushed
    Whole,  // no chunk data for this file (too small, no index, a refused one): fetch it whole
    Failed, // a chunk could not be had or written: one error-log line named the file
};

// Builds the stage copy, reporting the file's progress as one download does (5 reports), and
// gives its hash in *sha256 when Built. Chunks and stage work stay in update\chunks\ until
// ClearChunkWork, so that a pass cut short is resumed where it stopped.
ChunkBuild BuildFromChunks(const ChunkJob& job, std::string* sha256);
