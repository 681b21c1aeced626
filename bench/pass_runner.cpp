// Runs one update pass and prints how long it took, for update_bench.py.
// usage: update_pass_runner.exe SERVER_URL SETUP_FOLDER
// SERVER_URL ends in "/" and holds AppGameUpload/uploadfile.uda; SETUP_FOLDER ends in "\".
#include <windows.h>

#include <cstdio>

#include "update/update_worker.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: update_pass_runner SERVER_URL SETUP_FOLDER\n");
        return 2;
    }
    UpdateServerSettings = ServerSettings{argv[1], argv[2], L"uploadfile.uda", L"AppGameUpload"};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    UpdateWorker();
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::fprintf(stderr, "pass_ms=%.1f entries=%llu\n", ms,
                 static_cast<unsigned long long>(UpdateEntryCount.load()));
    return 0;
}
