#include "profile/FileSystem.h"

#include <atomic>
#include <utility>

// What the file interface decides alike on every system; the calls into the system are in
// FileSystemPosix.cpp and FileSystemWindows.cpp.
namespace fsys {

namespace {

std::atomic<qint64> lockWait{FileLock::DefaultWait.count()};

} // namespace

QString folderHolding(const QString &diskPath)
{
    const qsizetype slash = diskPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype root = rootLength(diskPath);
    if (slash < root)
        return root > 0 ? diskPath.left(root) : QStringLiteral(".");
    return diskPath.left(slash);
}

FileLock::FileLock(FileLock &&other) noexcept
    : handle_(std::exchange(other.handle_, -1)), lockPath_(std::move(other.lockPath_))
{
}

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, -1);
        lockPath_ = std::move(other.lockPath_);
    }
    return *this;
}

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
