#include "cli/Console.h"

#include <cstdio>

#include <windows.h>

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
