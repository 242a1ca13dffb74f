// Reading many keys through profile-file handles against the floor of reading and parsing each
// file once. The program's start-up reads every catalogue entry's key from its game file, so most
// reads hit a file that is already parsed; they should cost little more than that one parse.
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kFiles = 100;
constexpr int kSectionsPerFile = 100; // 20 lines each: 2,000 lines per file
constexpr int kKeysPerSection = 17;
constexpr int kReads = 10000;

struct Query
{
    QByteArray path;
    QByteArray section;
    QByteArray key;
};

class Corpus
{
public:
    static const Corpus &get()
    {
        static const Corpus corpus;
        return corpus;
    }

    std::vector<QByteArray> paths;
    std::vector<Query> queries;

private:
    Corpus() : dir_(QDir::tempPath() + "/branvik-bench-XXXXXX")
    {
        std::mt19937 random(1251);
        for (int f = 0; f < kFiles; ++f) {
            QByteArray text;
            for (int s = 0; s < kSectionsPerFile; ++s) {
                text += "[wpn_" + QByteArray::number(f) + "_" + QByteArray::number(s) +
                        "]:weapon_base,identity_immunities\r\n";
                for (int k = 0; k < kKeysPerSection; ++k) {
                    QByteArray key = "param_" + QByteArray::number(k);
                    key += QByteArray(std::max(1, 24 - int(key.size())), ' ');
                    text += key + "= " + QByteArray::number(random() % 100000) + "." +
                            QByteArray::number(random() % 100) +
                            "   ; \xEA\xEE\xEC\xEC\xE5\xED"
                            "\xF2\xE0\xF0\xE8\xE9 " +
                            QByteArray::number(k) + "\r\n";
                }
                text += "; ---------------------------------------------\r\n\r\n";
            }
            const QString path = dir_.path() + "/file_" + QString::number(f) + ".ltx";
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(text);
            paths.push_back(QFile::encodeName(path));
        }
        for (int i = 0; i < kReads; ++i) {
            const int f = int(random() % kFiles);
            queries.push_back({paths[size_t(f)],
                               "WPN_" + QByteArray::number(f) + "_" +
                                   QByteArray::number(int(random() % kSectionsPerFile)),
                               "Param_" + QByteArray::number(int(random() % kKeysPerSection))});
        }
    }

    QTemporaryDir dir_;
};

// Every file read from disk and parsed once: what any reader has to pay.
void BM_ReadAndParseEachFileOnce(benchmark::State &state)
{
    const Corpus &corpus = Corpus::get();
    for (auto _ : state) {
        for (const QByteArray &path : corpus.paths) {
            QFile file(QFile::decodeName(path));
            file.open(QIODevice::ReadOnly);
            const IniDocument doc = IniDocument::parse(file.readAll());
            benchmark::DoNotOptimize(doc.bytes().constData());
        }
    }
}
BENCHMARK(BM_ReadAndParseEachFileOnce)->Unit(benchmark::kMillisecond);

// 10,000 reads through handles, starting with no parsed copy.
void BM_ReadKeysCold(benchmark::State &state)
{
    const Corpus &corpus = Corpus::get();
    for (auto _ : state) {
        ProfileFile::clearCache();
        for (const Query &q : corpus.queries) {
            const QByteArray value = ProfileFile(q.path).readString(q.section, q.key, "012345");
            benchmark::DoNotOptimize(value.constData());
        }
    }
}
BENCHMARK(BM_ReadKeysCold)->Unit(benchmark::kMillisecond);

// The same reads with every file already parsed: the cost of one read on its own.
void BM_ReadKeysWarm(benchmark::State &state)
{
    const Corpus &corpus = Corpus::get();
    for (const Query &q : corpus.queries)
        ProfileFile(q.path).readString(q.section, q.key, "012345");
    for (auto _ : state) {
        for (const Query &q : corpus.queries) {
            const QByteArray value = ProfileFile(q.path).readString(q.section, q.key, "012345");
            benchmark::DoNotOptimize(value.constData());
        }
    }
    state.counters["per_read"] =
        benchmark::Counter(double(kReads) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadKeysWarm)->Unit(benchmark::kMillisecond);

// One stat of each read's file: the check every read makes that the parsed copy is still the
// file's content. Reads cannot cost less than this plus the parse.
void BM_StatPerRead(benchmark::State &state)
{
    const Corpus &corpus = Corpus::get();
    for (auto _ : state) {
        for (const Query &q : corpus.queries) {
            struct stat st;
            benchmark::DoNotOptimize(::stat(q.path.constData(), &st));
        }
    }
}
BENCHMARK(BM_StatPerRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
