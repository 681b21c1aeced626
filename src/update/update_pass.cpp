#include "update/update_pass.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <exception>
#include <fstream>
#include <system_error>
#include <vector>

#include "update/download.h"
#include "update/folders.h"
#include "update/launcher_data.h"
#include "update/launcher_line.h"
#include "update/partial_files.h"
#include "update/trace.h"
#include "update/update_worker.h"
#include "utility/environment.h"
#include "utility/process_order.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

std::thread UpdateThread TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_UPDATE_THREAD);

namespace {

// Set from the moment a pass is accepted until its worker has finished, end callback included.
std::atomic<bool> PassRunning{false};

void RunPass() {
    try {
        UpdateWorker();
    } catch (const std::exception& failure) {
        // An exception must not end the process from the worker thread.
        File::WriteError(L"error : Update pass stopped: " + String::ToWstring(failure.what()));
    } catch (...) {
        File::WriteError(L"error : Update pass stopped");
    }
    PassRunning.store(false, std::memory_order_release);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path.c_str());
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
        ++UpdateEntryCount;
    }
    return lines;
}

} // namespace

ServerSettings DefaultServerSettings() {
    return ServerSettings{BuiltInServerUrl(), Environment::ExecutableFolder(), L"uploadfile.uda",
                          L"AppGameUpload"};
}

bool BeginUpdatePass(const ServerSettings& settings) {
    // The worker reads UpdateServerSettings without a lock, so they may change only while no
    // worker runs. A request during a pass is therefore refused, not queued: the pass under
    // way already brings the folder in step.
    bool idle = false;
    if (!PassRunning.compare_exchange_strong(idle, true, std::memory_order_acquire)) {
        Trace::Narrow("An update pass is already running; the request is refused.");
        return false;
    }
    UpdateServerSettings = settings;
    try {
        UpdateThread = std::thread(RunPass);
        UpdateThread.detach();
    } catch (const std::system_error& failure) {
        File::WriteError(L"error : No start update thread: " + String::ToWstring(failure.what()));
        PassRunning.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool UpdatePassRunning() {
    return PassRunning.load(std::memory_order_acquire);
}

void StartUpdate() {
    BeginUpdatePass(DefaultServerSettings());
}

std::wstring ListUrl(const ServerSettings& settings) {
    return settings.serverUrl + settings.uploadFolder + L"/" + settings.listFileName;
}

bool Network::CheckConnection(std::wstring url) {
    return InternetCheckConnectionW(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

void UpdateWorker() {
    if (!Network::CheckConnection(UpdateServerSettings.serverUrl)) {
        File::WriteError(L"Not Connection server... ");
        return;
    }
    FetchLauncherData(ListUrl(UpdateServerSettings));
    if (UpdateEndCallback)
        UpdateEndCallback();
}

void FetchLauncherData(std::wstring url) {
    const std::string folder = String::ToString(UpdateServerSettings.setupFolder) + "update\\";
    if (!Path::CreateFolder(String::ToWstring(folder)))
        File::WriteError(L"error :No create directory: " + String::ToWstring(folder));
    const std::string listFile = folder + "cash-of-programm.tmp";
    // A killed pass may have left its list copy behind.
    DeleteFileA(listFile.c_str());

    std::wstring message;
    if (!Network::DownloadListFile(listFile, url, &message)) {
        Trace::Wide(L"list file " + url + L" ->" + message);
        File::WriteError(L"error :No possibility to download data");
        return;
    }
    const std::vector<std::string> lines = ReadLines(listFile);
    if (!DeleteFileA(listFile.c_str()))
        File::WriteError(L"error : No delete file temp");
    // Unfinished downloads of a killed pass, in the folders this list names: only those can
    // hold them, and the launcher folder may hold much else.
    for (const std::string& listed : FoldersOfLines(lines))
        RemoveLeftoverDownloads(UpdateServerSettings.setupFolder + L"/" +
                                String::ToWstring(listed));

    for (const std::string& line : lines)
        if (!ProcessLauncherLine(line))
            break;
    if (lines.empty())
        File::WriteError(L"error : Launcher data string lines size = 0");
    else
        RecordVersion(lines.front());
}
