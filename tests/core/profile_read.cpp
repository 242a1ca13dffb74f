// Reading profile files from disk: defaults, long values, the integer rule, the shared
// parsed copy and its renewal when another program changes the file.
#include "profile/FileSystem.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

FileStamp stampOf(const QString &path)
{
    return fsys::entryAt(path).stamp;
}

} // namespace

TEST(ProfileRead, MissingFileSectionOrKeyGiveTheDefault)
{
    TempDir dir;
    dir.write("a.ini", "[s]\r\nk=v\r\nempty=\r\n");
    const ProfileFile file(dir.bytePath("a.ini"));
    EXPECT_EQ(file.readString("s", "k", "012345"), "v");
    EXPECT_EQ(file.readString("s", "other", "012345"), "012345");
    EXPECT_EQ(file.readString("t", "k", "012345"), "012345");
    EXPECT_EQ(file.readString("s", "empty", "012345"), "");
    EXPECT_EQ(ProfileFile(dir.bytePath("missing.ini")).readString("s", "k", "123"), "123");
    EXPECT_EQ(ProfileFile(dir.bytePath("no/such/folder.ini")).readInteger("s", "k", 12345), 12345);
}

// Values are read whole, however long (they used to be cut at 2,047 bytes, and writing a row
// back then lost the rest of the line).
TEST(ProfileRead, LongValuesAreReadWholeAndRoundTrip)
{
    TempDir dir;
    QByteArray longValue;
    for (int i = 0; longValue.size() < 100 * 1024; ++i)
        longValue += QByteArray::number(i) + (i % 7 ? "," : " ; ");
    const QByteArray text = "[s]\r\nbefore=1\r\nk=" + longValue + "\r\nq= \"" + longValue +
                            "\" \r\nn=" + QByteArray(5000, '0') + "42\r\nafter=2\r\n";
    const QString path = dir.write("long.ini", text);
    ProfileFile file(dir.bytePath("long.ini"));
    EXPECT_EQ(file.readString("s", "k", ""), longValue);
    EXPECT_EQ(file.readString("s", "q", ""), longValue);
    EXPECT_EQ(file.readString("s", "none", longValue), longValue);
    EXPECT_EQ(file.readInteger("s", "n", -1), 42);

    // Written back as read: the file stays byte for byte.
    ASSERT_TRUE(file.writeString("s", "k", file.readString("s", "k", "")));
    EXPECT_EQ(TempDir::read(path), text);

    // A changed value: only its line changes.
    const QByteArray changed = longValue + "x";
    ASSERT_TRUE(file.writeString("s", "k", changed));
    QByteArray expected = text;
    expected.replace("k=" + longValue + "\r\n", "k=" + changed + "\r\n");
    EXPECT_EQ(TempDir::read(path), expected);
    EXPECT_EQ(file.readString("s", "k", ""), changed);
}

TEST(ProfileRead, IntegerRule)
{
    const struct
    {
        const char *text;
        int expected;
    } cases[] = {
        {"10", 10},
        {"-12", -12},
        {"+7", 7},
        {"08", 8},
        {"  5\t", 5},
        {"'42'", 42},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0x00F0CAA6", 0x00F0CAA6},
        {"0xFFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        // everything below yields the default
        {"", 999},
        {"0x", 999},
        {"0xG", 999},
        {"-0x5", 999},
        {"12abc", 999},
        {"5 ; comment", 999},
        {"1.5", 999},
        {"-", 999},
        {"2147483648", 999},
        {"-2147483649", 999},
        {"0x100000000", 999},
        {"99999999999999999999", 999},
    };
    TempDir dir;
    QByteArray text = "[n]\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        text += "k" + QByteArray::number(qulonglong(i)) + "=" + cases[i].text + "\n";
    dir.write("n.ini", text);
    const ProfileFile file(dir.bytePath("n.ini"));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(file.readInteger("n", "k" + QByteArray::number(qulonglong(i)), 999),
                  cases[i].expected)
            << "text \"" << cases[i].text << "\"";
    EXPECT_EQ(file.readInteger("n", "absent", 12345), 12345);
}

TEST(ProfileRead, PathsMatchTheDiskInAnyCaseAndWithEitherSeparator)
{
    TempDir dir;
    dir.write("Gamedata/Config/Weapons.LTX", "[wpn]\ncost=100\n");
    dir.write(QStringLiteral("Настройки/Файл.ini"), "[s]\nk=1\n");
    EXPECT_EQ(ProfileFile(dir.bytePath() + "\\gamedata\\CONFIG\\weapons.ltx")
                  .readString("WPN", "Cost", ""),
              "100");
    EXPECT_EQ(ProfileFile(dir.bytePath() + cp(u"/НАСТРОЙКИ\\файл.INI")).readString("s", "k", ""),
              "1");
}

TEST(ProfileRead, AFolderOrAnUnreadableFileReadsAsMissing)
{
    TempDir dir;
    dir.write("sub/x.ini", "[s]\nk=1\n");
    EXPECT_EQ(ProfileFile(dir.bytePath("sub")).readString("s", "k", "def"), "def");
    const QString secret = dir.write("secret.ini", "[s]\nk=1\n");
    QFile::setPermissions(secret, QFileDevice::Permissions());
    if (QFileInfo(secret).isReadable())
        GTEST_SKIP() << "the file stays readable (root reads any file; Windows attributes cannot "
                        "take reading away)";
    EXPECT_EQ(ProfileFile(dir.bytePath("secret.ini")).readString("s", "k", "def"), "def");
    QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(ProfileFile(dir.bytePath("secret.ini")).readString("s", "k", "def"), "1");
}

TEST(ProfileRead, FileReplacedByAnotherProgramWithSameSizeAndTimeIsReadAgain)
{
    TempDir dir;
    const QString path = dir.write("game.ltx", "[s]\r\nk=1\r\n");
    const ProfileFile file(dir.bytePath("game.ltx"));
    ASSERT_EQ(file.readString("s", "k", ""), "1");
    const qint64 original = stampOf(path).modified;

    // Replaced by rename, with the very same size and modification time: only the inode differs.
    const QString replacement = dir.write("game.tmp", "[s]\r\nk=2\r\n");
    ASSERT_TRUE(fsys::setModifiedTime(replacement, original));
    ASSERT_TRUE(fsys::replace(replacement, path));
    EXPECT_EQ(file.readString("s", "k", ""), "2");

    // Rewritten in place, same size, same second (a step of 100 ns, the finest Windows keeps).
    const quint64 id = stampOf(path).fileId;
    dir.write("game.ltx", "[s]\r\nk=3\r\n");
    ASSERT_EQ(stampOf(path).fileId, id);
    const qint64 second = original - original % 1000000000;
    ASSERT_TRUE(fsys::setModifiedTime(path, second + (original - second + 100) % 1000000000));
    EXPECT_EQ(file.readString("s", "k", ""), "3");
}

TEST(ProfileRead, AFileCreatedAfterAReadIsFound)
{
    TempDir dir;
    const ProfileFile file(dir.bytePath("later.ltx"));
    EXPECT_EQ(file.readString("s", "k", "absent"), "absent");
    dir.write("LATER.LTX", "[s]\nk=now\n");
    EXPECT_EQ(file.readString("s", "k", "absent"), "now");
    QFile::remove(dir.path("LATER.LTX"));
    EXPECT_EQ(file.readString("s", "k", "absent"), "absent");
}

TEST(ProfileRead, WritesAreVisibleThroughEveryHandle)
{
    TempDir dir;
    dir.write("Shared.ini", "[s]\nk=1\n");
    const ProfileFile reader(dir.bytePath("Shared.ini"));
    const ProfileFile otherSpelling(dir.bytePath("shared.INI"));
    ASSERT_EQ(reader.readString("s", "k", ""), "1");
    ASSERT_EQ(otherSpelling.readString("s", "k", ""), "1");

    ProfileFile writer(dir.bytePath("Shared.ini"));
    ASSERT_TRUE(writer.writeString("s", "k", "2"));
    EXPECT_EQ(reader.readString("s", "k", ""), "2");
    EXPECT_EQ(otherSpelling.readString("s", "k", ""), "2");

    ProfileFile otherWriter(dir.bytePath("SHARED.ini"));
    ASSERT_TRUE(otherWriter.writeString("s", "k", "3"));
    EXPECT_EQ(reader.readString("s", "k", ""), "3");
    ASSERT_TRUE(otherWriter.deleteKey("s", "k"));
    EXPECT_EQ(reader.readString("s", "k", "gone"), "gone");
}
