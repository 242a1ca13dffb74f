#include "cli/Console.h"

#include <cstdio>

#include <windows.h>

#include <psapi.h>

namespace {

bool missing(DWORD stream)
{
    const HANDLE h = GetStdHandle(stream);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
}

} // namespace

void prepareConsole()
{
    const bool out = missing(STD_OUTPUT_HANDLE), err = missing(STD_ERROR_HANDLE);
    if ((out || err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (out)
            std::freopen("CONOUT$", "w", stdout);
        if (err)
            std::freopen("CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
}

ProcessUsage processUsage()
{
    ProcessUsage usage;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        const auto ticks = [](const FILETIME &t) {
            return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        usage.processorMs = (ticks(kernel) + ticks(user)) / 10000;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        usage.peakKiB = static_cast<long long>(memory.PeakWorkingSetSize / 1024);
    return usage;
}
