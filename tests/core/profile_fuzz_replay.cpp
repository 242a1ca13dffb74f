// Inputs of the profile fuzz target replayed through its checks: the seed inputs and every input
// that once failed (kept in tests/data/fuzz-crashes once fixed).
#include "fuzz/ProfileFuzzCheck.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(ProfileFuzzReplay, SavedInputsPassEveryCheck)
{
    int replayed = 0;
    for (const char *folder : {"fuzz-corpus", "fuzz-crashes"}) {
        const QDir dir(QStringLiteral(BRANVIK_TEST_DATA "/") + QLatin1String(folder));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            if (name == QLatin1String("README"))
                continue;
            const QByteArray input = TempDir::read(dir.filePath(name));
            EXPECT_EQ(checkProfileInput(input), "") << folder << "/" << name.toStdString();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}
