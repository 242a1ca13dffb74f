// Peak memory of one key written to a large game file, in a fresh process: run it once per case
// and compare the peak with the file's size. "read" reads a key first, as the program does before
// it writes (the write then starts from the parsed copy); "write" writes at once.
//   write_memory [size-in-MB] [read|write]
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

namespace {

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    const qsizetype megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const bool readFirst = argc > 2 && QByteArray(argv[2]) == "read";
    const QByteArray chosen = qgetenv("BRANVIK_BENCH_DIR");
    QTemporaryDir dir((chosen.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(chosen)) +
                      "/branvik-bench-XXXXXX");
    const QString path = dir.path() + "/game.ltx";
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("[s]\r\nk = 1 ; one\r\n");
        const QByteArray filler(40, 'x');
        for (int i = 0; file.size() < megabytes << 20; ++i)
            file.write("filler_" + QByteArray::number(i) + " = " + filler + "\r\n");
    }
    const long sizeKb = static_cast<long>(QFileInfo(path).size() >> 10);
    const long startKb = peakKb();
    ProfileFile file(QFile::encodeName(path));
    long readKb = 0;
    if (readFirst) {
        if (file.readString("s", "k", "") != "1 ; one")
            return 1;
        readKb = peakKb();
    }
    if (!file.writeInteger("s", "k", 2) || file.readInteger("s", "k", 0) != 2)
        return 1;
    const long writeKb = peakKb();
    std::printf("file %ld KB, start %ld KB", sizeKb, startKb);
    if (readFirst)
        std::printf(", read peak %ld KB (%.2fx)", readKb,
                    double(readKb - startKb) / double(sizeKb));
    std::printf(", write peak %ld KB (%.2fx the file)\n", writeKb,
                double(writeKb - startKb) / double(sizeKb));
    return 0;
}
