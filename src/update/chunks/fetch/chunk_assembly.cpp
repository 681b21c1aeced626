#include "update/chunks/fetch/chunk_assembly.h"

#include <windows.h>

#include "update/base/base.h"
#include "update/chunks/fetch/chunk_files.h"
#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/chunks/fetch/local_chunks.h"
#include "update/transfer/transfer.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "utility/string_helpers.h"

namespace {

// The file's progress as one download reports it: 5 reports, each with its pause.
class FileProgress {
  public:
    explicit FileProgress(std::uint64_t total) : total_(total) {}
    void Done(std::uint64_t bytes) {
        done_ += bytes;
        for (const int due = ProgressReportDue(done_, total_); reported_ < due; ++reported_) {
            const auto [progress, most] = ProgressFigures(done_, total_);
            Trace::Wide(std::to_wstring(progress) + L" of " + std::to_wstring(most));
            if (DownloadProgressCallback) {
                DownloadProgressCallback(progress, most, 0, nullptr);
                Sleep(ProgressPauseMs);
            }
        }
    }

  private:
    std::uint64_t total_, done_ = 0;
    int reported_ = 0;
};

// The bytes of one chunk from the first source that gives them verified; written into the
// build at the chunk's place unless they lie there already. Failure logs its one line.
class ChunkBuilder {
  public:
    ChunkBuilder(const ChunkJob& job, const std::wstring& folder, HANDLE build, HANDLE previous)
        : job_(job), folder_(folder), build_(build), previous_(previous),
          built_(OpenFileSize(build)) {}

    bool Place(const ChunkEntry& entry, const std::vector<ChunkSource>& sources, ChunkSpan local,
               std::string& bytes) {
        const std::wstring kept = KeptPath(entry.sha256);
        for (ChunkSource source : sources) {
            bool ok = false;
            if (source == ChunkSource::Built)
                ok = ReadAt(build_, entry.offset, entry.length, bytes);
            else if (source == ChunkSource::Local)
                ok = ReadAt(previous_, local.offset, entry.length, bytes);
            else if (source == ChunkSource::Kept)
                ok = ReadKept(kept, entry.length, bytes);
            else
                ok = Fetch(entry, kept) && ReadKept(kept, entry.length, bytes);
            if (!ok || !ChunkMatches(bytes, entry.sha256)) {
                if (source == ChunkSource::Fetched)
                    return Fail(L" Start progress download: download error: the chunk does not "
                                L"match its hash");
                continue;
            }
            if (source != ChunkSource::Built && !WriteAt(build_, entry.offset, bytes))
                return Fail(L" cannot write the file (error " + std::to_wstring(GetLastError()) +
                            L")");
            return true;
        }
        return false;
    }
    std::uint64_t Built() const { return built_; }
    std::uint64_t Fetched() const { return fetched_; }
    std::wstring KeptPath(const std::string& sha256) const {
        return folder_ + String::ToWstring(sha256);
    }

  private:
    static bool ReadKept(const std::wstring& path, std::uint64_t length, std::string& bytes) {
        const ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        return file.valid() && OpenFileSize(file.get()) == length &&
               ReadAt(file.get(), 0, length, bytes);
    }
    bool Fetch(const ChunkEntry& entry, const std::wstring& kept) {
        const Network::BodyCheck matches = [&](const std::wstring& partial) {
            std::uint64_t size = 0;
            std::string hex;
            return HashFile(partial, size, hex) && size == entry.length && hex == entry.sha256;
        };
        url_ = ChunkUrl(job_.base, entry.sha256);
        message_.clear();
        // A folder someone made where the chunk is kept would refuse it at every pass: an empty
        // one (or a link) goes, a full one is moved aside, never searched.
        const DWORD attributes = GetFileAttributesW(kept.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !RemoveDirectoryW(kept.c_str()))
            MoveFileW(kept.c_str(), (kept + L".planted").c_str());
        if (!Network::DownloadPiece(kept, url_, entry.length, entry.length, matches, &message_))
            return false;
        fetched_ += entry.length;
        return true;
    }
    bool Fail(const std::wstring& why) {
        LogFailure(L"error : No download file " + job_.fileUrl + L" -> chunk " + url_ + L" ->" +
                   (message_.empty() ? why : message_));
        return false;
    }

    const ChunkJob& job_;
    const std::wstring& folder_;
    HANDLE build_, previous_;
    std::uint64_t built_, fetched_ = 0;
    std::wstring url_, message_;
};

} // namespace

Assembled AssembleChunks(const ChunkJob& job, const ChunkWork& work, ChunkNeeds& needs,
                         ChunkNeeds& release, const LocalChunks& local, std::uint64_t& fetched) {
    const std::wstring &folder = work.folder, &index = work.index, &buildPath = work.build;
    const ScopedFile previous(CreateFileW(job.previous.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    const ScopedFile build(CreateFileW(buildPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!build.valid()) {
        LogFailure(L"error : No download file " + job.fileUrl + L" -> cannot write " + buildPath +
                   L" (error " + std::to_wstring(GetLastError()) + L")");
        return Assembled::Failed;
    }
    ChunkBuilder builder(job, folder, build.get(), previous.get());
    FileProgress progress(job.fields.size);
    Sha256 whole;
    IndexWalk walk(index, job.fields);
    ChunkEntry entry;
    ChunkKey key;
    std::string bytes;
    while (walk.Next(entry, key)) {
        ChunkSpan span;
        const bool inPrevious = previous.valid() && local.Find(key, span);
        const std::wstring kept = builder.KeptPath(entry.sha256);
        const bool isKept = GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES;
        const std::vector<ChunkSource> sources =
            ChunkSources(entry.offset, entry.length, builder.Built(), inPrevious, isKept);
        if (!builder.Place(entry, sources, span, bytes))
            return Assembled::Failed;
        whole.Add(bytes);
        // A chunk fetched is kept until its last use in the release, so it is fetched once.
        needs.Take(key);
        if (release.Take(key) == 0)
            DeleteFileW(kept.c_str());
        progress.Done(entry.length);
    }
    fetched = builder.Fetched();
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(job.fields.size);
    const bool ended = walk.Finish() && SetFilePointerEx(build.get(), end, nullptr, FILE_BEGIN) &&
                       SetEndOfFile(build.get()) && FlushFileBuffers(build.get());
    return ended && whole.Finish() == job.fields.sha256 ? Assembled::Whole : Assembled::Broken;
}

ChunkWork WorkOf(const std::wstring& folder, const ListFields& fields) {
    const std::wstring name = String::ToWstring(fields.sha256);
    return {folder, folder + name + L".index", folder + name + L".build"};
}
