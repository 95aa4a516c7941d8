// The benchmarks' clock: the performance counter, in milliseconds.
#pragma once

#include <windows.h>

inline double now_ms()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
