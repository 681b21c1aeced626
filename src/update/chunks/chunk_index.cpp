#include "update/chunks/chunk_index.h"

#include <utility>

#include "update/base/field_text.h"

namespace {

const std::string kHeader = "tolvane-chunk-index 1 ";

// A decimal number without a leading zero.
bool ReadNumber(const std::string& text, std::uint64_t& value) {
    return !(text.size() > 1 && text[0] == '0') && ParseDecimal(text, value);
}

// The text after `name=` when field is exactly that, or false.
bool Field(const std::string& field, const char* name, std::string& value) {
    const std::string prefix = std::string(name) + "=";
    if (field.compare(0, prefix.size(), prefix) != 0)
        return false;
    value = field.substr(prefix.size());
    return true;
}

// Splits at single blanks; false for more than `count` fields or an empty one.
bool Split(const std::string& line, std::string* fields, std::size_t count) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t blank = line.find(' ', start);
        const bool last = i + 1 == count;
        if ((blank == std::string::npos) != last)
            return false;
        fields[i] = line.substr(start, last ? std::string::npos : blank - start);
        if (fields[i].empty())
            return false;
        start = blank + 1;
    }
    return true;
}

} // namespace

ChunkIndexReader::ChunkIndexReader(std::uint64_t size, std::string sha256, ChunkSizes sizes)
    : size_(size), sha256_(std::move(sha256)), sizes_(sizes) {}

bool ChunkIndexReader::Refuse(const std::string& why) {
    if (error_.empty())
        error_ = "chunk index line " + std::to_string(lines_) + ": " + why;
    return false;
}

bool ChunkIndexReader::TakeHeader(const std::string& line) {
    std::string fields[3], size, sha256, count;
    if (line.compare(0, kHeader.size(), kHeader) != 0 ||
        !Split(line.substr(kHeader.size()), fields, 3) || !Field(fields[0], "size", size) ||
        !Field(fields[1], "sha256", sha256) || !Field(fields[2], "chunks", count))
        return Refuse("not a chunk index header");
    std::uint64_t claimed = 0;
    if (!ReadNumber(size, claimed) || !IsSha256Hex(sha256) || !ReadNumber(count, count_))
        return Refuse("not a chunk index header");
    if (claimed != size_ || sha256 != sha256_)
        return Refuse("describes another file than the list pins");
    // Every chunk but the last holds at least `min` bytes, and none more than `max`.
    const std::uint64_t fewest = size_ / sizes_.max + (size_ % sizes_.max != 0);
    const std::uint64_t most = size_ == 0 ? 0 : (size_ - 1) / sizes_.min + 1;
    if (count_ < fewest || count_ > most)
        return Refuse("promises " + count + " chunks, which cannot cover " + size + " bytes");
    return true;
}

bool ChunkIndexReader::Take(const std::string& line, ChunkEntry& entry) {
    if (!error_.empty())
        return false;
    ++lines_;
    if (line.size() > kChunkIndexLineMax)
        return Refuse("longer than any index line");
    if (lines_ == 1)
        return TakeHeader(line);
    if (lines_ - 1 > count_)
        return Refuse("more chunks than the header promises");
    std::string fields[3];
    if (!Split(line, fields, 3) || !ReadNumber(fields[0], entry.offset) ||
        !ReadNumber(fields[1], entry.length) || !IsSha256Hex(fields[2]))
        return Refuse("not a chunk line");
    if (entry.offset != next_)
        return Refuse("starts at " + fields[0] + " where the chunk before it ends at " +
                      std::to_string(next_));
    if (entry.length == 0 || entry.length > sizes_.max || entry.length > size_ - entry.offset)
        return Refuse("a length of " + fields[1] + " bytes at offset " + fields[0]);
    const bool last = entry.length == size_ - entry.offset;
    if (!last && entry.length < sizes_.min)
        return Refuse("a chunk of " + fields[1] + " bytes that does not end the file");
    if (last != (lines_ - 1 == count_))
        return Refuse("the chunks end elsewhere than the header's count");
    entry.sha256 = fields[2];
    next_ += entry.length;
    return true;
}

bool ChunkIndexReader::Finish() {
    if (!error_.empty())
        return false;
    if (lines_ == 0)
        return Refuse("no header");
    if (lines_ - 1 != count_ || next_ != size_)
        return Refuse("ends after " + std::to_string(lines_ - 1) + " of " + std::to_string(count_) +
                      " chunks");
    return true;
}
