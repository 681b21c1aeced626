#pragma once
// Where chunk work lies: the host's chunk layout under a site's base URL, and the launcher's
// own files under update\chunks\ (the index of the file being built, each chunk fetched and
// kept until its last use, and the file being built), kept across passes so that a pass cut
// short is resumed, and cleared once a release is in place.
#include <cstdint>
#include <set>
#include <string>

#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/trust/list_fields.h"
#include "utility/scoped_handle.h"

// TolvaneChunks/<first 2 hex>/<sha> and TolvaneChunks/index/<file sha> under base (ending in /).
std::wstring ChunkUrl(const std::wstring& base, const std::string& sha256);
std::wstring ChunkIndexUrl(const std::wstring& base, const std::string& fileSha256);

// update\chunks\ of the folder (ending in a backslash), made when missing; empty when it
// cannot be made.
std::wstring ChunkFolder(const std::wstring& setupFolder);
// Deletes the files of update\chunks\ (a file another program holds stays); the kept indexes
// below it stay.
void ClearChunkWork(const std::wstring& setupFolder);

// update\chunks\index\<sha> of the folder: the chunk index of a file the launcher holds (one it
// installed, or a previous copy it hashed and cut), kept across releases so that a pass reads
// where the previous copy holds its chunks instead of cutting it again. Its folders are made
// when missing; empty when they cannot be. Nothing in it is trusted: each chunk read through
// it is verified by its SHA-256 before use.
std::wstring LocalIndexPath(const std::wstring& setupFolder, const std::string& sha256);
// Deletes every kept index but those of these hashes (the big files installed now), and
// anything else lying among them.
void KeepLocalIndexes(const std::wstring& setupFolder, const std::set<std::string>& sha256s);

// Reads a file line by line through a small buffer, so that a big index is never held whole.
class FileLines {
  public:
    explicit FileLines(const std::wstring& path);
    bool IsOpen() const { return file_.valid(); }
    // The next line without its line feed; a line past `most` bytes is cut there (and refused
    // by whoever reads it). False at the end of the file or on a read error.
    bool Next(std::string& line, std::size_t most);

  private:
    bool Fill();
    ScopedFile file_;
    std::string buffer_;
    std::size_t at_ = 0;
};

// Reads an index file's chunk lines in file order, each checked against the pins; Next is false
// at the end or at the first line refused (Error() then says why).
class IndexWalk {
  public:
    IndexWalk(const std::wstring& path, std::uint64_t size, const std::string& sha256)
        : lines_(path), reader_(size, sha256) {}
    IndexWalk(const std::wstring& path, const ListFields& fields)
        : IndexWalk(path, fields.size, fields.sha256) {}
    bool Next(ChunkEntry& entry, ChunkKey& key);
    bool Finish() { return reader_.Finish(); }
    const std::string& Error() const { return reader_.Error(); }

  private:
    FileLines lines_;
    ChunkIndexReader reader_;
    bool header_ = true;
};

// Reads exactly count bytes at offset into out; false when the file holds fewer or a read fails.
bool ReadAt(HANDLE file, std::uint64_t offset, std::uint64_t count, std::string& out);
// Writes the bytes at offset; false when they could not all be written (a full disk).
bool WriteAt(HANDLE file, std::uint64_t offset, const std::string& bytes);
// The size of an open file, or 0.
std::uint64_t OpenFileSize(HANDLE file);
