#include "update/install/pass_lock.h"

#include <utility>

PassLock::~PassLock() {
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
}

PassLock::PassLock(PassLock&& other) noexcept
    : file_(std::exchange(other.file_, INVALID_HANDLE_VALUE)), state_(other.state_) {}

PassLock& PassLock::operator=(PassLock&& other) noexcept {
    std::swap(file_, other.file_);
    std::swap(state_, other.state_);
    return *this;
}

PassLock PassLock::Take(const std::wstring& setupFolder) {
    const std::wstring folder = setupFolder + L"update";
    CreateDirectoryW(folder.c_str(), nullptr);
    PassLock lock;
    // No sharing at all: a second opener, in any process, fails until this handle closes, and
    // then the file goes with it. Inheritable for a launcher's hand-over only: every other
    // process the launcher starts inherits no handle.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    lock.file_ = CreateFileW((folder + L"\\pass.lock").c_str(),
                             GENERIC_READ | GENERIC_WRITE | DELETE, 0, &inherited, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock.file_ != INVALID_HANDLE_VALUE)
        lock.state_ = State::Held;
    else if (GetLastError() == ERROR_SHARING_VIOLATION)
        lock.state_ = State::Busy;
    return lock;
}
