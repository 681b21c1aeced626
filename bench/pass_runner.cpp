// Runs one update pass and prints how long it took, for update_bench.py.
// usage: update_pass_runner.exe [--pause MS] SERVER_URL SETUP_FOLDER
// SERVER_URL ends in "/" and holds AppGameUpload/uploadfile.uda; SETUP_FOLDER ends in "\".
// Without --pause no progress callback is installed; with it, a callback that only counts the
// reports is, and the engine pauses MS milliseconds after each one, as in the launcher.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

#include "update/update_worker.h"

namespace {

std::atomic<unsigned long long> Reports{0};

void CountReport(std::uint32_t, std::uint32_t, std::uint32_t, const wchar_t*) {
    ++Reports;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int next = 1;
    if (argc == 5 && std::wcscmp(argv[1], L"--pause") == 0) {
        ProgressPauseMs = static_cast<std::uint32_t>(std::wcstoul(argv[2], nullptr, 10));
        DownloadProgressCallback = CountReport;
        next = 3;
    } else if (argc != 3) {
        std::fprintf(stderr, "usage: update_pass_runner [--pause MS] SERVER_URL SETUP_FOLDER\n");
        return 2;
    }
    UpdateServerSettings =
        ServerSettings{argv[next], argv[next + 1], L"uploadfile.uda", L"AppGameUpload"};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    UpdateWorker();
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::fprintf(stderr, "pass_ms=%.1f entries=%llu reports=%llu\n", ms,
                 static_cast<unsigned long long>(UpdateEntryCount.load()), Reports.load());
    return 0;
}
