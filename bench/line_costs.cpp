// Times, one step at a time, what a pass does for each file line of a list over a folder that
// already holds every file, for pin_bench.py: where a pass over unchanged files spends its time.
// usage: update_line_costs.exe LIST_FILE SETUP_FOLDER
// LIST_FILE is a list with size and sha256 fields on its file lines; SETUP_FOLDER ends in "\"
// and holds the listed files and update\hashes.cache (a warm stat cache).
// Each step runs over every file line, twice; the faster run is printed as NAME_ms=.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "elapsed.h"
#include "update/trust/content_check.h"
#include "update/base/folders.h"
#include "update/launcher_line.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "update/trust/stat_cache.h"
#include "update/base/trace.h"
#include "utility/file_query.h"
#include "utility/string_helpers.h"

namespace {

constexpr DWORD kBufferBytes = 1 << 20; // HashFile's chunk

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

HANDLE OpenForReading(const std::wstring& target) {
    return CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Opens, reads and hashes each target as HashFile does, in chunks of chunkBytes: into the
// shared buffer when one is given, else into a new one for each file. Returns the hashes made.
std::size_t HashEach(const std::vector<std::wstring>& targets, DWORD chunkBytes, char* shared) {
    std::size_t made = 0;
    for (const std::wstring& target : targets) {
        const HANDLE file = OpenForReading(target);
        std::unique_ptr<char[]> own(shared ? nullptr : new (std::nothrow) char[chunkBytes]);
        char* chunk = shared ? shared : own.get();
        Sha256 hash;
        DWORD read = 0;
        while (ReadFile(file, chunk, chunkBytes, &read, nullptr) && read > 0)
            hash.Add(chunk, read);
        made += hash.Finish().size() == 64 ? 1 : 0;
        CloseHandle(file);
    }
    return made;
}

// The better of two rounds.
double Milliseconds(const std::function<void()>& step) {
    const double first = ElapsedMs(step);
    return std::min(first, ElapsedMs(step));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: update_line_costs LIST_FILE SETUP_FOLDER\n");
        return 2;
    }
    const std::wstring folder = argv[2];
    std::vector<std::string> pinned, plain;
    std::vector<LauncherLine> lines;
    for (const std::string& text : SplitListLines(ReadBytes(argv[1]))) {
        const LauncherLine line = ParseLauncherLine(text);
        if (line.version || line.comment || line.fields.sha256.empty())
            continue;
        pinned.push_back(text);
        plain.push_back(line.relativePath + ";");
        lines.push_back(line);
    }
    const std::string cacheText = ReadBytes(folder + L"update\\hashes.cache");
    if (lines.empty() || StatCache::Parse(cacheText).size() == 0) {
        std::fprintf(stderr, "update_line_costs: no pinned lines in the list, or no stat cache\n");
        return 2;
    }
    std::vector<std::wstring> targets;
    for (LauncherLine& line : lines) {
        PlaceLine(line, ServerSettings{L"", folder, L"", L""});
        targets.push_back(line.target);
    }

    std::size_t found = 0;
    const auto report = [&](const char* name, const std::function<void()>& step) {
        found = 0;
        const double ms = Milliseconds(step);
        std::fprintf(stderr, "%s_ms=%.2f found=%zu\n", name, ms, found / 2);
    };
    report("parse_plain", [&] {
        for (const std::string& text : plain)
            found += ParseLauncherLine(text).relativePath.empty() ? 0 : 1;
    });
    report("parse_pinned", [&] {
        for (const std::string& text : pinned)
            found += ParseLauncherLine(text).fields.sha256.empty() ? 0 : 1;
    });
    report("trace_line", [&] {
        for (const LauncherLine& line : lines)
            Trace::Narrow(line.relativePath), ++found;
    });
    report("create_folders", [&] {
        for (const LauncherLine& line : lines)
            Path::CreateFolders(line.path, folder), ++found;
    });
    report("file_exists", [&] {
        for (const std::wstring& target : targets)
            found += File::Exists(target) ? 1 : 0;
    });
    report("file_attributes", [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        for (const std::wstring& target : targets)
            found += GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) ? 1 : 0;
    });
    report("cache_parse", [&] { found += StatCache::Parse(cacheText).size(); });
    report("cache_lookup", [&] {
        StatCache cache = StatCache::Parse(cacheText);
        // A lookup under another time walks the map to the entry all the same.
        for (const LauncherLine& line : lines)
            found += cache.Lookup(line.relativePath, line.fields.size, 0).empty() ? 1 : 0;
    });
    report("pinned_present", [&] {
        BeginContentChecks(folder, false);
        for (std::size_t i = 0; i < lines.size(); ++i)
            found += PinnedCopyPresent(targets[i], lines[i].relativePath, lines[i].fields);
    });
    // The write alone: the lookups that fill the cache come before the clock starts.
    BeginContentChecks(folder, false);
    for (std::size_t i = 0; i < lines.size(); ++i)
        PinnedCopyPresent(targets[i], lines[i].relativePath, lines[i].fields);
    report("cache_write", [&] { EndContentChecks(true), found += 2; });
    // HashFile's parts: opening, reading, its 1 MiB buffer, and CNG over bytes in memory.
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]());
    report("open_close", [&] {
        for (const std::wstring& target : targets) {
            const HANDLE file = OpenForReading(target);
            found += file != INVALID_HANDLE_VALUE ? 1 : 0;
            CloseHandle(file);
        }
    });
    report("read_file", [&] {
        for (const std::wstring& target : targets) {
            const HANDLE file = OpenForReading(target);
            DWORD read = 0;
            while (ReadFile(file, buffer.get(), kBufferBytes, &read, nullptr) && read > 0)
                found += read;
            CloseHandle(file);
        }
    });
    report("buffer_1mib", [&] {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::unique_ptr<char[]> chunk(new (std::nothrow) char[kBufferBytes]);
            found += chunk ? 1 : 0;
        }
    });
    report("sha256_memory", [&] {
        for (const LauncherLine& line : lines) {
            Sha256 hash;
            hash.Add(buffer.get(), std::min<std::uint64_t>(line.fields.size, kBufferBytes));
            found += hash.Finish().size() == 64 ? 1 : 0;
        }
    });
    report("hash_reused_buffer", [&] { found += HashEach(targets, kBufferBytes, buffer.get()); });
    report("hash_fresh_buffer", [&] { found += HashEach(targets, kBufferBytes, nullptr); });
    report("hash_fresh_64k_buffer", [&] { found += HashEach(targets, 64 * 1024, nullptr); });
    report("hash_file", [&] {
        std::uint64_t size = 0;
        std::string hex;
        for (std::size_t i = 0; i < lines.size(); ++i)
            found += HashFile(targets[i], size, hex) && hex == lines[i].fields.sha256;
    });
    std::fprintf(stderr, "lines=%zu\n", lines.size());
    return 0;
}
