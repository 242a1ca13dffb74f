#include "profile/FileSystem.h"

#include <atomic>

// What the file interface decides alike on every system; the calls into the system are in
// FileSystemPosix.cpp and FileSystemWindows.cpp.
namespace fsys {

namespace {

std::atomic<qint64> lockWait{FileLock::DefaultWait.count()};

} // namespace

std::chrono::milliseconds FileLock::defaultWait()
{
    return std::chrono::milliseconds(lockWait.load());
}

void FileLock::setDefaultWaitForTests(std::chrono::milliseconds wait)
{
    lockWait = wait.count();
}

FileLock FileLock::acquire(const QString &path, Outcome *outcome, QString *reason)
{
    return acquire(path, defaultWait(), outcome, reason);
}

} // namespace fsys
