#pragma once
// A chunk index: how one file of a release is cut into chunks, read line by line so that a big
// file's index is never held whole. The host stores it unsigned under the file's pinned SHA-256,
// so nothing in it is trusted: it must describe exactly the pinned file, in chunks no longer
// than the chunker makes, each covering the next bytes, so that fetching all it names costs at
// most the file's size.
//
//   tolvane-chunk-index 1 size=<bytes> sha256=<64 hex> chunks=<count>
//   <offset> <length> <sha256 of the chunk, 64 hex>      (one line per chunk, in file order)
//
// ASCII, a line feed after every line, numbers in decimal without leading zeros.
#include <cstdint>
#include <string>

#include "update/chunks/chunker.h"

// One chunk of a file: its bytes [offset, offset + length) hash to sha256 (64 lowercase hex).
struct ChunkEntry {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string sha256;
};

// The longest line an index holds (a reader may stop reading a line past it).
constexpr std::size_t kChunkIndexLineMax = 160;

// Reads one index, for a file pinned to size and sha256 (from the signed list).
class ChunkIndexReader {
  public:
    ChunkIndexReader(std::uint64_t size, std::string sha256, ChunkSizes sizes = kChunkSizes);

    // Takes the next line, without its line end. The first is the header; each later one fills
    // entry. False at the first line that breaks the rules above, with Error() saying why, and
    // false for every line after it.
    bool Take(const std::string& line, ChunkEntry& entry);
    // True when the header and every chunk it promised were read and they cover the file.
    bool Finish();
    // Why the index was refused: "chunk index line N: ..."; empty while it is not.
    const std::string& Error() const { return error_; }
    // The chunk count the header promises (0 before it is read).
    std::uint64_t Count() const { return count_; }

  private:
    bool Refuse(const std::string& why);
    bool TakeHeader(const std::string& line);

    std::uint64_t size_;
    std::string sha256_;
    ChunkSizes sizes_;
    std::uint64_t lines_ = 0; // lines taken, the header included
    std::uint64_t count_ = 0;
    std::uint64_t next_ = 0; // offset the next chunk must start at
    std::string error_;
};
