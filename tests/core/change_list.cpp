// The change list of game files against their backups, restoring from the backups, and the
// parameter search of the find command.

#include <gtest/gtest.h>

#include "gamefiles/ChangeList.h"
#include "gamefiles/ParameterSearch.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

const QByteArray Backup = "; weapons\r\n[pm]\r\nhit = 0.5 ; урон\r\nrpm=300\r\nold=1\r\n"
                          "[ak]\r\nhit=0.9\r\n";
// hit changed (its line respelt), rpm the same, old removed, new added, ak untouched.
const QByteArray Current = "; weapons\r\n[pm]\r\nhit= 0.7 ; урон\r\nrpm=300\r\nnew=5\r\n"
                           "[ak]\r\nhit=0.9\r\n";

class ChangeListTest : public ::testing::Test
{
protected:
    TempDir dir;
    WriteTarget target{dir.bytePath("gamedata") + "/", false, {}};

    void SetUp() override
    {
        dir.write("gamedata/config/w.ltx", cp1251::encode(QString::fromUtf8(Current)));
        dir.write("gamedata/config/w.ltx.bak", cp1251::encode(QString::fromUtf8(Backup)));
        dir.write("gamedata/config/plain.ltx", "[a]\r\nx=1\r\n"); // no backup
    }
    QByteArray file(const QString &name) const
    {
        return TempDir::read(dir.path("gamedata/" + name));
    }
    QList<KeyChange> list() const
    {
        return ChangeList::changes(target.gamedataFolder,
                                   {"config\\plain.ltx", "config\\w.ltx", "CONFIG/W.LTX"});
    }
    KeyChange change(const QByteArray &key) const
    {
        for (const KeyChange &c : list())
            if (c.key == key)
                return c;
        return {};
    }
};

} // namespace

TEST_F(ChangeListTest, ListsChangedAddedAndRemovedKeysOfFilesWithABackup)
{
    using K = KeyChange::Kind;
    struct Row
    {
        K kind;
        QByteArray section, key, oldValue, newValue;
    };
    const Row expected[] = {
        {K::Changed, "pm", "hit", cp1251::encode("0.5 ; урон"), cp1251::encode("0.7 ; урон")},
        {K::Added, "pm", "new", "", "5"},
        {K::Removed, "pm", "old", "1", ""},
    };
    const QList<KeyChange> changes = list();
    ASSERT_EQ(changes.size(), std::size(expected))
        << "no backup: skipped; a file named twice: once";
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(changes[i].kind, expected[i].kind);
        EXPECT_EQ(changes[i].file, "config\\w.ltx");
        EXPECT_EQ(changes[i].section, expected[i].section);
        EXPECT_EQ(changes[i].key, expected[i].key);
        EXPECT_EQ(changes[i].oldValue, expected[i].oldValue);
        EXPECT_EQ(changes[i].newValue, expected[i].newValue);
    }
    bool hasBackup = true;
    EXPECT_TRUE(
        ChangeList::changesOf(target.gamedataFolder, "config/plain.ltx", &hasBackup).isEmpty());
    EXPECT_FALSE(hasBackup);
    EXPECT_TRUE(ChangeList::changesOf(target.gamedataFolder, "../w.ltx").isEmpty());
}

TEST_F(ChangeListTest, RestoringAKeyPutsBackItsBackupLineAndKeepsEveryOtherByte)
{
    const QByteArray backupBytes = file("config/w.ltx.bak");
    struct Case
    {
        QByteArray key, expected;
    };
    const Case cases[] = {
        {"hit", "; weapons\r\n[pm]\r\nhit = 0.5 ; \xF3\xF0\xEE\xED\r\nrpm=300\r\nnew=5\r\n"
                "[ak]\r\nhit=0.9\r\n"},
        {"new",
         "; weapons\r\n[pm]\r\nhit = 0.5 ; \xF3\xF0\xEE\xED\r\nrpm=300\r\n[ak]\r\nhit=0.9\r\n"},
        {"old", backupBytes},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key.constData());
        QString error;
        ASSERT_TRUE(ChangeList::restoreKey(target, change(c.key), &error)) << error.toStdString();
        EXPECT_EQ(file("config/w.ltx"), c.expected);
    }
    EXPECT_TRUE(list().isEmpty());
    EXPECT_EQ(file("config/w.ltx.bak"), backupBytes) << "the backup stays as it was";
}

TEST_F(ChangeListTest, RestoreIsRefusedWhenTheKeyChangedMeanwhileAndAFileComesBackWhole)
{
    const KeyChange hit = change("hit");
    ProfileFile(dir.bytePath("gamedata/config/w.ltx")).writeString("pm", "hit", "2");
    const QByteArray before = file("config/w.ltx");
    QString error;
    EXPECT_FALSE(ChangeList::restoreKey(target, hit, &error));
    EXPECT_TRUE(error.contains("hit")) << error.toStdString();
    EXPECT_EQ(file("config/w.ltx"), before);

    EXPECT_FALSE(ChangeList::restoreFile(target, "config/plain.ltx", &error));
    ASSERT_TRUE(ChangeList::restoreFile(target, "config/w.ltx", &error)) << error.toStdString();
    EXPECT_EQ(file("config/w.ltx"), file("config/w.ltx.bak"));
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/w.ltx.bak.bak"))) << "no new backup";
}

TEST_F(ChangeListTest, WithDuplicationTheDuplicateTakesTheRestoredKeys)
{
    target.duplication = true;
    target.duplicationFolder = dir.bytePath("double") + "/";
    dir.write("double/w.ltx", "[pm]\r\nhit= 0.7\r\nnew=5\r\n");
    ASSERT_TRUE(ChangeList::restoreKey(target, change("hit")));
    EXPECT_EQ(file("../double/w.ltx"), "[pm]\r\nhit= 0.5 ; \xF3\xF0\xEE\xED\r\nnew=5\r\n");
    ASSERT_TRUE(ChangeList::restoreFile(target, "config/w.ltx"));
    EXPECT_EQ(file("../double/w.ltx"), "[pm]\r\nhit= 0.5 ; \xF3\xF0\xEE\xED\r\nold=1\r\n")
        << "each changed key, as the ordinary writes spell it";
    EXPECT_EQ(file("../double/!FileTable!.table"), "[table]\r\nw.ltx=config/w.ltx\r\n");
}

TEST(ParameterSearch, MatchesAnyTextWithoutLetterCaseCyrillicIncluded)
{
    ParameterSearch search;
    search.add({cp1251::encode("Урон ПМ"), "hit_power", "wpn_pm", "config\\weapons\\w_pm.ltx",
                cp1251::encode("Сила удара пули")});
    search.add({cp1251::encode("Ёмкость"), "ammo_mag_size", "wpn_ak", "config\\w_ak.ltx", ""});
    search.add({"Speed", "run_coef", "actor", "config\\actor.ltx", ""});
    struct Case
    {
        QString query;
        QList<int> found;
    };
    const Case cases[] = {
        {"урон пм", {0}}, {"УДАРА", {0}},  {"ёмк", {1}},   {"HIT_P", {0}}, {"W_AK.LTX", {1}},
        {"wpn_", {0, 1}}, {"", {0, 1, 2}}, {"speed", {2}}, {"zzz", {}},    {"actor.ltx", {2}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(search.find(cp1251::encode(c.query)), c.found) << c.query.toStdString();
}
