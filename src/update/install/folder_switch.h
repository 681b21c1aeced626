#pragma once
// The switch of the folder from one release to the next (a commit, or the recovery of one a kill
// cut short) and the end of the launcher's own process. A process that ended while a switch
// moved files would leave the folder between two releases until the launcher started again,
// and the game may well be started first. So the end waits for a running switch, and no switch
// starts once the end has begun.
#include <condition_variable>
#include <mutex>

// Held by the update worker for the whole of one switch. Waits, before the switch begins,
// while switches are held off.
class FolderSwitch {
  public:
    FolderSwitch();
    ~FolderSwitch();
    FolderSwitch(const FolderSwitch&) = delete;
    FolderSwitch& operator=(const FolderSwitch&) = delete;
};

// For the end of the process: returns once no switch runs, and none starts after it.
void HoldOffFolderSwitches();

// Lets switches start again after HoldOffFolderSwitches (an end of the session that was called
// off); a switch waiting to start goes on.
void AllowFolderSwitches();
