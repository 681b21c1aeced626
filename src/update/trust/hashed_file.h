#pragma once
// Files read for their SHA-256. The size, the last-write time and the hash are all taken from
// one open handle, so a file swapped in between can never be taken for another.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "utility/scoped_handle.h"

// Sees each piece of a file's bytes as they are hashed, in order.
using ByteSink = std::function<void(const unsigned char* data, std::size_t size)>;

class HashedFile {
  public:
    // Opens the file sharing read and delete (others may read it, and rename or delete it,
    // meanwhile) but not write, so it cannot change while it is open.
    explicit HashedFile(const std::wstring& path);

    // False when the file could not be opened: missing, a folder, held for writing by another
    // program, no access.
    bool IsOpen() const { return file_.valid(); }
    // True when opening failed only because another program holds the file without sharing.
    bool Held() const { return held_; }

    // The size and last-write time (100 ns units) of the open file; false when not open.
    bool SizeAndTime(std::uint64_t& size, std::uint64_t& writeTime) const;

    // Reads the open file from its start in 64 KiB chunks and gives the bytes read and their
    // SHA-256 as 64 lowercase hex digits. False, with size and hex unspecified, when the file is
    // not open, a read fails, memory for the buffer is short, or CNG fails. also (when set)
    // sees the same bytes, so another digest of them costs no second read.
    bool Hash(std::uint64_t& size, std::string& hex, const ByteSink& also = nullptr);

  private:
    ScopedFile file_;
    bool held_;
};

// The size and last-write time of the file at path, asked without opening it (so also of a
// file another program holds without sharing); false for a folder or a missing file.
bool SizeAndTimeOf(const std::wstring& path, std::uint64_t& size, std::uint64_t& writeTime);

// HashedFile(path).Hash(size, hex): the size and SHA-256 of the file at path.
bool HashFile(const std::wstring& path, std::uint64_t& size, std::string& hex);
