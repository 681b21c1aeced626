#include "update/install/folder_switch.h"

namespace {

// Never destroyed under a worker: while a pass runs, the process ends without destruction.
std::mutex SwitchLock;
std::condition_variable SwitchChange;
bool Switching = false;
bool HeldOff = false;

} // namespace

FolderSwitch::FolderSwitch() {
    std::unique_lock<std::mutex> lock(SwitchLock);
    SwitchChange.wait(lock, [] { return !HeldOff; });
    Switching = true;
}

FolderSwitch::~FolderSwitch() {
    {
        const std::lock_guard<std::mutex> lock(SwitchLock);
        Switching = false;
    }
    SwitchChange.notify_all();
}

void HoldOffFolderSwitches() {
    std::unique_lock<std::mutex> lock(SwitchLock);
    HeldOff = true;
    SwitchChange.wait(lock, [] { return !Switching; });
}

void AllowFolderSwitches() {
    {
        const std::lock_guard<std::mutex> lock(SwitchLock);
        HeldOff = false;
    }
    SwitchChange.notify_all();
}
