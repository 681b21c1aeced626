#include "update/chunks/chunker.h"

#include <algorithm>
#include <array>

namespace {

// 256 fixed pseudo-random words (splitmix64 from a fixed seed): changing one moves every cut,
// so a new table is a new chunk format.
constexpr std::array<std::uint64_t, 256> MakeGear() {
    std::array<std::uint64_t, 256> gear{};
    std::uint64_t state = 0x746f6c76616e6531ull;
    for (auto& word : gear) {
        state += 0x9e3779b97f4a7c15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        word = z ^ (z >> 31);
    }
    return gear;
}
constexpr std::array<std::uint64_t, 256> kGear = MakeGear();

int Log2(std::uint64_t value) {
    int bits = 0;
    while (value > 1) {
        value >>= 1;
        ++bits;
    }
    return bits;
}

// The top `bits` bits: in a hash shifted left once per byte they depend on the last 64 bytes.
std::uint64_t TopBits(int bits) {
    return bits <= 0 ? 0 : ~0ull << (64 - std::min(bits, 63));
}

} // namespace

Chunker::Chunker(ChunkSizes sizes)
    : sizes_(sizes), strict_(TopBits(Log2(sizes.average) + 2)),
      loose_(TopBits(Log2(sizes.average) - 2)) {}

void Chunker::Feed(const unsigned char* data, std::size_t size, std::vector<std::uint64_t>& ends) {
    std::size_t at = 0;
    while (at < size) {
        if (length_ < sizes_.min) { // no cut can fall here: pass over it unhashed
            const std::uint64_t skip = std::min<std::uint64_t>(sizes_.min - length_, size - at);
            at += skip;
            length_ += skip;
            continue;
        }
        const bool early = length_ < sizes_.average;
        const std::uint64_t mask = early ? strict_ : loose_;
        const std::uint64_t stop = early ? sizes_.average : sizes_.max;
        const std::size_t count = std::min<std::uint64_t>(stop - length_, size - at);
        std::uint64_t hash = hash_;
        bool cut = false;
        std::size_t taken = 0;
        while (taken < count) {
            hash = (hash << 1) + kGear[data[at + taken++]];
            if ((hash & mask) == 0) {
                cut = true;
                break;
            }
        }
        at += taken;
        length_ += taken;
        hash_ = hash;
        if (cut || length_ == sizes_.max) {
            ends.push_back(offset_ + at);
            length_ = 0;
            hash_ = 0;
        }
    }
    offset_ += size;
}

void Chunker::Finish(std::vector<std::uint64_t>& ends) {
    if (length_ > 0)
        ends.push_back(offset_);
    length_ = 0;
    hash_ = 0;
}
