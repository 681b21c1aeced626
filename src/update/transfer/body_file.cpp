#include "update/transfer/body_file.h"

namespace Network {

BodyFile::BodyFile(const std::wstring& path) : path_(path) {}

BodyFile::~BodyFile() {
    Close();
}

bool BodyFile::Restart() {
    Close();
    size_ = 0;
    // Others may read it, but no one may write, move or delete it while it grows.
    file_ = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE)
        return true;
    error_ = GetLastError();
    return false;
}

bool BodyFile::Append(const void* bytes, DWORD count) {
    DWORD written = 0;
    if (file_ == INVALID_HANDLE_VALUE)
        return false;
    const BOOL wrote = WriteFile(file_, bytes, count, &written, nullptr);
    if (!wrote || written != count) {
        // A short write without an error is a full disk as well.
        error_ = wrote ? ERROR_DISK_FULL : GetLastError();
        size_ += written;
        return false;
    }
    size_ += written;
    return true;
}

void BodyFile::Close() {
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

} // namespace Network
