#include "update/install/staging.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "update/base/base.h"
#include "update/transfer/transfer.h"
#include "update/trust/trust.h"
#include "utility/string_helpers.h"

namespace {

std::wstring RecordPath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\staged";
}

// A target as a key: either separator, any case.
std::wstring Lowered(const std::wstring& text) {
    return ResolvedPath(text);
}

// A stage copy's name in the stat cache.
std::string StageKey(const ReleaseFile& file) {
    return file.relativePath + ".tolvane-stage";
}

} // namespace

void FindStagedCopies(const std::wstring& setupFolder, Release& release) {
    // Stage copies of a release no longer served go first, so that none is marked reused and
    // then deleted.
    std::set<std::wstring> current;
    for (const ReleaseFile& file : release.files)
        current.insert(Lowered(file.target));
    for (const std::string& earlier : String::Split(ReadFileBytes(RecordPath(setupFolder)), '\n')) {
        const std::wstring target = TargetIn(setupFolder, earlier);
        if (!earlier.empty() && !current.count(Lowered(target)))
            DeleteFileW(StageName(target).c_str());
    }
    for (ReleaseFile& file : release.files) {
        // The stat cache spares hashing a stage copy again at each retry.
        const std::wstring stage = StageName(file.target);
        file.staged = file.reused = GetFileAttributesW(stage.c_str()) != INVALID_FILE_ATTRIBUTES &&
                                    PinnedCopyPresent(stage, StageKey(file), file.fields);
        if (file.reused) {
            file.sha256 = file.fields.sha256;
            Trace::Narrow(file.relativePath + " <- staged before");
        }
    }
}

std::uint64_t BytesToStage(const Release& release) {
    std::uint64_t bytes = 0;
    for (const ReleaseFile& file : release.files)
        if (!file.staged)
            bytes = file.fields.size > ~bytes ? ~std::uint64_t{0} : bytes + file.fields.size;
    return bytes;
}

bool StageRelease(const std::wstring& setupFolder, Release& release) {
    // Written before a byte is fetched, so a pass killed while staging leaves its copies known.
    std::string record;
    for (const ReleaseFile& file : release.files)
        record += file.relativePath + "\n";
    if (!record.empty())
        ReplaceFileBytes(RecordPath(setupFolder), record);
    bool whole = true;
    for (ReleaseFile& file : release.files) {
        if (file.staged)
            continue;
        Trace::Narrow(file.relativePath + " <- staging");
        Path::CreateFolders(String::ToWstring(file.relativePath), setupFolder);
        const Network::BodyCheck matches = [&](const std::wstring& partial) {
            return DownloadedCopyMatches(partial, file.fields, &file.sha256);
        };
        std::wstring message;
        file.staged = Network::DownloadPinnedFile(StageName(file.target), file.url,
                                                  file.fields.size, matches, &message);
        if (file.staged)
            RecordVerifiedFile(StageName(file.target), StageKey(file), file.sha256);
        else
            LogFailure(L"error : No download file " + file.url + L" ->" + message);
        whole = whole && file.staged;
    }
    return whole;
}

void ForgetStagedFiles(const std::wstring& setupFolder) {
    DeleteFileW(RecordPath(setupFolder).c_str());
}
