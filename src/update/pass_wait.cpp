#include "update/pass_wait.h"

#include <utility>

#include "update/install/install.h"

PassWait::PassWait(const std::wstring& setupFolder)
    : folder_(setupFolder),
      changes_(FindFirstChangeNotificationW((setupFolder + L"update").c_str(), FALSE,
                                            FILE_NOTIFY_CHANGE_FILE_NAME)) {}

bool PassWait::PassEnded() {
    if (ended_)
        return true;
    // Armed before the lock is tried, so that a release between the two still signals.
    if (changes_.valid())
        FindNextChangeNotification(changes_.get());
    PassLock lock = PassLock::Take(folder_);
    if (lock.state() == PassLock::State::Busy)
        return false;
    lock_ = std::move(lock);
    // A pass killed in its commit leaves a journal: the folder is made whole before the game
    // starts from it (a launcher replacement left to its staged successor, which finishes it
    // once this launcher has started the game and ended).
    RecoverOrHandOver(folder_, AfterHandOver::Nothing);
    ended_ = true;
    return true;
}
