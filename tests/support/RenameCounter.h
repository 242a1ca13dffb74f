#pragma once

#include <QByteArray>
#include <gtest/gtest.h>

#include "profile/SafeFile.h"

// Counts the saves the test program makes. Every save of a file ends in one rename of its
// temporary file over the target, announced to the hook of SafeFile.h, so a test can tell how
// many saves an action made. The counting hook is set again before each test, since a test may
// set a hook of its own.
namespace RenameCounter {

inline int count = 0;

struct Hook : ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &) override
    {
        setBeforeRenameHook([](const QByteArray &) { ++count; });
    }
};

inline const bool hooked = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new Hook);
    return true;
}();

} // namespace RenameCounter
