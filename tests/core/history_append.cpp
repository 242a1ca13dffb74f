// Appending to the apply history never waits: anything but a regular file named History.log is
// refused at once with a reason, and the game-file write it follows stays done.
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "profile/FileSystem.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

namespace {

// Runs op on its own thread; an op that blocks fails the test instead of hanging it (the FIFO is
// then opened from here, so a blocked open returns).
template <typename Op> auto promptly(const QString &fifo, Op op)
{
    using Result = decltype(op());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(op));
    std::future<Result> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on " << fifo.toStdString();
        testsys::unblockFifo(fifo);
        if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            std::fprintf(stderr, "still blocked on %s; giving up\n", qPrintable(fifo));
            std::_Exit(1);
        }
    }
    return result.get();
}

} // namespace

TEST(HistoryAppend, OnlyARegularFileIsAppendedTo)
{
    TempDir dir;
    struct Case
    {
        const char *what;
        std::function<void(const QString &name)> make; // what is at the name before
        bool appended;
        QByteArray after; // a regular file's content afterwards
    };
    const Case cases[] = {
        {"no file", [](const QString &) {}, true, "line\n"},
        {"a file", [&](const QString &name) { dir.write(name, "old\n"); }, true, "old\nline\n"},
        {"a file whose last line was cut short",
         [&](const QString &name) { dir.write(name, "old\ncut"); }, true, "old\ncut\nline\n"},
        {"a FIFO", [&](const QString &name) { testsys::makeFifo(dir.path(name)); }, false, {}},
        {"a link to a FIFO",
         [&](const QString &name) {
             testsys::makeFifo(dir.path(name + ".fifo"));
             testsys::makeSymlink(dir.path(name + ".fifo"), dir.path(name));
         },
         false,
         {}},
        {"a folder", [&](const QString &name) { QDir().mkpath(dir.path(name)); }, false, {}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = "case" + QString::number(++n);
        const QString path = dir.path(name);
        c.make(name);
        // Where the system has no FIFOs, nothing is at the name.
        if (!c.appended && !QFileInfo::exists(path))
            continue;
        QString reason;
        EXPECT_EQ(promptly(path, [&] { return fsys::appendToFile(path, "line\n", true, &reason); }),
                  c.appended);
        if (c.appended) {
            EXPECT_EQ(TempDir::read(path), c.after);
        } else {
            EXPECT_FALSE(reason.isEmpty());
        }
    }
}

TEST(HistoryAppend, AFifoAsTheHistoryFailsTheRecordNotTheWrite)
{
    TempDir dir;
    dir.write("gamedata/a.ltx", "[s]\r\nx = 1\r\n");
    const QString log = dir.path("History.log");
    if (const QString why = testsys::makeFifo(log); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ApplyHistory history(log);
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    ParameterWriter writer(target, &history);

    QString error;
    const bool written = promptly(log, [&] {
        const WriteResult result = writer.writeParameter("a.ltx", "s", "x", " 2");
        error = result.historyProblem;
        return bool(result);
    });
    EXPECT_TRUE(written);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), "[s]\r\nx= 2\r\n");
    EXPECT_TRUE(error.contains(log) && error.contains(QStringLiteral("не обычный файл")))
        << error.toStdString();
    EXPECT_TRUE(testsys::isFifo(log));
}
