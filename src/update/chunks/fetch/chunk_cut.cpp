#include "update/chunks/fetch/chunk_cut.h"

#include <windows.h>

#include <cstring>

#include "utility/scoped_handle.h"

void ChunkCut::Cut(std::uint64_t end) {
    const std::string digest = hash_->FinishBytes();
    CutChunk chunk{};
    failed_ = failed_ || digest.size() != chunk.key.size();
    if (!failed_) {
        std::memcpy(chunk.key.data(), digest.data(), chunk.key.size());
        chunk.span = {start_, end - start_};
        chunks_.push_back(chunk);
    }
    hash_.emplace();
    start_ = end;
}

void ChunkCut::Feed(const unsigned char* data, std::size_t size) {
    const std::uint64_t fed = bytes_;
    chunker_.Feed(data, size, ends_);
    // The chunk being read starts at start_; its bytes up to `hashed` are in the hash.
    std::uint64_t hashed = fed;
    for (std::uint64_t end : ends_) {
        hash_->Add(data + (hashed - fed), end - hashed);
        hashed = end;
        Cut(end);
    }
    ends_.clear();
    hash_->Add(data + (hashed - fed), fed + size - hashed);
    bytes_ = fed + size;
}

bool ChunkCut::Finish(std::vector<CutChunk>& chunks) {
    chunker_.Finish(ends_);
    for (std::uint64_t end : ends_)
        Cut(end);
    ends_.clear();
    chunks.swap(chunks_);
    return !failed_;
}

namespace {

bool WriteText(HANDLE file, const std::string& text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

} // namespace

bool WriteChunkIndex(const std::wstring& path, std::uint64_t size, const std::string& sha256,
                     const std::vector<CutChunk>& chunks) {
    const std::wstring partial = path + L".tolvane-part";
    bool written = false;
    {
        const ScopedFile file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        // Written a batch at a time: a big file's index is never one string.
        std::string batch = "tolvane-chunk-index 1 size=" + std::to_string(size) +
                            " sha256=" + sha256 + " chunks=" + std::to_string(chunks.size()) + "\n";
        written = file.valid();
        for (std::size_t i = 0; written && i <= chunks.size(); ++i) {
            if (i == chunks.size() || batch.size() > (64 << 10)) {
                written = WriteText(file.get(), batch);
                batch.clear();
            }
            if (i < chunks.size())
                batch += std::to_string(chunks[i].span.offset) + " " +
                         std::to_string(chunks[i].span.length) + " " +
                         LowerHex(std::string(chunks[i].key.begin(), chunks[i].key.end())) + "\n";
        }
    }
    if (written && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(partial.c_str());
    return false;
}
