// The cost of a checked save: a temporary file written, flushed to the disk and renamed over the
// file. Every apply of a row saves its game file once, so this is the disk's share of an apply.
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QByteArray gameFile(qsizetype size)
{
    QByteArray bytes = "[s]\r\nk = 1 ; one\r\n";
    for (int i = 0; bytes.size() < size; ++i)
        bytes += "filler_" + QByteArray::number(i) + " = " + QByteArray(40, 'x') + "\r\n";
    return bytes;
}

// The benchmark folder sits on the same file system as the program's files would (not /tmp when
// that is a tmpfs): BRANVIK_BENCH_DIR chooses another.
QString benchFolder()
{
    const QByteArray chosen = qgetenv("BRANVIK_BENCH_DIR");
    return chosen.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(chosen);
}

void BM_SaveFile(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString path = dir.path() + "/game.ltx";
    const QByteArray bytes = gameFile(state.range(0));
    for (auto _ : state) {
        if (!saveFile(path, bytes))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_SaveFile)->Arg(2 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// One key written through a profile handle: read afresh, edit one line, save.
void BM_WriteKey(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString path = dir.path() + "/game.ltx";
    if (!saveFile(path, gameFile(state.range(0))))
        state.SkipWithError("set-up failed");
    ProfileFile file(QFile::encodeName(path));
    int value = 0;
    for (auto _ : state) {
        if (!file.writeInteger("s", "k", ++value))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WriteKey)->Arg(2 << 10)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
