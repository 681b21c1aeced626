#include "update/base/update_settings.h"

#include "utility/process_order.h"

ServerSettings UpdateServerSettings TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_UPDATE_SETTINGS);
PassOptions UpdatePassOptions TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_UPDATE_SETTINGS);
std::string FollowedChannel TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_UPDATE_SETTINGS){
    kStableChannel};
std::atomic<std::uint64_t> UpdateEntryCount{0};
UpdateEndFunction UpdateEndCallback = nullptr;
DownloadProgressFunction DownloadProgressCallback = nullptr;
PassNoteFunction PassNoteCallback = nullptr;
std::uint32_t ProgressPauseMs = 100;
std::atomic<bool> RepairRequested{false};
// Set at configure time; braces refuse a value the limit cannot hold.
std::atomic<std::uint32_t> DownloadLimitKiBs{std::uint32_t{TOLVANE_DOWNLOAD_LIMIT_KIBS}};

std::vector<std::wstring> BaseUrls(const ServerSettings& settings) {
    std::vector<std::wstring> urls{settings.serverUrl};
    urls.insert(urls.end(), settings.mirrorUrls.begin(), settings.mirrorUrls.end());
    return urls;
}
