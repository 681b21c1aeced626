#pragma once
// The file a download's body is written to as it arrives, under the download's temporary name
// beside its target. The platform keeps no copy of its own: the body never passes through the
// internet cache.
#include <windows.h>

#include <cstdint>
#include <string>

namespace Network {

class BodyFile {
  public:
    explicit BodyFile(const std::wstring& path);
    ~BodyFile();
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    // Starts the body over, empty: each request of a download, a redirect's included, brings
    // its own. False when the file cannot be made.
    bool Restart();
    // Appends the bytes. False when they could not all be written (a full disk).
    bool Append(const void* bytes, DWORD count);
    // Closes the file, so that it can be judged and moved.
    void Close();

    // The bytes written since the last Restart.
    std::uint64_t size() const { return size_; }
    // The Windows error of the last write or Restart that failed, or 0.
    DWORD error() const { return error_; }

  private:
    const std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::uint64_t size_ = 0;
    DWORD error_ = 0;
};

} // namespace Network
