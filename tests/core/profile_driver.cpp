// The profile driver run as a separate process through a pipe, as scripts use it.
#include "support/TempDir.h"
#include "support/TestSystem.h"

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
    QByteArray output = testsys::consoleText(driver.readAllStandardOutput());
    if (output.endsWith('\n'))
        output.chop(1);
    return output.split('\n');
}

// The script's lines joined, with every "@" standing for the file's path.
QByteArray script(std::initializer_list<const char *> lines, const QByteArray &file)
{
    QByteArray text;
    for (const char *line : lines)
        text += QByteArray(line).replace("@", file) + '\n';
    return text;
}

} // namespace

TEST(ProfileDriver, OperationsAndEscaping)
{
    TempDir dir;
    dir.write("game.ltx", "[wpn]\r\ncost = 1500 ; \xF6\xE5\xED\xE0\r\nhex=0x10\r\n");
    const QList<QByteArray> out = runDriver(script(
        {
            "read\t@\tWPN\tcost\t-",
            "readint\t@\twpn\thex\t0",
            "readint\t@\twpn\tcost\t-7",
            "write\t@\t\\xd1\\xe5\\xea\\xf6\\xe8\\xff\tk\\\\ey\ta\\tb\\\\c",
            "read\t@\t\\xf1\\xc5\\xca\\xd6\\xc8\\xdf\tk\\\\EY\t",
            "write\t@\twpn\tcost\t1\\r\\n[x]",
            "delete\t@\twpn\thex",
            "read\t@\twpn\thex\tgone",
            "read\t@\twpn\tcost\t",
        },
        dir.bytePath("game.ltx")));
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
    const QList<QByteArray> out = runDriver(script(
        {
            "frobnicate\ta",               // unknown operation
            "read\t@\ts",                  // too few fields
            "",                            // empty line
            "read\t@\ts\tk\tbad\\q",       // unknown escape
            "read\t@\ts\tk\tbad\\x4",      // short hex escape
            "readint\t@\ts\tk\tseven",     // default not a number
            "read\trelative.ini\ts\tk\td", // path not absolute
            "write\t@\ts\tk\tv",
            "read\t@\ts\tk\td\r", // a CRLF line end is taken as LF
        },
        dir.bytePath("x.ini")));
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
        runDriver(script({"write\t@\ts\tk\tv"}, dir.bytePath("missing/x.ini")));
    EXPECT_EQ(out, QList<QByteArray>{"fail"});
}
