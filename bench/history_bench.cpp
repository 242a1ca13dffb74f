// The apply history's costs: one append (every write to a game file pays it), the first append
// of a run (which counts the file), and reading a full history (the history window's opening).
// Start-up reads nothing of it.
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

HistoryRecord record(int i)
{
    HistoryRecord r;
    r.time = 1700000000000 + i;
    r.group = i;
    r.file = "config\\creatures\\actor.ltx";
    r.section = "actor";
    r.key = "walk_accel_" + QByteArray::number(i);
    r.before = "walk_accel = 5 ; \xF3\xF1\xEA\xEE\xF0\xE5\xED\xE8\xE5";
    r.after = "walk_accel= 7 ; \xF3\xF1\xEA\xEE\xF0\xE5\xED\xE8\xE5";
    return r;
}

QString fullHistory(const QTemporaryDir &dir)
{
    const QString path = dir.path() + "/History.log";
    QByteArray bytes;
    for (int i = 0; i < ApplyHistory::DefaultLimit; ++i)
        bytes += ApplyHistory::encode(record(i));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
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

} // namespace

BENCHMARK_MAIN();
