#include "update/chunks/chunk_plan.h"

#include <algorithm>
#include <limits>

#include "update/chunks/chunk_index.h"

namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

bool WantsChunkIndex(std::uint64_t size, ChunkSizes sizes) {
    return size > sizes.max;
}

std::uint64_t ChunkIndexLimit(std::uint64_t size, ChunkSizes sizes) {
    const std::uint64_t lines = size / sizes.min + 2;
    return lines > kMost / kChunkIndexLineMax ? kMost : lines * kChunkIndexLineMax;
}

bool ChunkKeyFromHex(const std::string& hex, ChunkKey& key) {
    if (hex.size() != 2 * key.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        key[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

void ChunkNeeds::Add(const ChunkKey& key, std::uint64_t length) {
    counts_.push_back({key, 1, static_cast<std::uint32_t>(length)});
}

void ChunkNeeds::Seal() {
    std::sort(counts_.begin(), counts_.end(),
              [](const Need& a, const Need& b) { return a.key < b.key; });
    std::vector<Need> merged;
    for (const Need& need : counts_)
        if (!merged.empty() && merged.back().key == need.key)
            merged.back().uses += need.uses;
        else
            merged.push_back(need);
    merged.shrink_to_fit();
    counts_.swap(merged);
}

namespace {

template <typename Needs> auto FindNeed(Needs& counts, const ChunkKey& key) {
    const auto at =
        std::lower_bound(counts.begin(), counts.end(), key,
                         [](const auto& need, const ChunkKey& k) { return need.key < k; });
    return at != counts.end() && at->key == key ? at : counts.end();
}

} // namespace

std::uint32_t ChunkNeeds::Uses(const ChunkKey& key) const {
    const auto at = FindNeed(counts_, key);
    return at == counts_.end() ? 0 : at->uses;
}

std::uint32_t ChunkNeeds::Take(const ChunkKey& key) {
    const auto at = FindNeed(counts_, key);
    if (at == counts_.end() || at->uses == 0)
        return 0;
    return --at->uses;
}

void ChunkNeeds::TakeLeft(const ChunkNeeds& other, std::vector<ChunkKey>& gone) {
    for (const Need& left : other.counts_) {
        const auto at = FindNeed(counts_, left.key);
        if (at == counts_.end() || at->uses == 0 || left.uses == 0)
            continue;
        at->uses -= std::min(at->uses, left.uses);
        if (at->uses == 0)
            gone.push_back(left.key);
    }
}

std::uint64_t ChunkNeeds::ReusedBytes() const {
    std::uint64_t bytes = 0;
    for (const Need& need : counts_)
        if (need.uses > 1)
            bytes += need.length;
    return bytes;
}

void LocalChunks::Found(const ChunkKey& key, ChunkSpan span) {
    if (needs_->Uses(key) > 0)
        spans_.emplace_back(key, span);
}

void LocalChunks::Seal() {
    // The first place of each chunk: a stable sort keeps the order they were found in.
    std::stable_sort(spans_.begin(), spans_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    spans_.erase(std::unique(spans_.begin(), spans_.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 spans_.end());
    spans_.shrink_to_fit();
}

bool LocalChunks::Find(const ChunkKey& key, ChunkSpan& span) const {
    const auto at = std::lower_bound(
        spans_.begin(), spans_.end(), key,
        [](const std::pair<ChunkKey, ChunkSpan>& a, const ChunkKey& k) { return a.first < k; });
    if (at == spans_.end() || at->first != key)
        return false;
    span = at->second;
    return true;
}

std::vector<ChunkSource> ChunkSources(std::uint64_t offset, std::uint64_t length,
                                      std::uint64_t builtBytes, bool local, bool kept) {
    std::vector<ChunkSource> sources;
    if (length <= builtBytes && offset <= builtBytes - length)
        sources.push_back(ChunkSource::Built);
    if (local)
        sources.push_back(ChunkSource::Local);
    if (kept)
        sources.push_back(ChunkSource::Kept);
    sources.push_back(ChunkSource::Fetched);
    return sources;
}

int ProgressReportDue(std::uint64_t done, std::uint64_t total) {
    if (done >= total)
        return 5;
    return static_cast<int>(static_cast<unsigned __int128>(done) * 5 / total);
}

std::pair<std::uint32_t, std::uint32_t> ProgressFigures(std::uint64_t done, std::uint64_t total) {
    int shift = 0;
    while ((total >> shift) > std::numeric_limits<std::uint32_t>::max())
        ++shift;
    return {static_cast<std::uint32_t>(std::min(done, total) >> shift),
            static_cast<std::uint32_t>(total >> shift)};
}

std::uint64_t ChunkRoom(const ChunkNeeds& release, std::uint64_t indexBytes,
                        ChunkSizes chunkSizes) {
    // A chunk is fetched under a temporary name and kept only while a later use is left, so
    // beside the chunks used twice or more at most one more lies on the disk at a time.
    const std::uint64_t kept = release.ReusedBytes() + (release.Distinct() ? chunkSizes.max : 0);
    return kept > ~indexBytes ? ~std::uint64_t{0} : kept + indexBytes;
}
