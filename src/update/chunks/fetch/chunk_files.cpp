#include "update/chunks/fetch/chunk_files.h"

#include <windows.h>

#include "utility/string_helpers.h"

namespace {

constexpr std::size_t kLineBuffer = 64 << 10;

// Deletes the folder's files but the kept ones, and the folder when that empties it.
void RemoveFolder(const std::wstring& folder, const std::set<std::wstring>& kept) {
    WIN32_FIND_DATAW found;
    const ScopedFind find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0));
    if (find.valid())
        do {
            const std::wstring name = found.cFileName;
            // A folder (the kept indexes, or a folder or link someone else made) is left.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !kept.count(name)) {
                SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(find.get(), &found));
    RemoveDirectoryW(folder.c_str());
}

} // namespace

std::wstring ChunkUrl(const std::wstring& base, const std::string& sha256) {
    return base + L"TolvaneChunks/" + String::ToWstring(sha256.substr(0, 2) + "/" + sha256);
}

std::wstring ChunkIndexUrl(const std::wstring& base, const std::string& fileSha256) {
    return base + L"TolvaneChunks/index/" + String::ToWstring(fileSha256);
}

std::wstring ChunkFolder(const std::wstring& setupFolder) {
    const std::wstring update = setupFolder + L"update", folder = update + L"\\chunks";
    for (const std::wstring& level : {update, folder})
        if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    return folder + L"\\";
}

void ClearChunkWork(const std::wstring& setupFolder) {
    RemoveFolder(setupFolder + L"update\\chunks\\", {});
}

std::wstring LocalIndexPath(const std::wstring& setupFolder, const std::string& sha256) {
    const std::wstring chunks = ChunkFolder(setupFolder);
    if (chunks.empty() || (!CreateDirectoryW((chunks + L"index").c_str(), nullptr) &&
                           GetLastError() != ERROR_ALREADY_EXISTS))
        return std::wstring();
    return chunks + L"index\\" + String::ToWstring(sha256);
}

void KeepLocalIndexes(const std::wstring& setupFolder, const std::set<std::string>& sha256s) {
    std::set<std::wstring> kept;
    for (const std::string& sha256 : sha256s)
        kept.insert(String::ToWstring(sha256));
    RemoveFolder(setupFolder + L"update\\chunks\\index\\", kept);
}

bool IndexWalk::Next(ChunkEntry& entry, ChunkKey& key) {
    std::string line;
    while (lines_.Next(line, kChunkIndexLineMax))
        if (!reader_.Take(line, entry))
            return false;
        else if (header_)
            header_ = false;
        else
            return ChunkKeyFromHex(entry.sha256, key);
    return false;
}

FileLines::FileLines(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}

bool FileLines::Fill() {
    buffer_.erase(0, at_);
    at_ = 0;
    const std::size_t kept = buffer_.size();
    buffer_.resize(kept + kLineBuffer);
    DWORD read = 0;
    const bool ok = ReadFile(file_.get(), &buffer_[kept], kLineBuffer, &read, nullptr);
    buffer_.resize(kept + (ok ? read : 0));
    return ok && read > 0;
}

bool FileLines::Next(std::string& line, std::size_t most) {
    if (!file_.valid())
        return false;
    line.clear();
    for (;;) {
        const std::size_t end = buffer_.find('\n', at_);
        const std::size_t stop = end == std::string::npos ? buffer_.size() : end;
        const std::size_t room = most + 1 > line.size() ? most + 1 - line.size() : 0;
        line.append(buffer_, at_, std::min(stop - at_, room));
        at_ = stop;
        if (end != std::string::npos) {
            ++at_;
            return true;
        }
        if (!Fill())
            return !line.empty(); // a last line without its line feed
    }
}

bool ReadAt(HANDLE file, std::uint64_t offset, std::uint64_t count, std::string& out) {
    out.resize(count);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    std::uint64_t done = 0;
    while (done < count) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(count - done, 1u << 30));
        if (!ReadFile(file, &out[done], want, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

bool WriteAt(HANDLE file, std::uint64_t offset, const std::string& bytes) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::uint64_t OpenFileSize(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}
