// A process that writes a large game file and is killed at a random moment must leave the file
// whole: exactly its old or its new content, never a mix or a truncated copy.

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "support/TempDir.h"

namespace {

// Fields of the driver's input lines escape everything outside printable ASCII.
QByteArray escaped(const QByteArray &field)
{
    QByteArray out;
    for (const char c : field) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (b < 0x20 || b > 0x7E)
            out += "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

QByteArray writeLine(const QByteArray &file, const QByteArray &section, const QByteArray &key,
                     const QByteArray &value)
{
    return "write\t" + escaped(file) + '\t' + escaped(section) + '\t' + escaped(key) + '\t' +
           escaped(value) + '\n';
}

} // namespace

TEST(WritebackKill, KilledWriterLeavesTheOldOrTheNewFile)
{
    TempDir dir;
    const QByteArray valueA = ' ' + QByteArray(4000, 'A') + " ; first";
    const QByteArray valueB = ' ' + QByteArray(4100, 'B') + " ; second";

    // About 1 MB of other lines around the key, so that every write takes a while.
    QByteArray head = "; a large file\r\n[filler_1]\r\n";
    QByteArray tail = "\r\n[filler_2]\r\n";
    for (int i = 0; i < 13000; ++i) {
        const QByteArray line = "line_" + QByteArray::number(i).rightJustified(5, '0') + " = " +
                                QByteArray(50, char('a' + i % 26)) + " ; filler\r\n";
        (i % 2 ? head : tail) += line;
    }
    head += "[target]\r\nsomething = 1\r\nvalue=";
    tail.prepend("\r\nafter = 2\r\n");
    const QByteArray contentA = head + valueA + tail;
    const QByteArray contentB = head + valueB + tail;
    ASSERT_GT(contentA.size(), 900 * 1000);

    const QString path = dir.write("big.ltx", contentA);
    const QByteArray bytePath = dir.bytePath("big.ltx");

    std::random_device device;
    const unsigned seed = device();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(0, 250);

    int roundsWithChange = 0;
    int killedWhileWriting = 0;
    QStringList leftovers;
    QByteArray current = contentA;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QProcess driver;
        driver.setProgram(QStringLiteral(PROFILE_DRIVER));
        driver.start();
        ASSERT_TRUE(driver.waitForStarted(5000));

        QByteArray input;
        for (int i = 0; i < 40; ++i)
            input += writeLine(bytePath, "target", "value", (i + round) % 2 ? valueA : valueB);
        driver.write(input);
        // The kill comes at a random moment after the driver's first write is through, however
        // long the driver takes to start (under an emulator, longer than the whole window).
        // Waiting for its answer feeds the pipe too.
        const auto answerBy = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (driver.bytesAvailable() == 0 && std::chrono::steady_clock::now() < answerBy &&
               driver.state() == QProcess::Running)
            driver.waitForReadyRead(100);

        // QProcess only feeds the pipe while it waits: keep feeding until the moment of the kill.
        const auto killAt =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs(random));
        while (driver.bytesToWrite() > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                killAt - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !driver.waitForBytesWritten(int(left.count()) + 1))
                break;
        }
        std::this_thread::sleep_until(killAt);
        if (driver.state() == QProcess::Running)
            ++killedWhileWriting;
        driver.kill();
        ASSERT_TRUE(driver.waitForFinished(5000));
        EXPECT_FALSE(driver.readAllStandardOutput().contains("fail"));

        const QByteArray now = TempDir::read(path);
        ASSERT_TRUE(now == contentA || now == contentB)
            << "file of " << now.size() << " bytes is neither the old nor the new content";
        if (now != current)
            ++roundsWithChange;
        current = now;

        const QStringList names =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &name : names) {
            if (name == QLatin1String("big.ltx"))
                continue;
            // Nothing left behind may pass for the file itself.
            EXPECT_NE(name.compare(QLatin1String("big.ltx"), Qt::CaseInsensitive), 0)
                << name.toStdString();
            if (!leftovers.contains(name))
                leftovers << name;
        }
    }

    // A later run still writes the file, leftovers or not.
    QProcess driver;
    driver.setProgram(QStringLiteral(PROFILE_DRIVER));
    driver.start();
    ASSERT_TRUE(driver.waitForStarted(5000));
    driver.write(writeLine(bytePath, "target", "value", current == contentA ? valueB : valueA));
    driver.closeWriteChannel();
    ASSERT_TRUE(driver.waitForFinished(10000));
    EXPECT_EQ(driver.readAllStandardOutput().trimmed(), QByteArray("ok"));
    EXPECT_EQ(TempDir::read(path), current == contentA ? contentB : contentA);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "[          ] " << killedWhileWriting << " of 30 drivers killed while running, "
              << roundsWithChange << " rounds changed the file, " << leftovers.size()
              << " other files left behind, " << seconds << " s" << std::endl;
    for (const QString &name : leftovers)
        std::cout << "[          ] left behind: " << name.toStdString() << std::endl;
    // The test must have caught writers in the act, not only idle ones.
    EXPECT_GT(killedWhileWriting, 0);
    EXPECT_GT(roundsWithChange, 0);
}
