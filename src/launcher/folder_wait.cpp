#include "launcher/folder_wait.h"

#include <windows.h>

#include <optional>

#include "launcher/handlers.h"
#include "update/pass_wait.h"
#include "utility/environment.h"

namespace Application {

namespace {

// Asked again at least this often, in case the platform cannot watch the folder.
constexpr DWORD kRecheckMs = 1000;

std::optional<PassWait> Wait;

} // namespace

void WaitForOtherLauncher() {
    Wait.emplace(Environment::ExecutableFolder());
}

bool WaitingForOtherLauncher() {
    return Wait.has_value();
}

void AwaitOtherLauncher() {
    if (!Wait)
        return;
    if (Wait->PassEnded()) {
        // The wait holds the folder's lock until the game has started, so that no pass begins
        // under it; without a game the folder is let go.
        OnUpdateEnd();
        Wait.reset();
        return;
    }
    const HANDLE changes = Wait->handle();
    MsgWaitForMultipleObjectsEx(changes != nullptr ? 1 : 0, &changes, kRecheckMs, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

} // namespace Application
