#pragma once

#include <dlfcn.h>
#include <stdio.h>

// Counts the renames the test program makes. Every save of a file ends in one rename of its
// temporary file over the target, so a test can tell how many saves an action made. Include this
// header in exactly one source file of a test program: it defines the program's rename().
namespace RenameCounter {
inline int count = 0;
}

extern "C" int rename(const char *from, const char *to) noexcept
{
    using Rename = int (*)(const char *, const char *);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    ++RenameCounter::count;
    return real(from, to);
}
