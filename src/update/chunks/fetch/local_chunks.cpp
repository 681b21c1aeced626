#include "update/chunks/fetch/local_chunks.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>

#include "update/base/trace.h"
#include "update/chunks/fetch/chunk_cut.h"
#include "update/chunks/fetch/chunk_files.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "update/trust/trust.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

namespace {

constexpr DWORD kReadBytes = 1 << 20;

} // namespace

void FindLocalChunks(const std::wstring& path, LocalChunks& local) {
    const ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kReadBytes]);
    if (!file.valid() || !buffer)
        return;
    Trace::Narrow("hashing " + String::ToString(path) + " to cut it");
    ChunkCut cut;
    DWORD read = 0;
    while (ReadFile(file.get(), buffer.get(), kReadBytes, &read, nullptr) && read > 0)
        cut.Feed(buffer.get(), read);
    std::vector<CutChunk> chunks;
    if (cut.Finish(chunks))
        for (const CutChunk& chunk : chunks)
            local.Found(chunk.key, chunk.span);
    local.Seal();
}

bool FindIndexedChunks(const std::wstring& index, std::uint64_t size, const std::string& sha256,
                       LocalChunks& local) {
    IndexWalk walk(index, size, sha256);
    ChunkEntry entry;
    ChunkKey key;
    while (walk.Next(entry, key))
        local.Found(key, {entry.offset, entry.length});
    local.Seal();
    return walk.Finish();
}

bool CopyPresentOrCut(const std::wstring& setupFolder, const std::wstring& target,
                      const std::string& relativePath, const ListFields& fields,
                      std::string* found) {
    if (!WantsChunkIndex(fields.size))
        return PinnedCopyPresent(target, relativePath, fields, found);
    ChunkCut cut;
    const bool present = PinnedCopyPresent(
        target, relativePath, fields, found,
        [&cut](const unsigned char* data, std::size_t size) { cut.Feed(data, size); });
    std::vector<CutChunk> chunks;
    // Hashed just now (not vouched for by the cache): its cut is kept under its hash.
    if (cut.Bytes() == fields.size && !found->empty() && cut.Finish(chunks)) {
        const std::wstring index = LocalIndexPath(setupFolder, *found);
        if (!index.empty())
            WriteChunkIndex(index, fields.size, *found, chunks);
    }
    return present;
}

namespace {

bool IsTwin(const std::pair<std::wstring, std::string>& twin, const ListFields& fields) {
    std::uint64_t size = 0, time = 0;
    return SizeAndTimeOf(twin.first, size, time) && size == fields.size &&
           PinnedCopyPresent(twin.first, twin.second, fields);
}

} // namespace

bool HasTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
             const ListFields& fields) {
    return std::any_of(twins.begin(), twins.end(),
                       [&](const auto& twin) { return IsTwin(twin, fields); });
}

bool CopyTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
              const ListFields& fields, const std::wstring& copy) {
    for (const auto& twin : twins) {
        const auto& [path, name] = twin;
        if (!IsTwin(twin, fields))
            continue;
        // Checked again as copied: the twin may change between its check and the copy.
        if (CopyFileW(path.c_str(), copy.c_str(), FALSE) &&
            DownloadedCopyMatches(copy, fields, nullptr)) {
            Trace::Narrow(name + " holds the same bytes: copied");
            return true;
        }
        DeleteFileW(copy.c_str());
    }
    return false;
}

bool ChunkMatches(const std::string& bytes, const std::string& sha256) {
    Sha256 hash;
    hash.Add(bytes);
    return hash.Finish() == sha256;
}
