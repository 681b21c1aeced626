#include "update/update_pass.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <exception>
#include <optional>
#include <system_error>
#include <vector>

#include "update/base/base.h"
#include "update/transfer/transfer.h"
#include "update/trust/trust.h"
#include "update/base/folders.h"
#include "update/launcher_data.h"
#include "update/launcher_line.h"
#include "update/install/pass_lock.h"
#include "update/release_pass.h"
#include "update/update_worker.h"
#include "utility/environment.h"
#include "utility/process_order.h"
#include "utility/string_helpers.h"

std::thread UpdateThread TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_UPDATE_THREAD);

namespace {

// Set from the moment a pass is accepted until its worker has finished, end callback included.
std::atomic<bool> PassRunning{false};

// The folder's lock, held by the running pass until its worker has finished.
PassLock RunningPassLock;

void RunPass() {
    try {
        UpdateWorker();
    } catch (const std::exception& failure) {
        // An exception must not end the process from the worker thread.
        LogFailure(L"error : Update pass stopped: " + String::ToWstring(failure.what()));
    } catch (...) {
        LogFailure(L"error : Update pass stopped");
    }
    RunningPassLock = PassLock();
    PassRunning.store(false, std::memory_order_release);
}

// The files the list's lines fetch from the update server, each with the launcher's copy.
std::vector<OwnedDownload> DownloadsOfLines(const std::vector<std::string>& lines) {
    std::vector<OwnedDownload> downloads;
    for (const std::string& text : lines) {
        LauncherLine line = ParseLauncherLine(text);
        if (line.comment || line.deletion || !StaysInsideLauncherFolder(line))
            continue;
        PlaceLine(line, UpdateServerSettings);
        downloads.push_back({line.url, line.target});
    }
    return downloads;
}

} // namespace

ServerSettings DefaultServerSettings() {
    const std::vector<std::wstring> urls = BuiltInServerUrls();
    return ServerSettings{urls.front(),
                          Environment::ExecutableFolder(),
                          L"uploadfile.uda",
                          String::ToWstring(ChannelFolder(FollowedChannel)),
                          std::vector<std::wstring>(urls.begin() + 1, urls.end()),
                          FollowedChannel};
}

PassOptions DefaultPassOptions() {
    return PassOptions{
        RepairRequested.load(), BuiltInListKey(), BuiltInProduct(), {}, DownloadLimitKiBs.load()};
}

PassRequest RequestPass(const ServerSettings& settings, const PassOptions& options) {
    // The worker reads UpdateServerSettings without a lock, so they may change only while no
    // worker runs. A request during a pass is therefore refused, not queued: the pass under
    // way already brings the folder in step.
    bool idle = false;
    if (!PassRunning.compare_exchange_strong(idle, true, std::memory_order_acquire)) {
        Trace::Narrow("An update pass is already running; the request is refused.");
        return PassRequest::Refused;
    }
    PassLock lock = PassLock::Take(settings.setupFolder);
    if (lock.state() == PassLock::State::Busy) {
        LogFailure(L"error : Another launcher is updating this folder; the request is refused");
        PassRunning.store(false, std::memory_order_release);
        return PassRequest::FolderBusy;
    }
    RunningPassLock = std::move(lock);
    UpdateServerSettings = settings;
    UpdatePassOptions = options;
    try {
        UpdateThread = std::thread(RunPass);
        UpdateThread.detach();
    } catch (const std::system_error& failure) {
        LogFailure(L"error : No start update thread: " + String::ToWstring(failure.what()));
        RunningPassLock = PassLock();
        PassRunning.store(false, std::memory_order_release);
        return PassRequest::Refused;
    }
    return PassRequest::Started;
}

bool BeginUpdatePass(const ServerSettings& settings, const PassOptions& options) {
    return RequestPass(settings, options) == PassRequest::Started;
}

bool UpdatePassRunning() {
    return PassRunning.load(std::memory_order_acquire);
}

PassRequest RequestUpdate() {
    const PassRequest request = RequestPass(DefaultServerSettings(), DefaultPassOptions());
    // A repair is asked for once: only the pass that takes it on clears it.
    if (request == PassRequest::Started)
        RepairRequested = false;
    return request;
}

void StartUpdate() {
    RequestUpdate();
}

std::wstring ListUrl(const ServerSettings& settings) {
    return settings.serverUrl + settings.uploadFolder + L"/" + settings.listFileName;
}

bool Network::CheckConnection(std::wstring url) {
    return InternetCheckConnectionW(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

void UpdateWorker() {
    const std::vector<std::wstring> bases = BaseUrls(UpdateServerSettings);
    std::size_t answering = 0;
    while (answering < bases.size() && !Network::CheckConnection(bases[answering]))
        ++answering;
    if (answering == bases.size()) {
        LogFailure(L"Not Connection server... ");
        return;
    }
    const Network::PassMirrors mirrors(bases, answering);
    FetchLauncherData(ListUrl(UpdateServerSettings));
    if (UpdateEndCallback)
        UpdateEndCallback();
}

void FetchLauncherData(std::wstring url) {
    // Whatever the platform filed for this pass goes, however the pass ends.
    const CacheSweep sweep(UpdateServerSettings.serverUrl);
    std::optional<Network::PassMirrors> ownMirrors;
    if (!Network::CurrentPassMirrors())
        ownMirrors.emplace(BaseUrls(UpdateServerSettings));
    Network::PassMirrors& mirrors = *Network::CurrentPassMirrors();
    const std::wstring folder = UpdateServerSettings.setupFolder + L"update\\";
    if (!Path::CreateFolder(folder))
        LogFailure(L"error :No create directory: " + folder);
    const std::wstring listFile = folder + L"cash-of-programm.tmp";
    // A killed pass may have left its list copy behind.
    DeleteFileW(listFile.c_str());

    // Not a line is acted on before the whole list is known to be the studio's, and only its
    // verified bytes are read.
    const std::wstring& setupFolder = UpdateServerSettings.setupFolder;
    const bool signedLists = !UpdatePassOptions.listKey.empty();
    if (!signedLists)
        Trace::Narrow(
            "This launcher was built without TOLVANE_UPDATE_KEY: lists are used unsigned");
    std::string bytes;
    AcceptedList list;
    for (std::size_t from = 0;;) {
        std::wstring message;
        if (!Network::DownloadListFile(listFile, url, &message)) {
            Trace::Wide(L"list file " + url + L" ->" + message);
            // A proxy that wants a password is the player's to mend, so the line says why.
            if (message.find(kProxyAsksPassword) != std::wstring::npos)
                LogFailure(L"error :No possibility to download data ->" + message);
            else
                LogFailure(L"error :No possibility to download data");
            return;
        }
        bytes = ReadFileBytes(listFile);
        if (!DeleteFileW(listFile.c_str()))
            LogFailure(L"error : No delete file temp");
        list = AcceptList(bytes, UpdatePassOptions.listKey, UpdatePassOptions.product,
                          UpdateServerSettings.channel, setupFolder);
        if (list.accepted)
            break;
        // A mirror whose list is refused is not asked for anything more in this pass.
        if (!mirrors.InUse(from))
            return;
        mirrors.Ban(from);
        if (!mirrors.InUse(from))
            return;
        Trace::Wide(L"list refused; asking " + mirrors.Base(from));
    }
    const std::vector<std::string> lines = SplitListLines(list.bytes);
    if (lines.empty())
        LogFailure(L"error : Launcher data string lines size = 0");
    // Unfinished downloads of a killed pass, in the folders this list names: only those can
    // hold them, and the launcher folder may hold much else.
    // A signed list is taken whole or not at all, and installed as one release.
    const bool taken = !signedLists || EveryLineTaken(lines);
    if (taken)
        for (const std::string& listed : FoldersOfLines(lines))
            RemoveLeftoverDownloads(setupFolder + L"/" + String::ToWstring(listed));
    if (signedLists) {
        if (taken) {
            BeginContentChecks(setupFolder, UpdatePassOptions.repair);
            EndContentChecks(InstallSignedRelease(lines, list, bytes));
            // Once the folder is in step, what a killed earlier launcher left in the cache
            // shows as the start of a file the folder now holds.
            RemoveOrphanedCopies(DownloadsOfLines(lines));
        }
        return;
    }
    BeginContentChecks(setupFolder, UpdatePassOptions.repair);
    UpdateEntryCount += lines.size();

    bool everyLineHandled = true;
    for (const std::string& line : lines)
        if (!ProcessLauncherLine(line)) {
            everyLineHandled = false;
            break;
        }
    EndContentChecks(everyLineHandled);
    if (!lines.empty())
        RecordVersion(lines.front());
    RemoveOrphanedCopies(DownloadsOfLines(lines));
}
