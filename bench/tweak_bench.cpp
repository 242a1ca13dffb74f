// A large tweak on one game file: 20,000 key lines (changed keys, removed keys and keys the file
// lacks) reviewed against the file and written in one apply. Each run starts from the same file.
#include "gamefiles/ParameterWriter.h"
#include "tweaks/TweakApply.h"
#include "tweaks/TweakFile.h"
#include "tweaks/TweakReview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

QString benchFolder()
{
    const QByteArray chosen = qgetenv("BRANVIK_BENCH_DIR");
    return chosen.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(chosen);
}

constexpr int Sections = 200;
constexpr int KeysPerSection = 100;

// Every key of the generated file gets a new line; every tenth is removed instead, and each
// section gets one key it lacks.
QByteArray largeTweak()
{
    QByteArray text = ";> config\\large.ltx\r\n";
    for (int s = 0; s < Sections; ++s) {
        text += "[section_" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < KeysPerSection; ++k) {
            const QByteArray key = "key_" + QByteArray::number(k);
            text +=
                k % 10 == 9 ? ";- " + key + "\r\n" : key + " = " + QByteArray::number(k) + "\r\n";
        }
        text += "added_key = 1\r\n";
    }
    return text;
}

void BM_ApplyLargeTweak(benchmark::State &state)
{
    QTemporaryDir dir(benchFolder() + "/branvik-bench-XXXXXX");
    const QString file = dir.path() + "/gamedata/config/large.ltx";
    const QByteArray original = bench::generatedGameFile(Sections, KeysPerSection);
    WriteTarget target;
    target.gamedataFolder = QFile::encodeName(dir.path()) + "/gamedata/";
    const QByteArray tweak = largeTweak();
    for (auto _ : state) {
        state.PauseTiming();
        bench::writeFile(file, original);
        QFile::remove(file + ".bak");
        state.ResumeTiming();
        const auto review = Tweak::review(target.gamedataFolder, TweakFile::parse(tweak), false);
        const auto report =
            Tweak::apply(ParameterWriter(target), nullptr, review, "large.ltx", {}, false);
        if (!report.complete || report.written != Sections * (KeysPerSection + 1))
            state.SkipWithError("apply failed");
    }
}
BENCHMARK(BM_ApplyLargeTweak)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
