// The apply history's costs: one append (every write to a game file pays two: its intent and its
// outcome), the first append of a run, reading a full history (the history window's opening),
// and what a command pays on a 100 MB history (its settling at start and its write's records).
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString benchFolder()
{
    const QByteArray chosen = qgetenv("BRANVIK_BENCH_DIR");
    return chosen.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(chosen);
}

// A record whose lines are padded to about lineBytes.
HistoryRecord record(int i, int lineBytes = 0)
{
    HistoryRecord r;
    r.time = 1700000000000 + i;
    r.stamp.group = i;
    r.change.file = "config\\creatures\\actor.ltx";
    r.change.section = "actor";
    r.change.key = "walk_accel_" + QByteArray::number(i);
    r.change.before = "walk_accel = 5 ; \xF3\xF1\xEA\xEE\xF0\xE5\xED\xE8\xE5";
    r.change.after = "walk_accel= 7 ; \xF3\xF1\xEA\xEE\xF0\xE5\xED\xE8\xE5" +
                     QByteArray(std::max(0, lineBytes - 200), 'x');
    return r;
}

QString fullHistory(const QTemporaryDir &dir, int records = ApplyHistory::DefaultLimit,
                    int lineBytes = 0)
{
    const QString path = dir.path() + "/History.log";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        for (int i = 0; i < records; ++i)
            file.write(ApplyHistory::encode(record(i, lineBytes)));
    return path;
}

void BM_AppendRecord(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    ApplyHistory history(dir.path() + "/History.log", 1 << 30);
    int i = 0;
    for (auto _ : state)
        if (!history.append(record(++i)))
            state.SkipWithError("append failed");
}
BENCHMARK(BM_AppendRecord)->Unit(benchmark::kMicrosecond);

void BM_FirstAppendOfARunToAFullHistory(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString path = fullHistory(dir);
    for (auto _ : state) {
        ApplyHistory history(path, 1 << 30);
        if (!history.append(record(0)))
            state.SkipWithError("append failed");
    }
}
BENCHMARK(BM_FirstAppendOfARunToAFullHistory)->Unit(benchmark::kMillisecond);

void BM_ReadFullHistory(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const ApplyHistory history(fullHistory(dir));
    for (auto _ : state)
        benchmark::DoNotOptimize(history.read().records.size());
}
BENCHMARK(BM_ReadFullHistory)->Unit(benchmark::kMillisecond);

// A row's write with the history recording it, against one without.
void BM_WriteParameter(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    QDir().mkpath(dir.path() + "/gamedata");
    ApplyHistory history(dir.path() + "/History.log", 1 << 30);
    WriteTarget target;
    target.gamedataFolder = QFile::encodeName(dir.path()) + "/gamedata/";
    const ParameterWriter writer(target, state.range(0) ? &history : nullptr);
    int value = 0;
    for (auto _ : state)
        if (!writer.writeParameter("a.ltx", "s", "k", " " + QByteArray::number(++value)))
            state.SkipWithError("write failed");
}
BENCHMARK(BM_WriteParameter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What one command (a --set) pays for the history when it holds 100 MB within its bound (10,000
// records of 10 kB): settling at start, then the write's intent and outcome in a new run.
void BM_CommandOn100MBHistory(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString path = fullHistory(dir, ApplyHistory::DefaultLimit, 10000);
    QDir().mkpath(dir.path() + "/gamedata");
    WriteTarget target;
    target.gamedataFolder = QFile::encodeName(dir.path()) + "/gamedata/";
    int value = 0;
    for (auto _ : state) {
        ApplyHistory history(path);
        history.settle(target.gamedataFolder);
        const ParameterWriter writer(target, &history);
        if (!writer.writeParameter("a.ltx", "s", "k", " " + QByteArray::number(++value)))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_CommandOn100MBHistory)->Unit(benchmark::kMillisecond);

// The same without the settling: the write's records alone.
void BM_WriteOn100MBHistory(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString path = fullHistory(dir, ApplyHistory::DefaultLimit, 10000);
    QDir().mkpath(dir.path() + "/gamedata");
    WriteTarget target;
    target.gamedataFolder = QFile::encodeName(dir.path()) + "/gamedata/";
    int value = 0;
    for (auto _ : state) {
        ApplyHistory history(path);
        const ParameterWriter writer(target, &history);
        if (!writer.writeParameter("a.ltx", "s", "k", " " + QByteArray::number(++value)))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WriteOn100MBHistory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
