// The profile driver run as a separate process through a pipe, as scripts use it.
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

// Feeds the lines to the driver and returns its output lines.
QList<QByteArray> runDriver(const QByteArray &input)
{
    QProcess driver;
    driver.start(QStringLiteral(PROFILE_DRIVER), QStringList());
    if (!driver.waitForStarted(10000))
        return {"driver did not start"};
    driver.write(input);
    driver.closeWriteChannel();
    if (!driver.waitForFinished(30000))
        return {"driver did not finish"};
    QByteArray output = driver.readAllStandardOutput();
    if (output.endsWith('\n'))
        output.chop(1);
    return output.split('\n');
}

} // namespace

TEST(ProfileDriver, OperationsAndEscaping)
{
    TempDir dir;
    dir.write("game.ltx", "[wpn]\r\ncost = 1500 ; \xF6\xE5\xED\xE0\r\nhex=0x10\r\n");
    const QByteArray f = dir.bytePath("game.ltx");
    const QByteArray script = "read\t" + f + "\tWPN\tcost\t-\n"
                              "readint\t" + f + "\twpn\thex\t0\n"
                              "readint\t" + f + "\twpn\tcost\t-7\n"
                              "write\t" + f + "\t\\xd1\\xe5\\xea\\xf6\\xe8\\xff\tk\\\\ey\ta\\tb\\\\c\n"
                              "read\t" + f + "\t\\xf1\\xc5\\xca\\xd6\\xc8\\xdf\tk\\\\EY\t\n"
                              "write\t" + f + "\twpn\tcost\t1\\r\\n[x]\n"
                              "delete\t" + f + "\twpn\thex\n"
                              "read\t" + f + "\twpn\thex\tgone\n"
                              "read\t" + f + "\twpn\tcost\t\n";
    const QList<QByteArray> out = runDriver(script);
    const QList<QByteArray> expected = {
        "1500 ; \\xf6\\xe5\\xed\\xe0",
        "16",
        "-7",
        "ok",
        "a\\tb\\\\c",
        "fail", // a line break would split the line
        "ok",
        "gone",
        "1500 ; \\xf6\\xe5\\xed\\xe0",
    };
    EXPECT_EQ(out, expected);
    EXPECT_EQ(TempDir::read(dir.path("game.ltx")),
              "[wpn]\r\ncost = 1500 ; \xF6\xE5\xED\xE0\r\n"
              "[\xD1\xE5\xEA\xF6\xE8\xFF]\r\nk\\ey=a\tb\\c\r\n");
}

TEST(ProfileDriver, MalformedLinesReportAnErrorAndTheRunGoesOn)
{
    TempDir dir;
    const QByteArray f = dir.bytePath("x.ini");
    const QList<QByteArray> out = runDriver("frobnicate\ta\n"
                                            "read\t" + f + "\ts\n"
                                            "\n"
                                            "read\t" + f + "\ts\tk\tbad\\q\n"
                                            "read\t" + f + "\ts\tk\tbad\\x4\n"
                                            "readint\t" + f + "\ts\tk\tseven\n"
                                            "read\trelative.ini\ts\tk\td\n"
                                            "write\t" + f + "\ts\tk\tv\n"
                                            "read\t" + f + "\ts\tk\td\r\n");
    ASSERT_EQ(out.size(), 9);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(out[i].startsWith("error: ")) << i << ": " << out[i].constData();
    EXPECT_EQ(out[7], "ok");
    EXPECT_EQ(out[8], "v");
}

TEST(ProfileDriver, WriteFailureIsReported)
{
    TempDir dir;
    const QList<QByteArray> out =
        runDriver("write\t" + dir.bytePath("missing/x.ini") + "\ts\tk\tv\n");
    EXPECT_EQ(out, QList<QByteArray>{"fail"});
}
