#pragma once
// What the launcher decides about a big pinned file before and while it builds the file from
// chunks: whether to ask for its index at all, how much of an index it reads, which chunks the
// file needs and how often (so a chunk used twice is fetched once and kept until its last use),
// where the previous copy holds them, what the file's progress reports say, and the room
// staging needs beside the stage copies. Pure: no files, no platform.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "update/chunks/chunker.h"

// Whether a pinned file of this size may have an index on the host: the publisher chunks only
// files larger than the chunker's largest chunk, so a smaller one is fetched whole unasked.
bool WantsChunkIndex(std::uint64_t size, ChunkSizes sizes = kChunkSizes);

// The most bytes an index of a file of this size may hold: a header and as many chunk lines as
// the smallest chunks give, each at the longest line. A longer index is cut off as it arrives.
std::uint64_t ChunkIndexLimit(std::uint64_t size, ChunkSizes sizes = kChunkSizes);

// A chunk's SHA-256 as 32 bytes, so that the chunks of a 4 GiB file weigh kilobytes.
using ChunkKey = std::array<unsigned char, 32>;
// The key of 64 lowercase hex digits; false for anything else.
bool ChunkKeyFromHex(const std::string& hex, ChunkKey& key);

// The chunks one file (or every big file of a release) needs, with how often it uses each and
// how long each is.
class ChunkNeeds {
  public:
    // Counts one more use of key, a chunk of length bytes; call Seal once every use is added.
    void Add(const ChunkKey& key, std::uint64_t length = 0);
    void Seal();
    // The uses of key not yet taken (0 for a chunk the file does not need).
    std::uint32_t Uses(const ChunkKey& key) const;
    // Takes one use of key; the uses left after it.
    std::uint32_t Take(const ChunkKey& key);
    // Takes from these needs every use that other has not taken yet (a file that is done, or
    // fetched whole), and appends the keys whose last use that was to gone.
    void TakeLeft(const ChunkNeeds& other, std::vector<ChunkKey>& gone);
    // How many different chunks are needed.
    std::size_t Distinct() const { return counts_.size(); }
    // The bytes of the different chunks used more than once: what may be kept between uses.
    std::uint64_t ReusedBytes() const;

  private:
    struct Need {
        ChunkKey key;
        std::uint32_t uses;
        std::uint32_t length; // no chunk is longer than 4 GiB (kChunkSizes.max is far less)
    };
    std::vector<Need> counts_; // sorted by key once sealed
};

// Where a chunk lies in a local file, once its bytes there were hashed.
struct ChunkSpan {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The chunks of a local file (the previous copy) that the new file needs, by key: only those
// are kept, each at its first place.
class LocalChunks {
  public:
    explicit LocalChunks(const ChunkNeeds& needs) : needs_(&needs) {}
    // A chunk of the local file, cut by the chunker and hashed as it was read.
    void Found(const ChunkKey& key, ChunkSpan span);
    void Seal();
    // The place of key in the local file; false when the file does not hold it.
    bool Find(const ChunkKey& key, ChunkSpan& span) const;
    // Whether the local file holds any chunk the new file needs.
    bool Any() const { return !spans_.empty(); }
    const ChunkNeeds& Needs() const { return *needs_; }

  private:
    const ChunkNeeds* needs_;
    std::vector<std::pair<ChunkKey, ChunkSpan>> spans_;
};

// Where the bytes of one chunk come from, in the order they are tried; each is verified by the
// chunk's SHA-256 before it is used, and a source that fails it gives way to the next.
enum class ChunkSource {
    Built,   // the stage work of an earlier pass already holds it at its place
    Local,   // the previous copy holds it
    Kept,    // a chunk fetched earlier (in this pass or a cut one) is kept in the update folder
    Fetched, // the host's copy, fetched now
};
// The sources to try for a chunk at offset..offset+length, given how far the earlier stage
// work reaches, whether the previous copy holds it and whether it is kept.
std::vector<ChunkSource> ChunkSources(std::uint64_t offset, std::uint64_t length,
                                      std::uint64_t builtBytes, bool local, bool kept);

// The 5 progress reports of one file built from chunks, as one download of it gives: which
// report is due once done of total bytes are in place (1 to 5; 0 before the first), and the
// pair (progress, maximum) it gives in 32 bits, scaled down alike for a file past 4 GiB.
int ProgressReportDue(std::uint64_t done, std::uint64_t total);
std::pair<std::uint32_t, std::uint32_t> ProgressFigures(std::uint64_t done, std::uint64_t total);

// The room chunk work needs beyond the stage copies, counted from the indexes a release's big
// files have (release: every chunk use of every big file that may be built from chunks): the
// chunks kept between their uses (fetched once, kept until the last file that needs them is
// built), one chunk on its way, and the indexes still to fetch (indexBytes, at their limits).
// The stage copies themselves are counted by the caller.
std::uint64_t ChunkRoom(const ChunkNeeds& release, std::uint64_t indexBytes,
                        ChunkSizes chunkSizes = kChunkSizes);
