// Writing profile files on disk: byte-exact results, atomic replacement, refusals and failures
// that leave everything as it was.
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

QByteArray dataFile(const char *name)
{
    return TempDir::read(QStringLiteral(BRANVIK_TEST_DATA "/profile/") + QLatin1String(name));
}

FileStamp stampOf(const QString &path)
{
    return fsys::entryAt(path).stamp;
}

constexpr QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions ownerMask = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

QStringList entries(const TempDir &dir, const QString &sub = QString())
{
    return QDir(dir.path(sub))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(ProfileWrite, ChangingOneKeyKeepsEveryOtherByteOfAGameFile)
{
    const QByteArray original = dataFile("weapon_sample.ltx");
    ASSERT_FALSE(original.isEmpty());
    TempDir dir;
    const QString path = dir.write("weapon.ltx", original);
    ProfileFile file(dir.bytePath("weapon.ltx"));

    const QByteArray oldLine = "cost                = 1500\r\n";
    ASSERT_EQ(original.count(oldLine), 1);
    QString error;
    ASSERT_TRUE(file.writeString("WPN_PM", "cost", " 1750", &error)) << error.toStdString();
    QByteArray expected = original;
    expected.replace(oldLine, "cost= 1750\r\n");
    EXPECT_EQ(TempDir::read(path), expected);

    // A key new to a section that inherits from others goes after its last key line.
    ASSERT_TRUE(file.writeString("wpn_pm", "silencer_status", "2"));
    expected.replace("rpm\t=\t300\r\n", "rpm\t=\t300\r\nsilencer_status=2\r\n");
    EXPECT_EQ(TempDir::read(path), expected);

    // A section with no key lines gets the key right after its header.
    ASSERT_TRUE(file.writeString("wpn_pm_tuned", "cost", "2000"));
    expected.replace("[wpn_pm_tuned]:wpn_pm\r\n", "[wpn_pm_tuned]:wpn_pm\r\ncost=2000\r\n");
    EXPECT_EQ(TempDir::read(path), expected);

    EXPECT_EQ(file.readString("wpn_pm", "hit_power", ""),
              cp(u"0.35, 0.38, 0.41, 0.45   ;бюджетный урон"));
    EXPECT_EQ(file.readString("pistol_base", "inv_name", ""), cp(u"Пистолет ПМ"));
}

TEST(ProfileWrite, AFileOfOddBytesRoundTripsWhenOneKeyChanges)
{
    const QByteArray original = dataFile("odd_bytes.ltx");
    ASSERT_FALSE(original.isEmpty());
    TempDir dir;
    const QString path = dir.write("odd.ltx", original);
    ProfileFile file(dir.bytePath("odd.ltx"));

    const QByteArray oldLine = cp(u"Ёмкость\t=\t8 ; комментарий\t\r\n");
    ASSERT_EQ(original.count(oldLine), 1);
    QByteArray allHigh;
    for (int b = 0xC0; b <= 0xFF; ++b)
        allHigh.append(static_cast<char>(b));
    ASSERT_TRUE(file.writeString(cp(u"всё_ПОДРЯД"), cp(u"ёМКОСТЬ"), allHigh));
    QByteArray expected = original;
    expected.replace(oldLine, cp(u"ёМКОСТЬ=") + allHigh + "\r\n");
    EXPECT_EQ(TempDir::read(path), expected);
    EXPECT_EQ(file.readString(cp(u"Всё_подряд"), cp(u"Ёмкость"), ""), allHigh);
    EXPECT_EQ(file.readString(cp(u"Всё_подряд"), "letters", "").left(64), allHigh);
    EXPECT_EQ(file.readString(cp(u"экзотика"), "trailing_blanks", ""), "x");
}

TEST(ProfileWrite, LfFilesStayLfAndNewFilesUseCrLf)
{
    TempDir dir;
    const QString lf = dir.write("lf.ini", "[a]\nx=1\n");
    ProfileFile lfFile(dir.bytePath("lf.ini"));
    ASSERT_TRUE(lfFile.writeString("b", "y", "2"));
    EXPECT_EQ(TempDir::read(lf), "[a]\nx=1\n[b]\ny=2\n");

    const QString noEnd = dir.write("noend.ini", "[a]\nx=1");
    ASSERT_TRUE(ProfileFile(dir.bytePath("noend.ini")).writeString("a", "y", "2"));
    EXPECT_EQ(TempDir::read(noEnd), "[a]\nx=1\ny=2");

    ProfileFile fresh(dir.bytePath("fresh.ini"));
    ASSERT_TRUE(fresh.writeString(cp(u"Раздел"), cp(u"Ключ"), "1"));
    ASSERT_TRUE(fresh.writeInteger(cp(u"Раздел"), "n", -5));
    EXPECT_EQ(TempDir::read(dir.path("fresh.ini")), cp(u"[Раздел]\r\nКлюч=1\r\nn=-5\r\n"));
    EXPECT_EQ(testsys::permissionBits(dir.path("fresh.ini")), testsys::newFilePermissionBits());
}

TEST(ProfileWrite, WritingTheSameTextLeavesTheFileUntouched)
{
    TempDir dir;
    const QString path = dir.write("same.ini", "[s]\r\nkey = 5 ; c\r\n");
    const FileStamp before = stampOf(path);
    ProfileFile file(dir.bytePath("same.ini"));
    ASSERT_TRUE(file.writeString("S", "KEY", " 5 ; c"));
    const FileStamp after = stampOf(path);
    EXPECT_EQ(after.fileId, before.fileId);
    EXPECT_EQ(after.modified, before.modified);
    EXPECT_EQ(TempDir::read(path), "[s]\r\nkey = 5 ; c\r\n");
}

TEST(ProfileWrite, ALineBreakInTheValueIsRefused)
{
    TempDir dir;
    const QString path = dir.write("lines.ini", "[s]\r\nk=1\r\n");
    ProfileFile file(dir.bytePath("lines.ini"));
    for (const QByteArray &value :
         {QByteArray("2\r\n[evil]"), QByteArray("a\nb"), QByteArray("a\r")}) {
        QString error;
        EXPECT_FALSE(file.writeString("s", "k", value, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("lines.ini"))) << error.toStdString();
    }
    EXPECT_FALSE(file.writeString("s", "a=b", "1"));
    EXPECT_EQ(TempDir::read(path), "[s]\r\nk=1\r\n");
    EXPECT_FALSE(QFile::exists(dir.path("missing.ini")));
    EXPECT_FALSE(ProfileFile(dir.bytePath("missing.ini")).writeString("s", "k", "a\nb"));
    EXPECT_FALSE(QFile::exists(dir.path("missing.ini")));
}

TEST(ProfileWrite, ReadOnlyFileFailsEvenForRootAndStaysAsItWas)
{
    TempDir dir;
    const QString path = dir.write("locked.ini", "[s]\r\nk=1\r\n");
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    const QStringList before = entries(dir);
    ProfileFile file(dir.bytePath("locked.ini"));
    ASSERT_EQ(file.readString("s", "k", ""), "1");

    QString error;
    EXPECT_FALSE(file.writeString("s", "k", "2", &error));
    EXPECT_TRUE(error.contains(dir.path("locked.ini"))) << error.toStdString();
    EXPECT_FALSE(file.writeString("s", "k", "1")); // even with nothing to change
    EXPECT_FALSE(file.deleteKey("s", "k"));
    EXPECT_TRUE(file.deleteKey("s", "absent")); // nothing to delete: no failure
    EXPECT_EQ(TempDir::read(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(QFile::permissions(path) & ownerMask, readOnly);
    EXPECT_EQ(entries(dir), before);
    EXPECT_EQ(file.readString("s", "k", ""), "1");
}

TEST(ProfileWrite, ReadOnlyFolderFailsEvenForRoot)
{
    TempDir dir;
    const QString path = dir.write("ro/a.ini", "[s]\r\nk=1\r\n");
    ASSERT_EQ(testsys::setFolderWritable(dir.path("ro"), false), QString());
    EXPECT_FALSE(ProfileFile(dir.bytePath("ro/a.ini")).writeString("s", "k", "2"));
    EXPECT_FALSE(ProfileFile(dir.bytePath("ro/new.ini")).writeString("s", "k", "2"));
    EXPECT_EQ(entries(dir, "ro"), QStringList{"a.ini"});
    EXPECT_EQ(TempDir::read(path), "[s]\r\nk=1\r\n");
    testsys::setFolderWritable(dir.path("ro"), true);
}

TEST(ProfileWrite, MissingFolderFailsAndCreatesNothing)
{
    TempDir dir;
    QString error;
    ProfileFile file(dir.bytePath("no/such/a.ini"));
    EXPECT_FALSE(file.writeString("s", "k", "1", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("a.ini"))) << error.toStdString();
    EXPECT_TRUE(entries(dir).isEmpty());
    EXPECT_TRUE(file.deleteKey("s", "k")); // a missing file has nothing to delete
    EXPECT_TRUE(entries(dir).isEmpty());

    dir.write("folder.ini/inside", "");
    EXPECT_FALSE(ProfileFile(dir.bytePath("folder.ini")).writeString("s", "k", "1"));
}

TEST(ProfileWrite, ASymbolicLinkIsWrittenAtItsTarget)
{
    TempDir dir;
    const QString target = dir.write("real/target.ini", "[s]\r\nk=1\r\n");
    if (const QString why = testsys::makeSymlink("real/target.ini", dir.path("link.ini"));
        !why.isEmpty()) // relative link
        GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(testsys::makeSymlink(dir.path("link.ini"), dir.path("chain.ini")), QString());
    ASSERT_TRUE(ProfileFile(dir.bytePath("chain.ini")).writeString("s", "k", "2"));
    EXPECT_TRUE(QFileInfo(dir.path("link.ini")).isSymLink());
    EXPECT_TRUE(QFileInfo(dir.path("chain.ini")).isSymLink());
    EXPECT_EQ(TempDir::read(target), "[s]\r\nk=2\r\n");
    EXPECT_EQ(entries(dir, "real"), QStringList{"target.ini"});
    EXPECT_EQ(ProfileFile(dir.bytePath("link.ini")).readString("s", "k", ""), "2");

    // A link whose target does not exist yet: the target is created, the link stays.
    ASSERT_EQ(testsys::makeSymlink(dir.path("real/later.ini"), dir.path("dangling.ini")),
              QString());
    ASSERT_TRUE(ProfileFile(dir.bytePath("dangling.ini")).writeString("s", "k", "3"));
    EXPECT_TRUE(QFileInfo(dir.path("dangling.ini")).isSymLink());
    EXPECT_EQ(TempDir::read(dir.path("real/later.ini")), "[s]\r\nk=3\r\n");
}

TEST(ProfileWrite, PermissionsAreKept)
{
    TempDir dir;
    const QString path = dir.write("perm.ini", "[s]\r\nk=1\r\n");
    if (testsys::permissionBits(path) < 0)
        GTEST_SKIP() << "the system keeps no permission bits";
    const QFile::Permissions bits = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, bits));
    ASSERT_TRUE(ProfileFile(dir.bytePath("perm.ini")).writeString("s", "k", "2"));
    EXPECT_EQ(testsys::permissionBits(path), 0640);
    EXPECT_EQ(entries(dir), QStringList{"perm.ini"});
}

TEST(ProfileWrite, DeletingKeys)
{
    TempDir dir;
    const QString path = dir.write("del.ini", "[s]\r\na=1\r\n; note\r\nb=2\r\n");
    ProfileFile file(dir.bytePath("del.ini"));
    const quint64 id = stampOf(path).fileId;
    EXPECT_TRUE(file.deleteKey("s", "c"));
    EXPECT_TRUE(file.deleteKey("t", "a"));
    EXPECT_EQ(stampOf(path).fileId, id); // nothing to delete: not rewritten
    EXPECT_TRUE(file.deleteKey("S", "A"));
    EXPECT_EQ(TempDir::read(path), "[s]\r\n; note\r\nb=2\r\n");
    EXPECT_EQ(file.readString("s", "a", "absent"), "absent");

    EXPECT_TRUE(ProfileFile(dir.bytePath("none.ini")).deleteKey("s", "a"));
    EXPECT_FALSE(QFile::exists(dir.path("none.ini")));
}

TEST(ProfileWrite, AWriteStartsFromTheFileAsItIsNowNotFromAnOlderCopy)
{
    TempDir dir;
    ProfileFile file(dir.bytePath("a.ltx"));
    dir.write("a.ltx", "[s]\r\na=1\r\nb=2\r\n");
    ASSERT_TRUE(file.writeString("s", "a", "3"));
    // Another program edits the file between two writes, keeping its size.
    dir.write("a.ltx", "[s]\r\na=3\r\nb=9\r\n");
    ASSERT_TRUE(file.writeString("s", "a", "4"));
    EXPECT_EQ(TempDir::read(dir.path("a.ltx")), "[s]\r\na=4\r\nb=9\r\n");
    // Writes in a row build on each other.
    ASSERT_TRUE(file.writeString("s", "b", "5"));
    ASSERT_TRUE(file.writeString("s", "c", "6"));
    EXPECT_EQ(TempDir::read(dir.path("a.ltx")), "[s]\r\na=4\r\nb=5\r\nc=6\r\n");
}

TEST(ProfileWrite, AFileWithAByteOrderMarkGetsNoSecondSection)
{
    TempDir dir;
    const QByteArray text = "\xEF\xBB\xBF[s]\r\na=1 ; c\r\n";
    dir.write("bom.ltx", text);
    ProfileFile file(dir.bytePath("bom.ltx"));
    EXPECT_EQ(file.readString("s", "a", "absent"), "1 ; c");
    ASSERT_TRUE(file.writeString("s", "a", " 2 ; c"));
    EXPECT_EQ(TempDir::read(dir.path("bom.ltx")), "\xEF\xBB\xBF[s]\r\na= 2 ; c\r\n");
}

TEST(ProfileWrite, ASameSizeEditThatKeepsTheStampIsNotUndoneByTheNextWrite)
{
    // On a file system with 1- or 2-second times, another program's same-size edit within one
    // tick keeps size, times and inode: the cache then holds the older parse under the file's
    // current stamp. Planting the older copy under the current stamp plays exactly that.
    TempDir dir;
    const QByteArray path = dir.bytePath("a.ltx");
    ProfileFile file(path);
    dir.write("a.ltx", "[s]\r\na=1\r\nb=2\r\n");
    ASSERT_TRUE(file.writeString("s", "a", "3"));
    const QByteArray older = TempDir::read(dir.path("a.ltx"));
    QFile edited(dir.path("a.ltx"));
    ASSERT_TRUE(edited.open(QIODevice::ReadWrite)); // in place: the inode stays
    edited.seek(older.indexOf("b=") + 2);
    edited.write("9");
    edited.close();
    ProfileCache::instance().store(path, dir.path("a.ltx"), IniDocument::parse(older));

    ASSERT_TRUE(file.writeString("s", "a", "4"));
    EXPECT_EQ(TempDir::read(dir.path("a.ltx")), "[s]\r\na=4\r\nb=9\r\n");
    EXPECT_EQ(file.readString("s", "b", "absent"), "9");
}

TEST(ProfileWrite, AnEditByAnotherProgramDuringTheWriteIsKeptAndTheWriteRefused)
{
    TempDir dir;
    struct Case
    {
        const char *what;
        QByteArray before;             // empty: no file
        QByteArray otherProgramWrites; // just before the rename
    };
    const Case cases[] = {
        {"edited in place", "[s]\r\na=1\r\n", "[s]\r\na=1\r\nb=2\r\n"},
        {"created meanwhile", QByteArray(), "[s]\r\nb=2\r\n"},
    };
    for (const Case &c : cases) {
        const QString name = QString::fromLatin1(c.what).replace(' ', '_') + ".ltx";
        if (!c.before.isEmpty())
            dir.write(name, c.before);
        ProfileFile file(dir.bytePath(name));
        setBeforeRenameHook([&](const QByteArray &) {
            QFile other(dir.path(name));
            ASSERT_TRUE(other.open(QIODevice::ReadWrite));
            other.write(c.otherProgramWrites);
        });
        QString error;
        EXPECT_FALSE(file.writeString("s", "a", "5", &error)) << c.what;
        setBeforeRenameHook(nullptr);
        EXPECT_TRUE(error.contains(dir.path(name)) && error.contains("изменён другой программой"))
            << c.what << ": " << error.toStdString();
        EXPECT_EQ(TempDir::read(dir.path(name)), c.otherProgramWrites) << c.what;
        // The next write starts from the other program's content.
        ASSERT_TRUE(file.writeString("s", "a", "5")) << c.what;
        EXPECT_EQ(file.readString("s", "b", "absent"), "2") << c.what;
    }
    EXPECT_EQ(entries(dir).size(), 2) << entries(dir).join(", ").toStdString();
}

TEST(ProfileWrite, AFileComparedWithKnownBytesIsReadWholeWhereverItDiffers)
{
    // Files over several read chunks: equal, cut short, longer, differing in the first and in a
    // later chunk, and known bytes that are empty.
    QByteArray known(200 * 1024, 'k');
    for (qsizetype i = 0; i < known.size(); i += 97)
        known[i] = char('a' + i % 26);
    QByteArray early = known, late = known;
    early[10] = '#';
    late[known.size() - 10] = '#';
    const struct
    {
        const char *name;
        QByteArray onDisk;
        QByteArray known;
        bool same;
    } cases[] = {
        {"equal", known, known, true},
        {"shorter", known.first(150 * 1024), known, false},
        {"longer", known + "tail", known, false},
        {"early", early, known, false},
        {"late", late, known, false},
        {"nothing known", known, QByteArray(), false},
        {"both empty", QByteArray(), QByteArray(), true},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("f.ltx", c.onDisk);
        bool same = !c.same;
        QByteArray bytes = "stale";
        ASSERT_EQ(
            readRegularFileUnlessSame(QFile::encodeName(dir.path("f.ltx")), c.known, &same, &bytes),
            FileRead::Read);
        EXPECT_EQ(same, c.same);
        EXPECT_EQ(bytes, c.same ? QByteArray() : c.onDisk);
    }
}

TEST(ProfileWrite, AWriteAfterAnotherProgramShortenedOrGrewTheFileStartsFromTheFile)
{
    TempDir dir;
    const QByteArray path = dir.bytePath("a.ltx");
    ProfileFile file(path);
    for (const QByteArray &now :
         {QByteArray("[s]\r\na=1\r\n"), QByteArray("[s]\r\na=1\r\nb=2\r\nc=3\r\n")}) {
        dir.write("a.ltx", "[s]\r\na=1\r\nb=2\r\n");
        EXPECT_EQ(file.readString("s", "b", "absent"), "2"); // the parsed copy
        dir.write("a.ltx", now);
        ASSERT_TRUE(file.writeString("s", "a", "5"));
        QByteArray expected = now;
        expected.replace("a=1", "a=5");
        EXPECT_EQ(TempDir::read(dir.path("a.ltx")), expected);
        // A deletion that finds nothing gives the parsed copy back unchanged.
        ASSERT_TRUE(file.deleteKey("s", "none"));
        EXPECT_EQ(file.readString("s", "c", "absent"), now.contains("c=3") ? "3" : "absent");
    }
}
