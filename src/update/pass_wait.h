#pragma once
// Waiting for another process's update pass in a launcher folder to end, with no thread and no
// processor time of its own: that pass's lock file goes from the folder's update\ when it ends,
// however it ends, and the platform signals a watch on that folder's names.
#include <windows.h>

#include <string>

#include "update/install/pass_lock.h"
#include "utility/scoped_handle.h"

class PassWait {
  public:
    // Watches the update folder of setupFolder (ending in a backslash).
    explicit PassWait(const std::wstring& setupFolder);

    // Signalled when a name changes in the update folder, the lock file's going among them;
    // null when the platform cannot watch it: the caller then asks PassEnded now and then.
    HANDLE handle() const { return changes_.valid() ? changes_.get() : nullptr; }

    // True once no other process runs a pass in the folder; false while one does, and the
    // watch is then armed again. Once true, this object holds the folder's lock until it goes,
    // so that no pass begins before the caller has done what it waited for.
    bool PassEnded();

  private:
    std::wstring folder_;
    ScopedChangeWatch changes_;
    PassLock lock_;
    bool ended_ = false;
};
