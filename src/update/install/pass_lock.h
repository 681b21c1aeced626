#pragma once
// One update pass per launcher folder, across processes: the pass holds update\pass.lock open
// without sharing, and the file goes when it is closed. The platform closes it when the process
// ends, however it ends, so a killed launcher never leaves the folder locked. The handle is
// inheritable: a staged launcher that a launcher hands its own replacement to (see
// launcher_handover.h) holds the lock on until it has finished, the only process a launcher
// starts with its handles.
#include <windows.h>

#include <string>

class PassLock {
  public:
    enum class State {
        Held,       // this pass holds the folder
        Busy,       // another process runs a pass in the folder
        Unavailable // the lock file cannot be made (a read-only folder); the pass runs unlocked
    };

    PassLock() = default;
    ~PassLock();
    PassLock(PassLock&& other) noexcept;
    PassLock& operator=(PassLock&& other) noexcept;
    PassLock(const PassLock&) = delete;
    PassLock& operator=(const PassLock&) = delete;

    // Takes the lock of the folder (ending in a backslash), making its update folder if needed.
    static PassLock Take(const std::wstring& setupFolder);

    State state() const { return state_; }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    State state_ = State::Unavailable;
};
