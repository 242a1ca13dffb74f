// The window's rows as core data: values read when needed or in the background, the same either
// way; the rows that show a key; find over them; a catalogue delete renumbering them.

#include <gtest/gtest.h>

#include <atomic>

#include "catalogue/Rows.h"
#include "gamefiles/GameValues.h"
#include "profile/ProfileCache.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

using ParameterLookup::RowValue;

struct Key
{
    const char *file, *section, *key;
    bool trade = false, full = false;
};

// One sub-tab per page of the keys given, every row with controls.
void fill(Rows &rows, const std::vector<Key> &keys, int page = 1)
{
    rows.addSheet(QStringLiteral("Страница"), QStringLiteral("Вкладка"));
    int number = 0;
    for (const Key &k : keys) {
        Rows::Row row;
        row.entry.page = page;
        row.entry.subTab = 1;
        row.entry.number = ++number;
        row.entry.caption = cp1251::encode(QStringLiteral("Параметр %1").arg(number));
        row.entry.file = k.file;
        row.entry.section = row.entry.applySection = k.section;
        row.entry.param = row.entry.applyParam = k.key;
        row.entry.trade = k.trade;
        row.entry.hasFull = k.full;
        rows.add(std::move(row), true);
    }
}

std::string describe(const RowValue &v)
{
    return (v.text + "|" + v.commentPart + "|" + v.origin + "|" + QByteArray::number(v.present) +
            QByteArray::number(v.enabled) + QByteArray::number(v.checked) +
            QByteArray::number(v.inherited))
        .toStdString();
}

struct Game
{
    TempDir dir;
    QByteArray folder() const { return dir.bytePath("gamedata") + "/"; }
    Game()
    {
        dir.write("gamedata/config/system.ltx",
                  "#include \"w_base.ltx\"\r\n#include \"missing.ltx\"\r\n"
                  "[wpn_ak]:wpn_base ; rifle\r\ncost = 200 ; price\r\n"
                  "[orphan]:nobody\r\n[twice]\r\nk = first\r\n");
        dir.write("gamedata/config/w_base.ltx", "[wpn_base]\nhit = 0.5, 0.5 ; power\nrpm = 600\n"
                                                "[twice]\nk = second\n");
        dir.write("gamedata/config/actor.ltx",
                  cp1251::encode(QStringLiteral("[actor]\nrun = 2.5 ; speed\nname = \"Ёж\"\n")));
    }
};

const std::vector<Key> Keys = {
    {"config\\system.ltx", "wpn_ak", "cost"},              // own, with a comment
    {"config\\system.ltx", "wpn_ak", "hit"},               // from a parent in an included file
    {"config\\system.ltx", "wpn_ak", "hit", true},         // a trade row: its own section only
    {"config\\system.ltx", "wpn_base", "rpm"},             // a section of an included file
    {"config\\system.ltx", "twice", "k"},                  // the first definition counts
    {"config\\system.ltx", "orphan", "cost"},              // a parent that is missing
    {"config\\system.ltx", "wpn_ak", "none", false, true}, // missing, shown whole
    {"config\\actor.ltx", "actor", "run", false, true},    // the whole value
    {"config\\actor.ltx", "actor", "name"},
    {"config\\..\\..\\outside.ltx", "a", "b"}, // outside the gamedata folder
    {"config\\nofile.ltx", "a", "b", true},
};

} // namespace

TEST(Rows, ValuesReadInTheBackgroundAreThoseTheWalkReads)
{
    Game game;
    for (const bool inheritance : {true, false}) {
        SCOPED_TRACE(inheritance);
        // The walk as it was: every row read in order through one reader.
        ProfileCache::instance().clear();
        GameValues walkReader(game.folder(), inheritance);
        std::vector<RowValue> walked;
        for (const Key &k : Keys) {
            CatalogueEntry e;
            e.file = k.file;
            e.section = k.section;
            e.param = k.key;
            e.trade = k.trade;
            e.hasFull = k.full;
            walked.push_back(Rows::readValue(walkReader, e));
        }
        const QStringList walkProblems = walkReader.takeProblems();
        ASSERT_FALSE(walkProblems.isEmpty());

        // Every row in the background; some rows read when first needed before it finishes.
        for (const QList<int> &first : {QList<int>{}, QList<int>{1, 5, 8}}) {
            ProfileCache::instance().clear();
            Rows rows;
            fill(rows, Keys);
            GameValues now(game.folder(), inheritance);
            rows.readValues(now, first);
            std::atomic<bool> done = false;
            rows.readInBackground(GameValues(game.folder(), inheritance), [&] { done = true; });
            const QStringList problems = rows.finishBackground();
            EXPECT_TRUE(done);
            EXPECT_TRUE(rows.allRead());
            EXPECT_FALSE(rows.readingInBackground());
            EXPECT_EQ(problems, walkProblems);
            for (int i = 0; i < rows.size(); ++i)
                EXPECT_EQ(describe(rows[i].value), describe(walked[std::size_t(i)]))
                    << Keys[std::size_t(i)].section << " " << Keys[std::size_t(i)].key;
        }
    }
}

TEST(Rows, ARowReadOrTypedMeanwhileKeepsItsValueWhenTheBackgroundReadArrives)
{
    Game game;
    Rows rows;
    fill(rows, Keys);
    rows.setTyped(0, "999");
    rows.readInBackground(GameValues(game.folder(), true));
    // A write while the read runs: the rows it concerns are read again at once.
    game.dir.write("gamedata/config/actor.ltx", "[actor]\nrun = 7\n");
    GameValues fresh(game.folder(), true);
    rows.setValue(7, Rows::readValue(fresh, rows[7].entry));
    rows.finishBackground();
    EXPECT_EQ(rows[0].value.text, "999");
    EXPECT_EQ(rows[7].value.text, "7");
    EXPECT_EQ(rows[3].value.text, "600");

    // A reload drops a read still running; reading all finishes what it left.
    Rows again;
    fill(again, Keys);
    again.readInBackground(GameValues(game.folder(), true));
    again.cancelBackground();
    EXPECT_FALSE(again.readingInBackground());
    GameValues reader(game.folder(), true);
    EXPECT_FALSE(again.readAll(reader).isEmpty());
    EXPECT_TRUE(again.allRead());
    EXPECT_EQ(again[7].value.text, "7");
}

TEST(Rows, FindSearchesEveryTextOfARowAndFollowsItsValue)
{
    Game game;
    Rows rows;
    fill(rows, Keys);
    GameValues reader(game.folder(), true);
    rows.readAll(reader);
    struct Case
    {
        QString query;
        QList<int> found;
    };
    const Case before[] = {
        {"параметр 1", {0, 9, 10}}, // captions
        {"COST", {0, 5}},           // keys
        {"WPN_AK", {0, 1, 2, 6}},   // sections
        {"actor.ltx", {7, 8}},      // files
        {"0.5, 0.5", {1}},          // an inherited value, with where it comes from
        {"унаследовано из [wpn_base]", {1}},
        {"еж", {8}}, // "ё" reads as "е"
        {"2.5 ; speed", {7}},
    };
    for (const Case &c : before)
        EXPECT_EQ(rows.find(cp1251::encode(c.query)), c.found) << c.query.toStdString();
    EXPECT_EQ(rows.find("").size(), rows.size());

    // A value read again, and one typed, are found by what they are now.
    GameValues changed(game.folder(), true);
    game.dir.write("gamedata/config/actor.ltx", "[actor]\nrun = 31415\n");
    ProfileCache::instance().clear();
    rows.setValue(7, Rows::readValue(changed, rows[7].entry));
    rows.setTyped(1, "27182");
    EXPECT_EQ(rows.find("31415"), QList<int>{7});
    EXPECT_EQ(rows.find("27182"), QList<int>{1});
    EXPECT_TRUE(rows.find("2.5 ; speed").isEmpty());
    EXPECT_TRUE(rows.find(cp1251::encode(QStringLiteral("унаследовано"))).isEmpty())
        << "a typed value is the row's own";
}

TEST(Rows, TheRowsThatShowAKey)
{
    Rows rows;
    fill(rows, Keys);
    EXPECT_EQ(rows.showing("CONFIG/System.LTX", "WPN_AK", "Hit"), (QList<int>{1, 2}));
    EXPECT_EQ(rows.showing("config\\actor.ltx", "actor", "run"), QList<int>{7});
    EXPECT_TRUE(rows.showing("config\\actor.ltx", "actor", "walk").isEmpty());
    EXPECT_EQ(rows.byFile().value("config/actor.ltx"), (QList<int>{7, 8}));
}

TEST(Rows, ADeleteRenumbersTheRowsAfterItInItsSectionOnly)
{
    // Page 1 and page 3 list their sub-tabs in the same page file; page 2 in another.
    Rows rows;
    fill(rows, {Keys.begin(), Keys.begin() + 4}, 1); // entries 1..4
    fill(rows, {Keys.begin(), Keys.begin() + 3}, 2); // entries 1..3
    fill(rows, {Keys.begin(), Keys.begin() + 3}, 3); // entries 1..3
    const auto sectionKey = [](const Rows::Row &row) -> QByteArray {
        return row.entry.page == 2 ? "other.ini\0s" : "pages.ini\0s";
    };
    const QList<int> renumbered = rows.deleteEntry(1, sectionKey); // entry 2 of page 1
    EXPECT_EQ(renumbered, (QList<int>{2, 3, 9}));
    QList<int> numbers;
    for (int i = 0; i < rows.size(); ++i)
        numbers.append(rows[i].entry.number);
    EXPECT_EQ(numbers, (QList<int>{1, 2, 2, 3, 1, 2, 3, 1, 2, 2}));
    EXPECT_TRUE(rows[1].deleted);
    EXPECT_EQ(rows[1].number, 1) << "its controls keep their name";
    EXPECT_TRUE(rows.deleteEntry(1, sectionKey).isEmpty()) << "deleted once";

    // A deleted row is no longer found.
    EXPECT_EQ(rows.showing("config\\system.ltx", "wpn_ak", "hit"), (QList<int>{2, 5, 6, 8, 9}));
    EXPECT_FALSE(rows.find(cp1251::encode(QStringLiteral("Параметр 2"))).contains(1));
}
