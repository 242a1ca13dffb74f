// The catalogue commands' file changes: each is one save of the whole change, lines it does not
// change keep their bytes, a deleted entry's followers keep their lines (and "_FULL") under the
// number one lower, and page files are found only inside the catalogue folder.

#include <gtest/gtest.h>

#include <QFile>

#include "catalogue/CatalogueEdit.h"
#include "catalogue/PageFile.h"
#include "profile/ProfileFile.h"
#include "support/RenameCounter.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

class CatalogueEditTest : public ::testing::Test
{
protected:
    QByteArray path() const { return dir.bytePath("Setting/P.ini"); }
    void write(const QByteArray &text) const { dir.write("Setting/P.ini", crlf(text)); }
    QByteArray file() const { return TempDir::read(dir.path("Setting/P.ini")); }

    TempDir dir;
};

// Entries 1..4 of [S]; entry 3 shows its whole value, entry 2 lacks its help, and the lines
// are not grouped by entry.
const QByteArray Page = "[Pages]\n"
                        "Kol-vo=1\n"
                        "1=S\n"
                        "[S]\n"
                        "Kol-vo=4\n"
                        "1_Caption=One\n1_File=a.ltx\n1_Section=s\n1_Param=one\n1_Help=h1\n"
                        "; the second entry\n"
                        "2_Caption=Two\n2_File=a.ltx\n2_Section=s\n2_Param=two\n"
                        "3_Caption = Three ; kept as it stands\n3_File=a.ltx\n3_Section=s\n"
                        "3_param=three\n3_Help= '  h3  '\n3_FULL=1\n"
                        "4_Caption=Four\n4_File=a.ltx\n4_Section=s\n4_Param=four\n4_Help=h4\n"
                        "2_Help=late\n"
                        "[Other]\nKol-vo=1\n1_Caption=Else\n";

} // namespace

TEST_F(CatalogueEditTest, DeleteRenumbersTheFollowersInTheirOwnLinesInOneSave)
{
    struct Case
    {
        const char *name;
        QByteArray before;
        int number;
        QByteArray after;
        bool alreadyEmpty;
    };
    const Case cases[] = {
        {"in the middle", Page, 2,
         "[Pages]\nKol-vo=1\n1=S\n[S]\nKol-vo=3\n"
         "1_Caption=One\n1_File=a.ltx\n1_Section=s\n1_Param=one\n1_Help=h1\n"
         "; the second entry\n"
         "2_Caption = Three ; kept as it stands\n2_File=a.ltx\n2_Section=s\n"
         "2_param=three\n2_Help= '  h3  '\n2_FULL=1\n"
         "3_Caption=Four\n3_File=a.ltx\n3_Section=s\n3_Param=four\n3_Help=h4\n"
         "[Other]\nKol-vo=1\n1_Caption=Else\n",
         false},
        {"the last", Page, 4,
         QByteArray(Page)
             .replace("Kol-vo=4", "Kol-vo=3")
             .replace("4_Caption=Four\n4_File=a.ltx\n4_Section=s\n4_Param=four\n4_Help=h4\n", ""),
         false},
        {"without a count", QByteArray(Page).replace("[S]\nKol-vo=4\n", "[S]\n"), 1,
         QByteArray(Page)
             .replace("[S]\nKol-vo=4\n", "[S]\n")
             .replace("1_Caption=One\n1_File=a.ltx\n1_Section=s\n1_Param=one\n1_Help=h1\n", "")
             .replace("2_Help=late\n", "2_Help=late\nKol-vo=0\n"),
         false},
        {"beyond the count", QByteArray(Page).replace("Kol-vo=4", "Kol-vo=2"), 3,
         QByteArray(Page)
             .replace("Kol-vo=4", "Kol-vo=2")
             .replace("3_Caption = Three ; kept as it stands\n3_File=a.ltx\n3_Section=s\n"
                      "3_param=three\n3_Help= '  h3  '\n3_FULL=1\n",
                      ""),
         false},
        {"an empty sub-tab", "[S]\nKol-vo=0\n1_Caption=Stray\n", 1, "[S]\nKol-vo=0\n", true},
        // A repeated line stays behind the line a read finds, under its new number too.
        {"repeated lines", "[S]\nKol-vo=3\n1_Param=a\n2_Param=b\n3_Param=c\n2_Param=hidden\n", 1,
         "[S]\nKol-vo=2\n1_Param=b\n2_Param=c\n1_Param=hidden\n", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write(c.before);
        ProfileFile::clearCache();
        const int renames = RenameCounter::count;
        CatalogueEdit::Deletion deletion;
        QString error;
        ASSERT_TRUE(CatalogueEdit::deleteEntry(path(), "S", c.number, &deletion, &error))
            << error.toStdString();
        EXPECT_EQ(file(), crlf(c.after));
        EXPECT_EQ(deletion.alreadyEmpty, c.alreadyEmpty);
        EXPECT_EQ(RenameCounter::count - renames, 1) << "one save";
    }
    // Nothing to delete and nothing to count: nothing is saved.
    write("[S]\nKol-vo=0\n");
    const int renames = RenameCounter::count;
    CatalogueEdit::Deletion deletion;
    EXPECT_TRUE(CatalogueEdit::deleteEntry(path(), "S", 1, &deletion, nullptr));
    EXPECT_EQ(RenameCounter::count, renames);
    EXPECT_TRUE(deletion.alreadyEmpty);
}

TEST_F(CatalogueEditTest, AddAndPropertiesAreOneSaveEach)
{
    write(Page);
    const CatalogueEdit::EntryTexts typed{"b.ltx", "sec", "key",
                                          cp1251::encode(QStringLiteral("  Новый  ")), "help"};
    int renames = RenameCounter::count;
    int number = 0;
    QString error;
    ASSERT_TRUE(CatalogueEdit::addEntry(path(), "S", typed, &number, &error))
        << error.toStdString();
    EXPECT_EQ(number, 5);
    EXPECT_EQ(RenameCounter::count - renames, 1);
    QByteArray expected = crlf(Page);
    expected.replace("Kol-vo=4", "Kol-vo=5")
        .replace("2_Help=late\r\n",
                 "2_Help=late\r\n5_Caption= '" + cp1251::encode(QStringLiteral("  Новый  ")) +
                     "'\r\n5_File=b.ltx\r\n5_Section=sec\r\n5_Param=key\r\n5_Help=help\r\n");
    EXPECT_EQ(file(), expected);

    // A section without a count gets entry 1 and a count of 1.
    renames = RenameCounter::count;
    ASSERT_TRUE(CatalogueEdit::addEntry(path(), "New", typed, &number, &error));
    EXPECT_EQ(number, 1);
    EXPECT_EQ(ProfileFile(path()).readString("New", "Kol-vo", ""), "1");
    EXPECT_EQ(RenameCounter::count - renames, 1);

    // Properties: only changed fields, quoted; an unchanged entry saves nothing.
    const CatalogueEdit::EntryTexts shown{"a.ltx", "s", "two", "Two", "late"};
    CatalogueEdit::EntryTexts texts = shown;
    renames = RenameCounter::count;
    ASSERT_TRUE(CatalogueEdit::writeEntry(path(), "S", 2, shown, texts, &error));
    EXPECT_EQ(RenameCounter::count, renames);
    texts.caption = cp1251::encode(QStringLiteral(" Два "));
    texts.help = "later";
    ASSERT_TRUE(CatalogueEdit::writeEntry(path(), "S", 2, shown, texts, &error));
    EXPECT_EQ(RenameCounter::count - renames, 1);
    EXPECT_EQ(ProfileFile(path()).readString("S", "2_Caption", ""), texts.caption);
    EXPECT_EQ(ProfileFile(path()).readString("S", "2_Help", ""), "later");
    EXPECT_TRUE(file().contains("2_Help= 'later'\r\n"));

    // A text that cannot be written leaves the file as it was.
    texts.param = "two\nthree";
    const QByteArray before = file();
    EXPECT_FALSE(CatalogueEdit::writeEntry(path(), "S", 2, shown, texts, &error));
    EXPECT_TRUE(error.contains("P.ini")) << error.toStdString();
    EXPECT_FALSE(CatalogueEdit::addEntry(path(), "S", texts, &number, &error));
    EXPECT_EQ(file(), before);
}

TEST_F(CatalogueEditTest, PageListIsOneSaveAndAFailedSaveChangesNothing)
{
    dir.write("Setting/Pages.ini",
              crlf("[Global Pages]\nKol-vo=3\n1_Enabled=true\n2_Enabled=True\n; note\n"));
    const QByteArray index = dir.bytePath("Setting/Pages.ini");
    const int renames = RenameCounter::count;
    QString error;
    ASSERT_TRUE(CatalogueEdit::setPagesEnabled(index, {false, true, true}, &error));
    EXPECT_EQ(RenameCounter::count - renames, 1);
    EXPECT_EQ(TempDir::read(dir.path("Setting/Pages.ini")),
              crlf("[Global Pages]\nKol-vo=3\n1_Enabled=false\n2_Enabled=true\n"
                   "3_Enabled=true\n; note\n"));

    write(Page);
    QFile::setPermissions(dir.path("Setting/P.ini"), QFileDevice::ReadOwner);
    EXPECT_FALSE(CatalogueEdit::deleteEntry(path(), "S", 2, nullptr, &error));
    QFile::setPermissions(dir.path("Setting/P.ini"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_TRUE(error.contains("P.ini")) << error.toStdString();
    EXPECT_EQ(file(), crlf(Page));
}

TEST_F(CatalogueEditTest, PageFilesAreFoundOnlyInsideTheCatalogueFolder)
{
    struct Case
    {
        QByteArray value; // of 1_file; empty: no such key
        QByteArray path;  // relative to the program folder; empty: refused
    };
    const Case cases[] = {
        {"", "Setting/Misc.ini"},
        {"Actor", "Setting/Actor.ini"},
        {cp1251::encode(QStringLiteral("Мой файл")),
         "Setting/" + cp1251::encode(QStringLiteral("Мой файл")) + ".ini"},
        {"../../outside", ""},
        {"..", ""},
        {"sub/page", ""},
        {"sub\\page", ""},
        {QByteArray("evil.desktop\0x", 14), ""},
    };
    const QByteArray program = dir.bytePath() + '/';
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        QByteArray index = "[Global Pages]\r\nKol-vo=1\r\n";
        if (!c.value.isEmpty())
            index += "1_file=" + c.value + "\r\n";
        dir.write("Setting/Pages.ini", index);
        const PageFileRef ref = CataloguePages::pageFile(program, 1, "Misc");
        EXPECT_EQ(ref.ok(), !c.path.isEmpty());
        EXPECT_EQ(ref.path, c.path.isEmpty() ? QByteArray() : program + c.path);
        if (!ref.ok()) {
            EXPECT_TRUE(ref.refusal.contains("1_file")) << ref.refusal.toStdString();
            EXPECT_FALSE(ref.refusal.contains(QChar(0)));
        }
    }
}

TEST(PageFileCount, TellsWhatIsWrongWithACount)
{
    struct Case
    {
        std::optional<QByteArray> text;
        CatalogueCount::State state;
        int value;
        const char *problem;
    };
    using S = CatalogueCount::State;
    const Case cases[] = {
        {std::nullopt, S::Missing, 0, ""},
        {"7", S::Number, 7, ""},
        {"0", S::Number, 0, ""},
        {"-5", S::Number, -5, "отрицательное число"},
        {"abc", S::NotNumber, 0, "не число"},
        {"x7", S::NotNumber, 0, "не число"},
        {"", S::NotNumber, 0, "не число"},
        {QByteArray("1\0", 2), S::NotNumber, 0, "не число"},
        {"99999999999", S::TooLarge, 0, "слишком большое число"},
        {"-99999999999", S::TooLarge, 0, "слишком большое число"},
    };
    for (const Case &c : cases) {
        const CatalogueCount count =
            CatalogueCount::of(c.text ? std::optional<QByteArrayView>(*c.text) : std::nullopt);
        EXPECT_EQ(count.state, c.state) << c.text.value_or("(none)").toStdString();
        if (c.state == S::Number) {
            EXPECT_EQ(count.value, c.value);
        }
        EXPECT_EQ(count.problem(), QString::fromUtf8(c.problem));
    }
    EXPECT_EQ(CatalogueCount::of(QByteArrayView("1\0", 2)).describe("S"),
              "[S] Kol-vo=1? - не число");
}
