#include "update/install/start_recovery.h"

#include <windows.h>

#include "update/install/launcher_handover.h"
#include "update/install/pass_lock.h"
#include "update/transfer/cache_owner.h"
#include "update/transfer/internet_cache.h"

bool RecoverInterruptedUpdate(const ServerSettings& settings) {
    const PassLock lock = PassLock::Take(settings.setupFolder);
    if (lock.state() == PassLock::State::Busy)
        return true;
    // A killed pass leaves what the platform filed for it, a partial body included; every
    // entry of the update server is the launcher's.
    DropCacheEntriesSince(FILETIME{}, {UrlAuthority(settings.serverUrl)});
    return RecoverOrHandOver(settings.setupFolder, AfterHandOver::StartLauncher) !=
           Recovered::HandOver;
}
