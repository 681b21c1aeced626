#include "update/chunks/fetch/local_chunks.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include "update/base/trace.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "update/trust/trust.h"
#include "utility/scoped_handle.h"

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
    Chunker chunker;
    std::vector<std::uint64_t> ends;
    std::optional<Sha256> hash;
    hash.emplace();
    // The chunk being read starts at start; its bytes up to hashed are in the hash.
    std::uint64_t start = 0, hashed = 0;
    DWORD read = 0;
    while (ReadFile(file.get(), buffer.get(), kReadBytes, &read, nullptr) && read > 0) {
        const std::uint64_t fed = hashed;
        chunker.Feed(buffer.get(), read, ends);
        for (std::uint64_t end : ends) {
            hash->Add(buffer.get() + (hashed - fed), end - hashed);
            hashed = end;
            ChunkKey key;
            if (ChunkKeyFromHex(hash->Finish(), key))
                local.Found(key, {start, end - start});
            hash.emplace();
            start = end;
        }
        ends.clear();
        hash->Add(buffer.get() + (hashed - fed), fed + read - hashed);
        hashed = fed + read;
    }
    chunker.Finish(ends);
    for (std::uint64_t end : ends) {
        ChunkKey key;
        if (ChunkKeyFromHex(hash->Finish(), key))
            local.Found(key, {start, end - start});
    }
    local.Seal();
}

bool CopyTwin(const std::vector<std::pair<std::wstring, std::string>>& twins,
              const ListFields& fields, const std::wstring& copy) {
    for (const auto& [path, name] : twins) {
        std::uint64_t size = 0, time = 0;
        if (!SizeAndTimeOf(path, size, time) || size != fields.size ||
            !PinnedCopyPresent(path, name, fields))
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
