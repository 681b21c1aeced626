// Runs one update pass and prints how long it took and the process's peak working set, for the
// benchmarks in bench/.
// usage: update_pass_runner.exe [--pause MS] [--repair] [--list-key HEX] [--limit KIBS]
//        [--mirror URL]... [--idle] SERVER_URL SETUP_FOLDER
// SERVER_URL ends in "/" and holds AppGameUpload/uploadfile.uda; SETUP_FOLDER ends in "\".
// Without --pause no progress callback is installed; with it, a callback that only counts the
// reports is, and the engine pauses MS milliseconds after each one, as in the launcher.
// --repair runs the pass as the launcher's /repair switch does: no early stop at an unchanged
// version, no stat cache.
// --list-key runs the pass as a launcher built with that list key (X then Y, 128 hex digits, as
// cmake/list_key.py prints it) does: signed lists only, each release installed whole.
// --mirror adds a base URL asked after SERVER_URL, as a launcher built with several does.
// --limit holds the pass's downloads to KIBS KiB/s together, as the launcher's /limit=N does.
// --idle runs no pass: the figures of the program that only started, the baseline of a pass's.
#include <windows.h>
// psapi.h after windows.h, which it needs.
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "elapsed.h"
#include "update/update_worker.h"

namespace {

std::atomic<unsigned long long> Reports{0};

void CountReport(std::uint32_t, std::uint32_t, std::uint32_t, const wchar_t*) {
    ++Reports;
}

// "0a1b..." -> its bytes; empty for text that is not an even run of hex digits.
std::string FromHex(const wchar_t* hex) {
    std::string bytes;
    const auto nibble = [](wchar_t c) {
        return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
    };
    for (; hex[0] && hex[1]; hex += 2) {
        if (nibble(hex[0]) < 0 || nibble(hex[1]) < 0)
            return {};
        bytes.push_back(static_cast<char>(nibble(hex[0]) << 4 | nibble(hex[1])));
    }
    return hex[0] ? std::string() : bytes;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int next = 1;
    PassOptions options;
    std::vector<std::wstring> mirrors;
    bool idle = false;
    for (; next < argc && std::wcsncmp(argv[next], L"--", 2) == 0; ++next) {
        if (std::wcscmp(argv[next], L"--pause") == 0 && next + 1 < argc) {
            ProgressPauseMs = static_cast<std::uint32_t>(std::wcstoul(argv[++next], nullptr, 10));
            DownloadProgressCallback = CountReport;
        } else if (std::wcscmp(argv[next], L"--mirror") == 0 && next + 1 < argc) {
            mirrors.push_back(argv[++next]);
        } else if (std::wcscmp(argv[next], L"--repair") == 0) {
            options.repair = true;
        } else if (std::wcscmp(argv[next], L"--idle") == 0) {
            idle = true;
        } else if (std::wcscmp(argv[next], L"--limit") == 0 && next + 1 < argc) {
            options.limitKiBs = static_cast<std::uint32_t>(std::wcstoul(argv[++next], nullptr, 10));
        } else if (std::wcscmp(argv[next], L"--list-key") == 0 && next + 1 < argc) {
            options.listKey = FromHex(argv[++next]);
            if (options.listKey.empty()) {
                std::fprintf(stderr, "--list-key takes the key's X and Y in hex\n");
                return 2;
            }
        } else {
            break;
        }
    }
    if (argc - next != 2) {
        std::fprintf(
            stderr,
            "usage: update_pass_runner [--pause MS] [--repair] [--list-key HEX] [--limit KIBS] "
            "[--mirror URL]... [--idle] SERVER_URL SETUP_FOLDER\n");
        return 2;
    }
    UpdateServerSettings =
        ServerSettings{argv[next], argv[next + 1], L"uploadfile.uda", L"AppGameUpload", mirrors};
    UpdatePassOptions = options;
    const double ms = idle ? 0.0 : ElapsedMs(UpdateWorker);
    // The most memory the process held at once, the pass included (0 when it cannot be read).
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        memory.PeakWorkingSetSize = 0;
    std::fprintf(stderr, "pass_ms=%.1f entries=%llu reports=%llu peak_working_set=%llu\n", ms,
                 static_cast<unsigned long long>(UpdateEntryCount.load()), Reports.load(),
                 static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return 0;
}
