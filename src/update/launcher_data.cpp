#include "update/launcher_data.h"

#include <windows.h>

#include "update/download.h"
#include "update/folders.h"
#include "update/launcher_line.h"
#include "update/trace.h"
#include "update/update_settings.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

namespace {

std::wstring RecordPath() {
    return UpdateServerSettings.setupFolder + L"update\\update.info";
}

// The version value of the record's first line; empty without a record.
std::string LocalVersion() {
    const std::wstring path = RecordPath();
    if (!File::Exists(path))
        return std::string();
    const std::vector<std::wstring> lines = File::ReadTXTListString(path);
    return lines.empty() ? std::string() : ValueAfterEquals(String::ToString(lines.front()));
}

void DeleteEntry(const LauncherLine& line) {
    Trace::Narrow(line.relativePath + " <- delete");
    const std::wstring target = LocalTarget(UpdateServerSettings.setupFolder, line.relativePath);
    if (File::Exists(target) && !DeleteFileW(target.c_str())) {
        File::WriteError(L"error : No delete file " + target);
        --UpdateEntryCount;
    }
}

void FetchEntry(const LauncherLine& line) {
    const ServerSettings& settings = UpdateServerSettings;
    Trace::Narrow(line.relativePath);
    Path::CreateFolders(String::ToWstring(line.relativePath), settings.setupFolder);
    const std::wstring url =
        DownloadUrl(settings.serverUrl, settings.uploadFolder, line.relativePath);
    const std::wstring target = LocalTarget(settings.setupFolder, line.relativePath);
    // An existing file without "{rw}" is left as it is, whatever it holds.
    if (File::Exists(target) && !line.rewrite)
        return;
    std::wstring message;
    if (!Network::DownloadFile(target, url, &message))
        File::WriteError(L"error : No download file " + url + L" ->" + message);
}

} // namespace

bool ProcessLauncherLine(const std::string& text) {
    const LauncherLine line = ParseLauncherLine(text);
    if (line.comment) {
        --UpdateEntryCount;
        return true;
    }
    if (line.version) {
        const std::string local = LocalVersion();
        --UpdateEntryCount;
        if (ValueAfterEquals(text) == local)
            return false;
        Trace::Narrow(text + " < - Find ");
    }
    if (!StaysInsideLauncherFolder(line)) {
        File::WriteError(L"error : Path outside the launcher folder refused: " +
                         String::ToWstring(line.relativePath));
        return true;
    }
    if (line.deletion)
        DeleteEntry(line);
    else
        FetchEntry(line);
    return true;
}

void RecordVersion(const std::string& firstLine) {
    const std::wstring& setupFolder = UpdateServerSettings.setupFolder;
    if (Path::CreateFolder(setupFolder + L"update")) {
        File::WriteText(firstLine, RecordPath());
        return;
    }
    File::WriteError(L"error : Create Directory " + setupFolder + L"update");
    File::WriteText(firstLine, setupFolder + L"update.info");
}
