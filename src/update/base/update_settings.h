#pragma once
// The engine's process-wide values: the settings of the latest pass, the entry counter and the
// two callbacks the launcher installs. At the bottom of the engine, so every part can read them.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/base/channel_name.h"

// Where the pass fetches from and what it brings in step.
struct ServerSettings {
    std::wstring serverUrl;    // https base URL ending in "/"; also the connection check's address
    std::wstring setupFolder;  // the launcher's folder, ending in a backslash
    std::wstring listFileName; // "uploadfile.uda"
    std::wstring uploadFolder; // the channel's folder on the site: "AppGameUpload" for stable
    // Mirrors: further https base URLs ending in "/", asked in this order after serverUrl.
    std::vector<std::wstring> mirrorUrls = {};
    // The channel whose lists alone are taken (its one spelling), each with its own rollback
    // record; uploadFolder is its folder (ChannelFolder).
    std::string channel = kStableChannel;
};

// serverUrl, then the mirrors: every base URL a pass may fetch from, in order.
std::vector<std::wstring> BaseUrls(const ServerSettings& settings);

// The settings of the latest pass. Written only by StartUpdate, and never while a pass runs.
extern ServerSettings UpdateServerSettings;

// Asked by a commit before each of its moments, numbered from 0 (see CommitRelease); false
// stops the commit dead there, as a kill would. Tests watch commits this way; launchers never.
using CommitWatch = std::function<bool(int moment)>;

// How the running pass treats the list and the folder.
struct PassOptions {
    bool repair = false;     // no early stop at an unchanged version, no stat cache: re-hash all
    std::string listKey;     // the studio's public keys (X then Y, 64 bytes each); empty: unsigned
    std::string product;     // the product whose lists alone are taken; empty: any
    CommitWatch commitWatch; // none in a launcher
    // The bandwidth limit of the pass's downloads together, in KiB/s; 0: none.
    std::uint32_t limitKiBs = 0;
};

// The options of the latest pass. Written only by StartUpdate, and never while a pass runs.
extern PassOptions UpdatePassOptions;

// Lines read from list files, less comments, Version lines and failed deletions; never reset.
extern std::atomic<std::uint64_t> UpdateEntryCount;

// Called on the worker thread at the end of every pass that reached the server.
using UpdateEndFunction = void (*)();
extern UpdateEndFunction UpdateEndCallback;

// Called on the worker thread for each progress report of a file download: progress, maximum,
// status code, status text (may be null).
using DownloadProgressFunction = void (*)(std::uint32_t progress, std::uint32_t progressMax,
                                          std::uint32_t statusCode, const wchar_t* statusText);
extern DownloadProgressFunction DownloadProgressCallback;

// Called on the worker thread with a line for the status line when a download is tried again
// or moves to another mirror; null until the launcher sets it.
using PassNoteFunction = void (*)(const wchar_t* text);
extern PassNoteFunction PassNoteCallback;

// Pause after each forwarded progress report, in milliseconds (100 until the launcher sets it).
extern std::uint32_t ProgressPauseMs;

// Set by the launcher's /repair switch before the first pass: the next pass that StartUpdate
// starts ignores the early stop of an unchanged version and the stat cache, re-hashes every
// listed file and fetches what differs. StartUpdate clears it.
extern std::atomic<bool> RepairRequested;

// The channel the passes StartUpdate starts follow: the build's (TOLVANE_CHANNEL) or the one the
// player chose with /channel=NAME. Written once by the launcher's start, before any pass or
// thread; "stable" until then.
extern std::string FollowedChannel;

// The largest bandwidth limit in KiB/s, of the build option and the /limit=N switch alike.
constexpr std::uint32_t kMostDownloadLimitKiBs = 4194304;

// The bandwidth limit, in KiB/s (0: none), that the passes StartUpdate starts keep to: the
// build's default (TOLVANE_DOWNLOAD_LIMIT_KIBS) until the launcher's /limit=N switch sets it,
// before the first pass.
extern std::atomic<std::uint32_t> DownloadLimitKiBs;
