// Reading many keys through profile-file handles against the floor of reading and parsing each
// file once. The program's start-up reads every catalogue entry's key from its game file, so most
// reads hit a file that is already parsed; they should cost little more than that one parse.
//
// The in-process cold figure reuses memory that earlier iterations freed, so it shows a fraction
// of what a new run of the program pays. The BM_FreshProcess benchmarks therefore run this
// executable again as a child per iteration; the child measures one thing in its new process and
// reports the CPU time it spent (user and system, page faults included; unlike the wall time it
// does not depend on what else the machine runs) and the heap bytes it holds afterwards:
//   read: each file's bytes read into memory and kept, nothing parsed (the floor);
//   load: one read through a handle per file, so each file is read and parsed once;
//   keys: the 10,000 reads of the warm benchmark, starting with no parsed copy.
// mem_ratio is the heap the child holds afterwards divided by the files' total size.
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

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

QByteArray filePath(const QByteArray &dir, int f)
{
    return dir + "/file_" + QByteArray::number(f) + ".ltx";
}

// The reads of the benchmarks, from their own random sequence, so that a child process can make
// them without generating the files' text.
std::vector<Query> makeQueries(const QByteArray &dir)
{
    std::mt19937 random(866);
    std::vector<Query> queries;
    queries.reserve(kReads);
    for (int i = 0; i < kReads; ++i) {
        const int f = int(random() % kFiles);
        queries.push_back({filePath(dir, f),
                           "WPN_" + QByteArray::number(f) + "_" +
                               QByteArray::number(int(random() % kSectionsPerFile)),
                           "Param_" + QByteArray::number(int(random() % kKeysPerSection))});
    }
    return queries;
}

class Corpus
{
public:
    static const Corpus &get()
    {
        static const Corpus corpus;
        return corpus;
    }

    QByteArray dir;
    std::vector<QByteArray> paths;
    std::vector<Query> queries;
    qint64 totalBytes = 0;

private:
    Corpus() : dir_(QDir::tempPath() + "/branvik-bench-XXXXXX")
    {
        dir = QFile::encodeName(dir_.path());
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
            const QByteArray path = filePath(dir, f);
            QFile file(QFile::decodeName(path));
            if (file.open(QIODevice::WriteOnly))
                file.write(text);
            totalBytes += text.size();
            paths.push_back(path);
        }
        queries = makeQueries(dir);
        QFile small(dir_.path() + "/warm-up.ini");
        if (small.open(QIODevice::WriteOnly))
            small.write("[s]\r\nk=v\r\n");
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

// 10,000 reads through handles, starting with no parsed copy (memory of earlier iterations is
// reused: see BM_FreshProcess for what a new process pays).
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
    ProfileFile::clearCache();
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

// The lookups of the same reads in files already parsed, with no handle and no check of the
// file: the index alone.
void BM_LookUpInParsedFiles(benchmark::State &state)
{
    const Corpus &corpus = Corpus::get();
    std::vector<IniDocument> documents;
    for (const QByteArray &path : corpus.paths) {
        QFile file(QFile::decodeName(path));
        file.open(QIODevice::ReadOnly);
        documents.push_back(IniDocument::parse(file.readAll()));
    }
    std::vector<const IniDocument *> byQuery;
    for (const Query &q : corpus.queries)
        byQuery.push_back(&documents[std::size_t(
            std::find(corpus.paths.begin(), corpus.paths.end(), q.path) - corpus.paths.begin())]);
    for (auto _ : state) {
        for (std::size_t i = 0; i < corpus.queries.size(); ++i) {
            const Query &q = corpus.queries[i];
            benchmark::DoNotOptimize(byQuery[i]->value(q.section, q.key));
        }
    }
    state.counters["per_lookup"] =
        benchmark::Counter(double(kReads) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LookUpInParsedFiles)->Unit(benchmark::kMillisecond);

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

// --- Fresh processes ---

std::size_t heapInUse()
{
    const struct mallinfo2 m = ::mallinfo2();
    return m.uordblks + m.hblkhd;
}

// The whole file in one read into a buffer of its size: the least any reader pays.
QByteArray readWhole(const QByteArray &path)
{
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        bytes.reserve(st.st_size); // exactly the size: resize alone would round the block up
        bytes.resize(st.st_size);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    return bytes;
}

std::int64_t cpuNanoseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// Runs in the child: measures one mode and prints "<CPU nanoseconds> <heap bytes held>".
int childMain(const std::string &mode, const QByteArray &dir)
{
    std::vector<QByteArray> paths;
    for (int f = 0; f < kFiles; ++f)
        paths.push_back(filePath(dir, f));
    const std::vector<Query> queries = makeQueries(dir);
    std::vector<QByteArray> kept;
    kept.reserve(kFiles);
    // Code paths used once before measuring (lazy set-up in Qt and the cache), on a tiny file.
    benchmark::DoNotOptimize(readWhole(dir + "/warm-up.ini"));
    benchmark::DoNotOptimize(ProfileFile(dir + "/warm-up.ini").readString("s", "k", ""));

    const std::size_t heapBefore = heapInUse();
    const std::int64_t start = cpuNanoseconds();
    if (mode == "read") {
        for (const QByteArray &path : paths)
            kept.push_back(readWhole(path));
    } else if (mode == "load") {
        for (const QByteArray &path : paths)
            benchmark::DoNotOptimize(ProfileFile(path).readString("s", "k", "012345"));
    } else if (mode == "keys") {
        for (const Query &q : queries)
            benchmark::DoNotOptimize(ProfileFile(q.path).readString(q.section, q.key, "012345"));
    } else {
        return 2;
    }
    const std::int64_t stop = cpuNanoseconds();
    const std::size_t heapAfter = heapInUse();
    std::printf("%lld %lld\n", static_cast<long long>(stop - start),
                static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore));
    return 0;
}

// Runs the child for one mode and returns its two figures; false when it failed.
bool runChild(const char *mode, const QByteArray &dir, long long *nanoseconds, long long *held)
{
    int out[2];
    if (::pipe(out) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe";
    char flag[] = "--fresh-child";
    std::string modeText = mode;
    QByteArray dirText = dir;
    char *argv[] = {self, flag, modeText.data(), dirText.data(), nullptr};
    pid_t pid;
    const int spawned = ::posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while (spawned == 0 && (n = ::read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    return std::sscanf(text.c_str(), "%lld %lld", nanoseconds, held) == 2;
}

void BM_FreshProcess(benchmark::State &state, const char *mode)
{
    const Corpus &corpus = Corpus::get();
    long long held = 0;
    for (auto _ : state) {
        long long nanoseconds = 0;
        if (!runChild(mode, corpus.dir, &nanoseconds, &held)) {
            state.SkipWithError("the child process failed");
            return;
        }
        state.SetIterationTime(double(nanoseconds) * 1e-9);
    }
    state.counters["mem_ratio"] = double(held) / double(corpus.totalBytes);
    state.counters["file_MB"] = double(corpus.totalBytes) / 1e6;
}
BENCHMARK_CAPTURE(BM_FreshProcess, read, "read")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_FreshProcess, load, "load")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_FreshProcess, keys, "keys")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--fresh-child") == 0)
        return childMain(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
