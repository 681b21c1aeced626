// Downloads a list of URLs one after another with the bare platform call, for update_bench.py:
// the floor that URLDownloadToFileW sets for the engine. No callback, no checks, no temporary
// name; only the cache entry is dropped after each file, as the engine does.
// usage: download_floor.exe LIST_FILE
// LIST_FILE holds one "URL<TAB>TARGET" line per file, in UTF-8; the targets' folders exist.
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "elapsed.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], units);
    return wide;
}

// The list's pairs of URL and target; empty when the file cannot be read or a line is malformed.
std::vector<std::pair<std::wstring, std::wstring>> ReadList(const wchar_t* path) {
    std::vector<std::pair<std::wstring, std::wstring>> list;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            return {};
        list.emplace_back(Wide(line.substr(0, tab)), Wide(line.substr(tab + 1)));
    }
    return list;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: download_floor LIST_FILE\n");
        return 2;
    }
    const auto list = ReadList(argv[1]);
    if (list.empty()) {
        std::fprintf(stderr, "download_floor: no URL<TAB>TARGET lines in %ls\n", argv[1]);
        return 2;
    }
    bool failed = false;
    const double ms = ElapsedMs([&] {
        for (const auto& [url, target] : list) {
            const HRESULT result =
                URLDownloadToFileW(nullptr, url.c_str(), target.c_str(), 0, nullptr);
            DeleteUrlCacheEntryW(url.c_str());
            if (result != S_OK) {
                std::fprintf(stderr, "download_floor: %ls failed: 0x%08lx\n", url.c_str(),
                             static_cast<unsigned long>(result));
                failed = true;
                return;
            }
        }
    });
    if (failed)
        return 1;
    std::fprintf(stderr, "floor_ms=%.1f files=%zu\n", ms, list.size());
    return 0;
}
