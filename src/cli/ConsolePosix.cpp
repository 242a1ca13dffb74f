#include "cli/Console.h"

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

void prepareConsole() {}

ProcessUsage processUsage()
{
    ProcessUsage usage;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                usage.peakKiB = line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    usage.processorMs = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1000LL +
                        (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1000;
    return usage;
}
