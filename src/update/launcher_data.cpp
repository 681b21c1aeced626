#include "update/launcher_data.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/transfer/transfer.h"
#include "update/trust/trust.h"
#include "update/base/folders.h"
#include "update/launcher_line.h"
#include "update/line_gate.h"
#include "utility/environment.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

namespace {

std::wstring RecordPath() {
    return UpdateServerSettings.setupFolder + L"update\\update.info";
}

} // namespace

std::string RecordedVersion() {
    const std::wstring path = RecordPath();
    if (!File::Exists(path))
        return std::string();
    const std::vector<std::wstring> lines = File::ReadTXTListString(path);
    return lines.empty() ? std::string() : ValueAfterEquals(String::ToString(lines.front()));
}

const std::wstring& LauncherName() {
    static const std::wstring name = LastLevel(Environment::ExecutablePath());
    return name;
}

namespace {

void DeleteEntry(const LauncherLine& line) {
    Trace::Narrow(line.relativePath + " <- delete");
    const std::wstring& target = line.target;
    // Asked of the file's attributes, not by opening it: a file that a running program holds
    // without sharing still exists and must go, or be reported.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    if (!DeleteFileW(target.c_str())) {
        LogFailure(L"error : No delete file " + target);
        --UpdateEntryCount;
    }
}

void FetchEntry(const LauncherLine& line) {
    Trace::Narrow(line.relativePath);
    Path::CreateFolders(line.path, UpdateServerSettings.setupFolder);
    const std::wstring& url = line.url;
    const std::wstring& target = line.target;
    std::wstring message;
    if (line.fields.sha256.empty()) {
        // An existing file without "{rw}" is left as it is, whatever it holds.
        if (File::Exists(target) && !line.rewrite)
            return;
        if (!Network::DownloadFile(target, url, &message))
            LogFailure(L"error : No download file " + url + L" ->" + message);
        return;
    }
    // A pinned file is fetched exactly when the local copy differs, "{rw}" or not.
    if (PinnedCopyPresent(target, line.relativePath, line.fields)) {
        Trace::Narrow(line.relativePath + " <- identical");
        return;
    }
    std::string hash;
    const Network::BodyCheck matches = [&](const std::wstring& partial) {
        return DownloadedCopyMatches(partial, line.fields, &hash);
    };
    const std::uint64_t listedSize = line.fields.hasSize ? line.fields.size : kNoSizeLimit;
    if (Network::DownloadPinnedFile(target, url, listedSize, matches, &message))
        RecordVerifiedFile(target, line.relativePath, hash);
    else
        LogFailure(L"error : No download file " + url + L" ->" + message);
}

} // namespace

bool ProcessLauncherLine(const std::string& text) {
    LauncherLine line = ParseLauncherLine(text);
    if (line.comment) {
        --UpdateEntryCount;
        return true;
    }
    if (line.version) {
        const std::string local = RecordedVersion();
        --UpdateEntryCount;
        // A repair goes through every line, whatever the version.
        if (ValueAfterEquals(text) == local && !UpdatePassOptions.repair)
            return false;
        Trace::Narrow(text + " < - Find ");
    }
    const std::wstring refusal =
        LineRefusal(line, LauncherName(), !UpdatePassOptions.listKey.empty());
    if (!refusal.empty()) {
        LogFailure(refusal);
        return true;
    }
    PlaceLine(line, UpdateServerSettings);
    if (line.deletion)
        DeleteEntry(line);
    else
        FetchEntry(line);
    return true;
}

bool EveryLineTaken(const std::vector<std::string>& lines) {
    bool taken = true;
    for (const std::string& text : lines) {
        const std::wstring refusal = LineRefusal(ParseLauncherLine(text), LauncherName(), true);
        if (!refusal.empty())
            LogFailure(refusal);
        taken = taken && refusal.empty();
    }
    return taken;
}

void RecordVersion(const std::string& firstLine) {
    const std::wstring& setupFolder = UpdateServerSettings.setupFolder;
    if (Path::CreateFolder(setupFolder + L"update")) {
        File::WriteText(firstLine, RecordPath());
        return;
    }
    LogFailure(L"error : Create Directory " + setupFolder + L"update");
    File::WriteText(firstLine, setupFolder + L"update.info");
}
