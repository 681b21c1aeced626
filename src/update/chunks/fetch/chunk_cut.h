#pragma once
// Cutting a local file into chunks as its bytes pass by, each chunk hashed on the way, and
// writing the chunk index that gives: how a previous copy's chunks are found in the read that
// hashes it, and never in a second one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "update/chunks/chunk_plan.h"
#include "update/chunks/chunker.h"
#include "update/trust/sha256.h"

struct CutChunk {
    ChunkKey key;
    ChunkSpan span;
};

// Feeds a stream of any split to the chunker and hashes each chunk it cuts.
class ChunkCut {
  public:
    ChunkCut() { hash_.emplace(); }
    void Feed(const unsigned char* data, std::size_t size);
    // Ends the stream and gives its chunks in file order; false when a hash failed.
    bool Finish(std::vector<CutChunk>& chunks);
    // The bytes fed so far.
    std::uint64_t Bytes() const { return bytes_; }

  private:
    void Cut(std::uint64_t end);
    Chunker chunker_;
    std::optional<Sha256> hash_;
    std::uint64_t start_ = 0, bytes_ = 0;
    std::vector<std::uint64_t> ends_;
    std::vector<CutChunk> chunks_;
    bool failed_ = false;
};

// Writes the index of a file of size bytes hashing to sha256, cut into chunks, at path in the
// host's format (chunk_index.h), through a temporary that replaces path only once whole.
bool WriteChunkIndex(const std::wstring& path, std::uint64_t size, const std::string& sha256,
                     const std::vector<CutChunk>& chunks);
