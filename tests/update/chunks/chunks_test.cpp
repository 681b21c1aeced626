#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>

#include <filesystem>

#include "update/chunks/chunks.h"
#include "update/chunks/fetch/chunk_cut.h"
#include "update/chunks/fetch/chunk_files.h"
#include "update/trust/sha256.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Ends = std::vector<std::uint64_t>;

Bytes Random(std::size_t size, unsigned seed) {
    std::mt19937_64 random(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

// The chunk ends of bytes fed at once.
Ends Cut(const Bytes& bytes) {
    Chunker chunker;
    Ends ends;
    chunker.Feed(bytes.data(), bytes.size(), ends);
    chunker.Finish(ends);
    return ends;
}

void ExpectSizesKept(const Ends& ends, std::uint64_t total) {
    ASSERT_FALSE(ends.empty());
    EXPECT_EQ(ends.back(), total);
    std::uint64_t start = 0;
    for (std::uint64_t end : ends) {
        ASSERT_GT(end, start);
        EXPECT_LE(end - start, kChunkSizes.max);
        if (end != total) {
            EXPECT_GE(end - start, kChunkSizes.min) << "at " << start;
        }
        start = end;
    }
}

const std::uint64_t MiB = 1024 * 1024;

TEST(Chunker, CutsDependOnTheBytesAloneAndKeepTheSizeLimits) {
    const Bytes random = Random(24 * MiB, 1);
    const Ends whole = Cut(random);
    ExpectSizesKept(whole, random.size());
    // About the average: a content-defined cut, not one forced at `max`, ends most chunks.
    EXPECT_GT(whole.size(), 12u);
    EXPECT_LT(whole.size(), 48u);
    // However the stream is split, the cuts are the same: the ChunkCut rows feed it in pieces.

    // (bytes, the chunk ends expected)
    const Bytes zeros(9 * MiB + 5, 0);
    struct Case {
        const char* what;
        Bytes bytes;
        Ends ends;
    } cases[] = {
        {"empty", {}, {}},
        {"one byte", {7}, {1}},
        {"shorter than min", Bytes(kChunkSizes.min - 1, 1), {kChunkSizes.min - 1}},
        {"min and one", Random(kChunkSizes.min + 1, 2), {kChunkSizes.min + 1}},
        // No content cut in bytes that never change the hash's top bits: forced at max.
        {"zeros", zeros, {4 * MiB, 8 * MiB, 9 * MiB + 5}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cut(c.bytes), c.ends) << c.what;

    // A synthetic stream of 4.25 GiB: the same random mebibyte again and again.
    const Bytes block = Random(MiB, 7);
    const std::uint64_t blocks = 4 * 1024 + 256;
    Chunker chunker;
    Ends ends;
    for (std::uint64_t i = 0; i < blocks; ++i)
        chunker.Feed(block.data(), block.size(), ends);
    chunker.Finish(ends);
    ExpectSizesKept(ends, blocks * MiB);
    EXPECT_GT(ends.back(), std::uint64_t{1} << 32);
}

TEST(Chunker, AnEditMovesOnlyTheCutsNextToIt) {
    const Bytes original = Random(32 * MiB, 3);
    const Ends before = Cut(original);
    // (what, where, bytes removed there, bytes put there, cuts after them that may move)
    struct Edit {
        const char* what;
        std::size_t at;
        std::size_t removed;
        Bytes added;
        std::size_t moves;
    } edits[] = {
        {"one byte inserted", 5 * MiB, 0, {42}, 2},
        {"4 KiB inserted", 9 * MiB + 12345, 0, Random(4096, 4), 2},
        {"100 bytes removed", 17 * MiB, 100, {}, 2},
        {"at the very start", 0, 0, Random(10, 6), 2},
        // New bytes longer than a chunk may end in a chunk of their own before it meets the old.
        {"1 MiB overwritten", 3 * MiB, MiB, Random(MiB, 5), 3},
    };
    for (const Edit& e : edits) {
        Bytes edited(original.begin(), original.begin() + e.at);
        edited.insert(edited.end(), e.added.begin(), e.added.end());
        edited.insert(edited.end(), original.begin() + e.at + e.removed, original.end());
        const Ends after = Cut(edited);
        const std::int64_t shift = std::int64_t(e.added.size()) - std::int64_t(e.removed);
        // Cuts before the edit stay; after the edited bytes, all but the first few are the old
        // ones, shifted.
        std::size_t moved = 0;
        for (std::uint64_t end : after) {
            if (end <= e.at)
                EXPECT_TRUE(std::count(before.begin(), before.end(), end)) << e.what;
            else if (end > e.at + e.added.size() &&
                     !std::count(before.begin(), before.end(), end - shift))
                ++moved;
        }
        EXPECT_LE(moved, e.moves) << e.what;
    }
}

const std::string H(64, 'a'), G(64, 'b');
const std::uint64_t Min = kChunkSizes.min, Max = kChunkSizes.max;

// A header whose fields are written as given.
std::string Raw(const std::string& version, const std::string& size, const std::string& count,
                const std::string& sha = H) {
    return "tolvane-chunk-index " + version + " size=" + size + " sha256=" + sha +
           " chunks=" + count;
}
std::string Header(std::uint64_t size, std::uint64_t count, const std::string& sha = H) {
    return Raw("1", std::to_string(size), std::to_string(count), sha);
}
std::string Line(std::uint64_t offset, std::uint64_t length, const std::string& sha = G) {
    return std::to_string(offset) + " " + std::to_string(length) + " " + sha;
}
// The lines of a file of `count` chunks of `length` bytes and one of `rest`.
std::vector<std::string> Even(std::uint64_t count, std::uint64_t length, std::uint64_t rest) {
    std::vector<std::string> lines{Header(count * length + rest, count + (rest != 0))};
    for (std::uint64_t i = 0; i < count; ++i)
        lines.push_back(Line(i * length, length));
    if (rest)
        lines.push_back(Line(count * length, rest));
    return lines;
}

TEST(ChunkIndex, OnlyAnIndexOfExactlyThePinnedFileIsTaken) {
    const std::uint64_t five = 5ull << 30; // past 4 GiB: 1280 chunks of 4 MiB
    // (what, lines, the size pinned by the list, a fragment of the refusal or "" when taken)
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::uint64_t size;
        const char* refusal;
    } cases[] = {
        {"one chunk", {Header(100, 1), Line(0, 100)}, 100, ""},
        {"empty file", {Header(0, 0)}, 0, ""},
        {"past 4 GiB", Even(1280, Max, 0), five, ""},
        {"min-sized chunks and a short last", Even(3, Min, 1), 3 * Min + 1, ""},
        {"no header", {}, 100, "line 0: no header"},
        {"another format", {Raw("2", "100", "1")}, 100, "line 1: not a chunk index header"},
        {"a field more", {Header(100, 1) + " x=1", Line(0, 100)}, 100, "header"},
        {"a leading zero", {Raw("1", "0100", "1")}, 100, "header"},
        {"upper-case hash", {Header(100, 1, std::string(64, 'A'))}, 100, "header"},
        {"a carriage return", {Header(100, 1) + "\r"}, 100, "header"},
        {"a count past 2^64", {Raw("1", "100", "99999999999999999999")}, 100, "header"},
        {"another size", {Header(101, 1), Line(0, 101)}, 100, "another file"},
        {"another hash", {Header(100, 1, G), Line(0, 100)}, 100, "another file"},
        {"a huge count", {Header(five, 1ull << 40)}, five, "promises 1099511627776 chunks"},
        {"too few to cover it", {Header(five, 1279)}, five, "promises 1279"},
        {"chunks for an empty file", {Header(0, 1), Line(0, 1)}, 0, "promises 1"},
        {"a gap",
         {Header(2 * Min, 2), Line(0, Min), Line(Min + 1, Min - 1)},
         2 * Min,
         "line 3: starts at 262145 where the chunk before it ends at 262144"},
        {"an overlap",
         {Header(2 * Min, 2), Line(0, Min), Line(Min - 1, Min + 1)},
         2 * Min,
         "line 3: starts at 262143"},
        {"past max", {Header(Max + 1, 2), Line(0, Max + 1)}, Max + 1, "a length of 4194305"},
        {"past the file", {Header(100, 1), Line(0, 101)}, 100, "a length of 101"},
        {"zero length", {Header(100, 1), Line(0, 0)}, 100, "a length of 0"},
        {"short inside",
         {Header(Min + 10, 2), Line(0, 10), Line(10, Min)},
         Min + 10,
         "a chunk of 10 bytes that does not end the file"},
        {"more than promised",
         {Header(2 * Min, 2), Line(0, Min), Line(Min, Min), Line(0, 1)},
         2 * Min,
         "line 4: more chunks"},
        {"fewer than promised", {Header(Max + 1, 2), Line(0, Max)}, Max + 1, "ends after 1 of 2"},
        {"a bad chunk hash", {Header(100, 1), Line(0, 100, "xyz")}, 100, "not a chunk line"},
        {"two blanks", {Header(100, 1), "0  100 " + G}, 100, "not a chunk line"},
        {"a field more in a chunk", {Header(100, 1), Line(0, 100) + " 1"}, 100, "not a chunk"},
        {"a long line", {Header(100, 1), Line(0, 100) + std::string(200, ' ')}, 100, "longer"},
    };
    for (const Case& c : cases) {
        ChunkIndexReader reader(c.size, H);
        ChunkEntry entry;
        std::uint64_t next = 0;
        bool taken = true;
        for (std::size_t i = 0; i < c.lines.size() && taken; ++i) {
            taken = reader.Take(c.lines[i], entry);
            if (taken && i > 0) { // each chunk as the line says, in file order
                EXPECT_EQ(entry.offset, next) << c.what;
                next += entry.length;
            }
        }
        taken = taken && reader.Finish();
        EXPECT_EQ(taken, *c.refusal == '\0') << c.what << ": " << reader.Error();
        EXPECT_NE(reader.Error().find(c.refusal), std::string::npos)
            << c.what << ": " << reader.Error();
        if (!taken) {
            EXPECT_FALSE(reader.Take(Line(0, 1), entry)) << "refused for good: " << c.what;
        }
    }
}

ChunkKey Key(unsigned char first) {
    ChunkKey key{};
    key[0] = first;
    return key;
}

TEST(ChunkPlan, WhatAFileAsksForAndWhereItsChunksComeFrom) {
    const std::uint64_t five = 5ull << 30;
    // An index as long as any index of the file may be: the smallest chunks, the longest lines.
    struct Limit {
        std::uint64_t size;
        bool asked;
    } limits[] = {{0, false}, {Max, false}, {Max + 1, true}, {five, true}, {~0ull, true}};
    for (const Limit& l : limits) {
        EXPECT_EQ(WantsChunkIndex(l.size), l.asked) << l.size;
        const std::uint64_t lines = l.size / Min + (l.size % Min != 0) + 1;
        if (l.size >= five * 1024)
            continue;
        EXPECT_GE(ChunkIndexLimit(l.size), lines * kChunkIndexLineMax) << l.size;
        // A hostile index costs at most a small share of the file on top of it.
        if (l.asked) {
            EXPECT_LE(ChunkIndexLimit(l.size), l.size / 1000) << l.size;
        }
    }

    ChunkKey key;
    EXPECT_TRUE(ChunkKeyFromHex("0f" + std::string(62, 'a'), key));
    EXPECT_EQ(key[0], 0x0f);
    EXPECT_EQ(key[31], 0xaa);
    for (const std::string& bad :
         {std::string(63, 'a'), std::string(64, 'A'), std::string(64, 'g')})
        EXPECT_FALSE(ChunkKeyFromHex(bad, key)) << bad;

    // A chunk used three times is one need with three uses; the previous copy's chunks are kept
    // only where the file needs them, at their first place.
    ChunkNeeds needs;
    for (unsigned char first : {3, 1, 3, 2, 3})
        needs.Add(Key(first));
    needs.Seal();
    EXPECT_EQ(needs.Distinct(), 3u);
    EXPECT_EQ(needs.Uses(Key(3)), 3u);
    EXPECT_EQ(needs.Uses(Key(9)), 0u);
    LocalChunks local(needs);
    local.Found(Key(9), {0, 10});
    EXPECT_FALSE(local.Any()) << "a chunk the file does not need is no source";
    local.Found(Key(2), {10, 20});
    local.Found(Key(2), {30, 20});
    local.Seal();
    ChunkSpan span;
    EXPECT_TRUE(local.Any());
    EXPECT_FALSE(local.Find(Key(9), span)) << "not needed, not kept";
    EXPECT_FALSE(local.Find(Key(1), span));
    ASSERT_TRUE(local.Find(Key(2), span));
    EXPECT_EQ(span.offset, 10u);
    EXPECT_EQ(needs.Take(Key(3)), 2u);
    EXPECT_EQ(needs.Take(Key(3)), 1u);
    EXPECT_EQ(needs.Take(Key(3)), 0u) << "the last use: its kept copy may go";
    EXPECT_EQ(needs.Take(Key(3)), 0u);
    EXPECT_EQ(needs.Take(Key(9)), 0u);

    // (offset, length, stage work reaching, in the previous copy, kept; the sources in order)
    using S = ChunkSource;
    struct Sources {
        std::uint64_t offset, length, built;
        bool local, kept;
        std::vector<S> sources;
    } sources[] = {
        {0, 10, 0, false, false, {S::Fetched}},
        {0, 10, 10, true, true, {S::Built, S::Local, S::Kept, S::Fetched}},
        {5, 10, 14, false, true, {S::Kept, S::Fetched}},
        {five, Max, five + Max, false, false, {S::Built, S::Fetched}},
        {~0ull - 5, 10, ~0ull, true, false, {S::Local, S::Fetched}},
    };
    for (const Sources& s : sources)
        EXPECT_EQ(ChunkSources(s.offset, s.length, s.built, s.local, s.kept), s.sources)
            << s.offset << "+" << s.length;

    // A file's chunks report as one download: 5 reports at fifths, 32-bit figures scaled alike.
    struct Progress {
        std::uint64_t done, total;
        int due;
        std::uint32_t progress, max;
    } progress[] = {
        {0, 100, 0, 0, 100},
        {19, 100, 0, 19, 100},
        {20, 100, 1, 20, 100},
        {99, 100, 4, 99, 100},
        {100, 100, 5, 100, 100},
        {0, 0, 5, 0, 0},
        {five / 2, five, 2, 5u << 28, 5u << 29},
        {five, five, 5, 5u << 29, 5u << 29},
        {~0ull, ~0ull, 5, 0xffffffffu, 0xffffffffu},
    };
    for (const Progress& p : progress) {
        EXPECT_EQ(ProgressReportDue(p.done, p.total), p.due) << p.done << " of " << p.total;
        EXPECT_EQ(ProgressFigures(p.done, p.total), std::make_pair(p.progress, p.max))
            << p.done << " of " << p.total;
    }

    // Beside the stage copies: the chunks used more than once in the release (kept between
    // their uses), one chunk on its way, and the indexes still to fetch; sums past 4 GiB.
    ChunkKey big = Key(0);
    ChunkNeeds release;
    for (unsigned i = 0; i < 1200; ++i) { // 1200 chunks of 4 MiB, each used twice: 4.7 GiB
        big[1] = static_cast<unsigned char>(i);
        big[2] = static_cast<unsigned char>(i >> 8);
        release.Add(big, Max);
        release.Add(big, Max);
    }
    release.Add(Key(7), 100);
    release.Seal();
    // (what, the needs, the index bytes still to fetch, the room)
    const ChunkNeeds none;
    ChunkNeeds once;
    once.Add(Key(1), Max);
    once.Add(Key(2), 10);
    once.Seal();
    struct Room {
        const char* what;
        const ChunkNeeds& needs;
        std::uint64_t indexes, room;
    } rooms[] = {
        {"no chunk work", none, 0, 0},
        {"indexes alone", none, 5000, 5000},
        {"no chunk used twice: one on its way", once, 0, Max},
        {"past 4 GiB", release, five, 1200 * Max + Max + five},
        {"no overflow", release, ~0ull - 5, ~0ull},
    };
    for (const Room& r : rooms)
        EXPECT_EQ(ChunkRoom(r.needs, r.indexes), r.room) << r.what;

    // A file done (or fetched whole) gives back the uses it left; a chunk whose last use in the
    // release that was may go. (what, the release's uses, the file's, those the file took
    // before it ended, the keys that go)
    using Firsts = std::vector<unsigned char>;
    struct Left {
        const char* what;
        Firsts release, file, taken, gone;
    } lefts[] = {
        {"all taken already", {3}, {3}, {3}, {}},
        {"the only file of a chunk", {4}, {4}, {}, {4}},
        {"a chunk another file still needs", {5, 5}, {5}, {}, {}},
        {"used twice by the file, once taken", {4, 4}, {4, 4}, {4}, {4}},
        {"a chunk the release never counted", {3}, {9}, {}, {}},
    };
    for (const Left& l : lefts) {
        ChunkNeeds shared, file;
        for (unsigned char first : l.release)
            shared.Add(Key(first));
        for (unsigned char first : l.file)
            file.Add(Key(first));
        shared.Seal();
        file.Seal();
        for (unsigned char first : l.taken) {
            file.Take(Key(first));
            shared.Take(Key(first));
        }
        std::vector<ChunkKey> gone, expected;
        for (unsigned char first : l.gone)
            expected.push_back(Key(first));
        shared.TakeLeft(file, gone);
        EXPECT_EQ(gone, expected) << l.what;
    }
}

// Each chunk as (key, offset, length), to compare whole lists.
std::vector<std::tuple<ChunkKey, std::uint64_t, std::uint64_t>>
Spans(const std::vector<CutChunk>& chunks) {
    std::vector<std::tuple<ChunkKey, std::uint64_t, std::uint64_t>> spans;
    for (const CutChunk& c : chunks)
        spans.emplace_back(c.key, c.span.offset, c.span.length);
    return spans;
}

// The cut a launcher makes of a local file in the read that hashes it: the chunker's cuts,
// each chunk's SHA-256, and an index that reads back as the host's would.
TEST(ChunkCut, OneReadGivesTheChunksAndAnIndexThatReadsBack) {
    const Bytes random = Random(12 * MiB + 3, 8);
    const Ends ends = Cut(random);
    std::vector<CutChunk> expected;
    std::uint64_t start = 0;
    for (std::uint64_t end : ends) {
        Sha256 hash;
        hash.Add(random.data() + start, end - start);
        CutChunk chunk;
        ChunkKeyFromHex(hash.Finish(), chunk.key);
        chunk.span = {start, end - start};
        expected.push_back(chunk);
        start = end;
    }
    Sha256 whole;
    whole.Add(random.data(), random.size());
    const std::string sha256 = whole.Finish();
    // A synthetic file of 5 GiB in 4 MiB chunks: offsets past 2^32 written and read back.
    const std::uint64_t five = 5ull << 30;
    std::vector<CutChunk> past;
    for (std::uint64_t at = 0; at < five; at += Max)
        past.push_back({Key(static_cast<unsigned char>(at >> 22)), {at, Max}});
    // (what, the chunks written, the file's size)
    struct Case {
        const char* what;
        std::size_t piece;
        std::vector<CutChunk> chunks;
        std::uint64_t size;
    } cases[] = {
        {"fed at once", random.size(), {}, random.size()},
        {"a byte at a time for a while", 1, {}, random.size()},
        {"in reads of 64 KiB", 64 << 10, {}, random.size()},
        {"in odd pieces", 3 * MiB + 7, {}, random.size()},
        {"past 4 GiB", 0, past, five},
    };
    const std::wstring index = (std::filesystem::temp_directory_path() / "cut.index").wstring();
    for (Case& c : cases) {
        if (c.piece) {
            ChunkCut cut;
            // A byte at a time over the first 300 KiB, past the first chunk's `min`.
            std::size_t at = 0;
            for (; c.piece == 1 && at < 300 * 1024; ++at)
                cut.Feed(random.data() + at, 1);
            for (; at < random.size(); at += c.piece)
                cut.Feed(random.data() + at, std::min(c.piece, random.size() - at));
            EXPECT_EQ(cut.Bytes(), random.size()) << c.what;
            ASSERT_TRUE(cut.Finish(c.chunks)) << c.what;
            EXPECT_EQ(Spans(c.chunks), Spans(expected)) << c.what;
        }
        const std::string sha = c.piece ? sha256 : H;
        ASSERT_TRUE(WriteChunkIndex(index, c.size, sha, c.chunks)) << c.what;
        IndexWalk walk(index, c.size, sha);
        ChunkEntry entry;
        ChunkKey key;
        std::vector<CutChunk> read;
        while (walk.Next(entry, key))
            read.push_back({key, {entry.offset, entry.length}});
        EXPECT_TRUE(walk.Finish()) << c.what << ": " << walk.Error();
        EXPECT_EQ(Spans(read), Spans(c.chunks)) << c.what;
        // Another file's pins refuse it.
        IndexWalk other(index, c.size + 1, sha);
        while (other.Next(entry, key)) {
        }
        EXPECT_FALSE(other.Finish()) << c.what;
    }
    std::filesystem::remove(index);
}

} // namespace
