#pragma once
// Building the stage copy of a big pinned file from chunks: the chunks it needs come from a
// local file that holds the same bytes whole, the previous copy, the stage work of a pass cut
// short, chunks kept from earlier, and only then from the host, each verified by its SHA-256
// before it is written; the built copy stands only with the pinned size and SHA-256. Runs on
// the update worker thread, for signed lists only (every line pinned).
#include <string>
#include <utility>
#include <vector>

#include "update/chunks/chunk_plan.h"
#include "update/trust/list_fields.h"

struct ChunkJob {
    std::wstring setupFolder;   // the launcher folder, ending in a backslash
    std::wstring base;          // the site's base URL, ending in /: TolvaneChunks/ lies under it
    std::wstring fileUrl;       // the whole file's URL, named in the error-log line
    std::wstring previous;      // the file's copy in the folder now, which differs (or none)
    std::string previousSha256; // its SHA-256 when the stat cache or its hashing told it
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

// Where one file's chunk work lies in update\chunks\ (folder): its index and its build.
struct ChunkWork {
    std::wstring folder, index, build;
};
ChunkWork WorkOf(const std::wstring& folder, const ListFields& fields);

enum class Assembled {
    Whole,  // the build holds the pinned bytes, flushed
    Broken, // every chunk was verified, yet they do not make the pinned file
    Failed, // a chunk could not be had or written: one error-log line named the file
};
// Puts every chunk the index names in place in the build, in file order, each from the first
// source that gives it verified, reporting the file's progress as one download does (5
// reports), and ends the build at the pinned size on the disk. Each use is taken off the file's
// needs and the release's; a kept chunk goes with its last use in the release. fetched gets
// the bytes fetched.
Assembled AssembleChunks(const ChunkJob& job, const ChunkWork& work, ChunkNeeds& needs,
                         ChunkNeeds& release, const LocalChunks& local, std::uint64_t& fetched);
