#include "bench/cputime.h"

#include <windows.h>

namespace {
// FILETIME counts 100-nanosecond intervals.
double milliseconds(const FILETIME &time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e4;
}
} // namespace

double threadCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    return milliseconds(kernel) + milliseconds(user);
}

double processCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    return milliseconds(kernel) + milliseconds(user);
}
