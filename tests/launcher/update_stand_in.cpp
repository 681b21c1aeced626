// TEMPORARY: a stand-in for the update engine until it is merged. It holds the engine's
// process-wide values and counts StartUpdate calls instead of running a pass.
#include "update/update_pass.h"
#include "update_stand_in.h"

ServerSettings UpdateServerSettings;
std::atomic<std::uint64_t> UpdateEntryCount{0};
UpdateEndFunction UpdateEndCallback = nullptr;
DownloadProgressFunction DownloadProgressCallback = nullptr;
std::uint32_t ProgressPauseMs = 100;

std::atomic<int> StartUpdateCalls{0};

void StartUpdate() {
    ++StartUpdateCalls;
}
