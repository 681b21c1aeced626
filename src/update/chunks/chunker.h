#pragma once
// Content-defined chunking: where a file is cut so that an edit moves only the cuts next to it.
// A gear hash rolls over the bytes of the chunk being read (normalized chunking, as FastCDC
// does): no cut in a chunk's first `min` bytes, a strict test up to `average`, a loose one after,
// and a forced cut at `max`. The publisher's native helper and the launcher build this one
// source, so both cut a file alike. Pure: no files, no platform.
#include <cstddef>
#include <cstdint>
#include <vector>

// A chunker's three sizes in bytes; average is a power of two, min < average < max.
struct ChunkSizes {
    std::uint64_t min;
    std::uint64_t average;
    std::uint64_t max;
};

// The sizes every site and launcher use (bench/README.md says how they were chosen).
constexpr ChunkSizes kChunkSizes{256 * 1024, 1024 * 1024, 4 * 1024 * 1024};

// Finds chunk ends in a stream fed in buffers of any size; the cuts do not depend on how the
// stream is split, and offsets count from the stream's start in 64 bits.
class Chunker {
  public:
    explicit Chunker(ChunkSizes sizes = kChunkSizes);

    // Appends to ends the stream offset just past each chunk that ends inside these bytes.
    void Feed(const unsigned char* data, std::size_t size, std::vector<std::uint64_t>& ends);
    // Ends the stream: appends its size when bytes after the last cut remain (the last chunk).
    void Finish(std::vector<std::uint64_t>& ends);

  private:
    ChunkSizes sizes_;
    std::uint64_t strict_;     // hash bits that must be zero for a cut before `average`
    std::uint64_t loose_;      // and from `average` on
    std::uint64_t offset_ = 0; // bytes fed so far
    std::uint64_t length_ = 0; // bytes of the chunk being read
    std::uint64_t hash_ = 0;
};
