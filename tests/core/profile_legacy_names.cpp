// Game files and folders whose names on disk are Windows-1251 bytes, as old unpackers write
// them: found, read and written under those bytes, with no second UTF-8-named file.

#include "changes/ChangeList.h"
#include "gamefiles/Backup.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/DiskPath.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

#include <gtest/gtest.h>

#include <QList>

namespace {

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

QByteArray utf8(const char16_t *text)
{
    return QString::fromUtf16(text).toUtf8();
}

// Creates the file at a byte path (folders on the way too), so no name is re-encoded on the way.
void writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    ASSERT_TRUE(testsys::writeRaw(path, bytes)) << path.toStdString();
}

using testsys::listRaw;
using testsys::readRaw;

// A temporary folder whose contents are removed by their bytes: the folder's own removal goes
// through names it cannot spell back.
class LegacyDir : public TempDir
{
public:
    LegacyDir() = default;
    LegacyDir(const LegacyDir &) = delete;
    LegacyDir &operator=(const LegacyDir &) = delete;
    ~LegacyDir()
    {
        const QByteArray root = nativePath(path());
        for (const QByteArray &name : listRaw(root))
            testsys::removeRaw(root + '/' + name);
    }
};

class ProfileLegacyNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = testsys::byteNamesMissing(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
};

} // namespace

TEST_F(ProfileLegacyNames, DiskPathsKeepEveryByteAndShowWindows1251)
{
    QByteArray every;
    for (int b = 1; b < 256; ++b)
        every += char(b);
    for (const QByteArray &native :
         {every, cp(u"/игра/Оружие.ltx"), utf8(u"/игра/Оружие.ltx"),
          QByteArray("\xED\xA0\x80\xC0\xAF"), QByteArray("a\xF0\x9F\x98\x80\xF0\x9F")})
        EXPECT_EQ(nativePath(fromNativePath(native)), native) << native.toHex().toStdString();
    EXPECT_EQ(fromNativePath(utf8(u"/игра/x")), QStringLiteral("/игра/x"));
    EXPECT_EQ(shownPath(fromNativePath(cp(u"/игра/") + utf8(u"Оружие.ltx"))),
              QStringLiteral("/игра/Оружие.ltx"));
}

TEST_F(ProfileLegacyNames, NamesAreLookedUpInUtf8FirstThenInWindows1251)
{
    struct Case
    {
        const char *what;
        QList<QByteArray> onDisk; // files, relative to the folder
        const char16_t *asked;    // the catalogue's path
        QByteArray found;         // the native path it resolves to
    };
    const QList<Case> cases = {
        {"Windows-1251 only", {cp(u"Оружие.ltx")}, u"оружие.LTX", cp(u"Оружие.ltx")},
        {"both: UTF-8 wins",
         {cp(u"Оружие.ltx"), utf8(u"оружие.ltx")},
         u"Оружие.ltx",
         utf8(u"оружие.ltx")},
        {"exact Windows-1251 before other case",
         {cp(u"ФАЙЛ.ltx"), cp(u"Файл.ltx")},
         u"Файл.ltx",
         cp(u"Файл.ltx")},
        {"folder in Windows-1251",
         {cp(u"Конфиг/Оружие/a.ltx")},
         u"конфиг\\ОРУЖИЕ\\a.ltx",
         cp(u"Конфиг/Оружие/a.ltx")},
        {"UTF-8 folder, Windows-1251 file",
         {utf8(u"Конфиг/") + cp(u"Броня.ltx")},
         u"Конфиг\\броня.ltx",
         utf8(u"Конфиг/") + cp(u"Броня.ltx")},
        {"new file stays UTF-8",
         {cp(u"Конфиг/a.ltx")},
         u"Конфиг\\Новый.ltx",
         cp(u"Конфиг/") + utf8(u"Новый.ltx")},
    };
    for (const Case &c : cases) {
        LegacyDir dir;
        const QByteArray base = nativePath(dir.path()) + '/';
        for (const QByteArray &file : c.onDisk)
            writeRaw(base + file, "x");
        EXPECT_EQ(nativePath(resolveDiskPath(cp1251::encode(dir.path() + '/') +
                                             cp1251::encode(QString::fromUtf16(c.asked)))),
                  base + c.found)
            << c.what;
    }
}

TEST_F(ProfileLegacyNames, ReadsAndWritesChangeTheFileUnderItsWindows1251Name)
{
    LegacyDir dir;
    const QByteArray folder = nativePath(dir.path()) + "/gamedata/" + cp(u"Конфиг");
    const QByteArray file = folder + '/' + cp(u"Оружие.ltx");
    const QByteArray original =
        "; \xCE\xF0\xF3\xE6\xE8\xE5\r\n[wpn]\r\ncost = 10 ; old\r\nrun=1\r\n";
    writeRaw(file, original);
    writeRaw(folder + '/' + cp(u"Броня.ltx"), "[a]\nk=1\n");
    writeRaw(folder + '/' + cp(u"Броня.ltx") + ".bak", "older backup");
    const QByteArray gamedata = cp1251::encode(dir.path()) + "/gamedata/";

    EXPECT_EQ(ProfileFile(gamedata + cp(u"конфиг\\оружие.ltx")).readString("wpn", "cost", "-"),
              QByteArray("10 ; old"));
    EXPECT_TRUE(isInsideGamedata(gamedata, cp(u"конфиг\\оружие.ltx")));

    ParameterWriter writer(WriteTarget{gamedata, false, {}});
    ASSERT_TRUE(writer.writeParameter(cp(u"Конфиг\\ОРУЖИЕ.ltx"), "wpn", "cost", " 20 ; new"));
    ASSERT_TRUE(writer.writeParameter(cp(u"Конфиг\\Оружие.ltx"), "wpn", "run", "2"));
    ASSERT_TRUE(writer.writeParameter(cp(u"Конфиг\\Броня.ltx"), "a", "k", "2"));
    EXPECT_EQ(readRaw(file),
              QByteArray("; \xCE\xF0\xF3\xE6\xE8\xE5\r\n[wpn]\r\ncost= 20 ; new\r\nrun=2\r\n"));
    // The backup is taken once, under the same bytes; an existing one stays as it was.
    EXPECT_EQ(readRaw(file + ".bak"), original);
    EXPECT_EQ(readRaw(folder + '/' + cp(u"Броня.ltx") + ".bak"), QByteArray("older backup"));
    EXPECT_EQ(readRaw(folder + '/' + cp(u"Броня.ltx")), QByteArray("[a]\nk=2\n"));
    EXPECT_EQ(listRaw(folder), QList<QByteArray>({cp(u"Броня.ltx"), cp(u"Броня.ltx") + ".bak",
                                                  cp(u"Оружие.ltx"), cp(u"Оружие.ltx") + ".bak"}));
    EXPECT_EQ(listRaw(nativePath(dir.path()) + "/gamedata"), QList<QByteArray>({cp(u"Конфиг")}));

    // The change list compares the file with its backup and restores a key under the same bytes.
    const QList<LineChange> found = ChangeList::changesOf(gamedata, cp(u"конфиг\\оружие.ltx"));
    ASSERT_EQ(found.size(), 2);
    ASSERT_EQ(found.at(0).key, "cost");
    ASSERT_TRUE(
        ChangeList::restoreKey(ParameterWriter(WriteTarget{gamedata, false, {}}), found.at(0)));
    EXPECT_EQ(readRaw(file),
              QByteArray("; \xCE\xF0\xF3\xE6\xE8\xE5\r\n[wpn]\r\ncost = 10 ; old\r\nrun=2\r\n"));

    // A copy onto an existing Windows-1251 name replaces that file.
    ASSERT_TRUE(saveCopy(resolveDiskPath(gamedata + cp(u"Конфиг\\Броня.ltx")),
                         resolveDiskPath(gamedata + cp(u"Конфиг\\Оружие.ltx.bak"))));
    EXPECT_EQ(readRaw(file + ".bak"), QByteArray("[a]\nk=2\n"));
    EXPECT_EQ(listRaw(folder).size(), 4);
}

TEST_F(ProfileLegacyNames, LinksWithWindows1251NamesAreCheckedLikeAnyOther)
{
    LegacyDir dir;
    const QByteArray root = nativePath(dir.path());
    writeRaw(root + "/outside/secret.ltx", "[s]\nk=1\n");
    writeRaw(root + "/gamedata/" + cp(u"Папка") + "/in.ltx", "[s]\nk=1\n");
    ASSERT_EQ(testsys::makeSymlinkRaw(root + "/outside", root + "/gamedata/" + cp(u"Наружу")),
              QString());
    ASSERT_EQ(testsys::makeSymlinkRaw("in.ltx", root + "/gamedata/" + cp(u"Папка/Ссылка.ltx")),
              QString());
    const QByteArray gamedata = cp1251::encode(dir.path()) + "/gamedata/";
    EXPECT_TRUE(isInsideGamedata(gamedata, cp(u"папка\\ссылка.ltx")));
    EXPECT_FALSE(isInsideGamedata(gamedata, cp(u"наружу\\secret.ltx")));
    ParameterWriter writer(WriteTarget{gamedata, false, {}});
    EXPECT_FALSE(writer.writeParameter(cp(u"Наружу\\secret.ltx"), "s", "k", "2"));
    EXPECT_EQ(readRaw(root + "/outside/secret.ltx"), QByteArray("[s]\nk=1\n"));
}
