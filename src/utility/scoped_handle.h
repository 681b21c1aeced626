#pragma once
// Not exported: for the programs built with the library. Owns one kernel handle and closes it
// with Close (CloseHandle, FindClose, FindCloseChangeNotification) at the end of its scope;
// INVALID_HANDLE_VALUE and null stand for none.
#include <windows.h>

template <BOOL(WINAPI* Close)(HANDLE)> class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~ScopedHandle() {
        if (valid())
            Close(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

  private:
    HANDLE handle_;
};

using ScopedFile = ScopedHandle<CloseHandle>;
using ScopedFind = ScopedHandle<FindClose>;
using ScopedChangeWatch = ScopedHandle<FindCloseChangeNotification>;
