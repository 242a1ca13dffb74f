// libFuzzer target: arbitrary bytes through the profile parser, reads and one edit (see
// ProfileFuzzCheck.h). Built with -DBRANVIK_FUZZ=ON and clang; README.md says how to run it.
#include "ProfileFuzzCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string failure =
        checkProfileInput(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!failure.empty()) {
        std::fprintf(stderr, "profile check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
