#pragma once
// Wall time of one step, measured inside the Windows program so that Wine's start-up is not in it.
#include <windows.h>

// Milliseconds that step takes.
template <typename Step> double ElapsedMs(Step&& step) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    step();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}
