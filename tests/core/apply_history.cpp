// The apply history: its checked line format, a damaged tail, its bound, and the records that
// every write to a game file leaves.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "support/TempDir.h"

namespace {

HistoryRecord sample(const QByteArray &key, std::optional<QByteArray> before,
                     std::optional<QByteArray> after)
{
    HistoryRecord r;
    r.time = 1700000000123;
    r.origin = HistoryOrigin::Tweak;
    r.group = 42;
    r.note = "mods\\fast run.ltx";
    r.file = "config\\creatures\\actor.ltx";
    r.section = "actor";
    r.key = key;
    r.before = std::move(before);
    r.after = std::move(after);
    return r;
}

bool sameRecord(const HistoryRecord &a, const HistoryRecord &b)
{
    return a.time == b.time && a.origin == b.origin && a.group == b.group && a.note == b.note &&
           a.file == b.file && a.section == b.section && a.key == b.key && a.before == b.before &&
           a.after == b.after;
}

// A history for one test, the journal of the test's writers.
struct ActiveHistory
{
    explicit ActiveHistory(const QString &path, int limit = ApplyHistory::DefaultLimit)
        : history(path, limit)
    {
    }
    ApplyHistory history;
};

} // namespace

TEST(ApplyHistoryFormat, RecordsSurviveTheirLineWhateverTheyHold)
{
    const HistoryRecord cases[] = {
        sample("walk_accel", QByteArray("walk_accel = 5.5 ; \xEE\xE1\xFB\xF7\xED\xEE"),
               QByteArray("walk_accel = 7")),
        sample("odd", std::nullopt, QByteArray("odd = a\\tb\\\\c\tTAB")),
        sample("gone", QByteArray("gone=1"), std::nullopt),
        sample("", QByteArray(""), QByteArray("-")),
    };
    for (const HistoryRecord &r : cases) {
        const QByteArray line = ApplyHistory::encode(r);
        EXPECT_EQ(line.count('\n'), 1);
        EXPECT_TRUE(line.endsWith('\n'));
        const std::optional<HistoryRecord> back = ApplyHistory::decode(line);
        ASSERT_TRUE(back) << line.constData();
        EXPECT_TRUE(sameRecord(*back, r)) << line.constData();
    }
    // Any one changed byte fails the check.
    const QByteArray line = ApplyHistory::encode(cases[0]);
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        QByteArray bad = line;
        bad[i] = bad[i] == 'x' ? 'y' : 'x';
        EXPECT_FALSE(ApplyHistory::decode(bad)) << i;
    }
    EXPECT_FALSE(ApplyHistory::decode(line.left(line.size() / 2)));
}

TEST(ApplyHistoryFile, DamagedTailIsDroppedAndReportedAndLaterAppendsStillRead)
{
    TempDir dir;
    ApplyHistory history(dir.path("Setting/History.log"));
    EXPECT_TRUE(history.read().records.isEmpty());
    ASSERT_TRUE(history.append(sample("a", QByteArray("a=1"), QByteArray("a=2"))));
    ASSERT_TRUE(history.append(sample("b", QByteArray("b=1"), QByteArray("b=2"))));
    // A crash in the middle of the third append.
    const QByteArray third = ApplyHistory::encode(sample("c", std::nullopt, QByteArray("c=3")));
    {
        QFile file(history.path());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(third.left(third.size() / 2));
    }
    ApplyHistory::Contents contents = ApplyHistory(history.path()).read();
    ASSERT_EQ(contents.records.size(), 2);
    EXPECT_EQ(contents.damaged, 1);
    EXPECT_EQ(contents.records[1].key, "b");

    // The next run appends after the cut line, which stays the only one lost.
    ApplyHistory next(history.path());
    ASSERT_TRUE(next.append(sample("d", QByteArray("d=1"), std::nullopt)));
    contents = next.read();
    ASSERT_EQ(contents.records.size(), 3);
    EXPECT_EQ(contents.damaged, 1);
    EXPECT_EQ(contents.records[2].key, "d");
}

TEST(ApplyHistoryFile, OldestRecordsAreDroppedPastTheBound)
{
    TempDir dir;
    ApplyHistory history(dir.path("History.log"), 10);
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(history.append(sample(QByteArray::number(i), std::nullopt, QByteArray("k=v"))));
    const ApplyHistory::Contents contents = ApplyHistory(history.path()).read();
    EXPECT_EQ(contents.damaged, 0);
    ASSERT_GE(contents.records.size(), 10);
    EXPECT_LE(contents.records.size(), 11);
    EXPECT_EQ(contents.records.last().key, "24");
    EXPECT_EQ(contents.records.first().key,
              QByteArray::number(25 - static_cast<int>(contents.records.size())));
    // Groups keep growing, also across histories of one file.
    const qint64 g = history.newGroup();
    EXPECT_LT(g, history.newGroup());
}

TEST(ApplyHistoryWrites, EveryWriteToAGameFileLeavesOneRecord)
{
    TempDir dir;
    dir.write("gamedata/a.ltx", "[s]\r\nx = 1 ; one\r\ny = 2\r\n");
    ActiveHistory active(dir.path("History.log"));
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    ParameterWriter writer(target, &active.history);

    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 5 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "z", " 9"));
    ASSERT_TRUE(writer.writeTrade("a.ltx", "s", "y", false, {}));
    // An unchanged line is no write worth a record.
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "z", " 9"));
    // A restore from the change list is one too.
    const QList<LineChange> changes = ChangeList::changesOf(target.gamedataFolder, "a.ltx");
    ASSERT_EQ(changes.size(), 3);
    ASSERT_TRUE(ChangeList::restoreKey(writer, changes[0]));

    const QList<HistoryRecord> r = active.history.read().records;
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0].before, QByteArray("x = 1 ; one"));
    EXPECT_EQ(r[0].after, QByteArray("x= 5 ; one"));
    EXPECT_EQ(r[1].before, std::nullopt);
    EXPECT_EQ(r[1].after, QByteArray("z= 9"));
    EXPECT_EQ(r[2].before, QByteArray("y = 2"));
    EXPECT_EQ(r[2].after, std::nullopt);
    EXPECT_EQ(r[3].origin, HistoryOrigin::Restore);
    EXPECT_EQ(r[3].before, QByteArray("x= 5 ; one"));
    EXPECT_EQ(r[3].after, QByteArray("x = 1 ; one"));
    for (const HistoryRecord &rec : r)
        EXPECT_EQ(rec.file, "a.ltx");
    // Each row apply is a group of its own.
    EXPECT_NE(r[0].group, r[1].group);
    EXPECT_EQ(r[0].origin, HistoryOrigin::Row);

    // A writer stamped for one apply puts its writes into one group.
    writer.setHistoryStamp({HistoryOrigin::Table, 77, {}, {}});
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 6"));
    ASSERT_TRUE(writer.writeParameter("b.ltx", "s", "x", " 6"));
    const QList<HistoryRecord> more = active.history.read().records;
    ASSERT_EQ(more.size(), 6);
    EXPECT_EQ(more[4].group, 77);
    EXPECT_EQ(more[5].group, 77);
    EXPECT_EQ(more[5].origin, HistoryOrigin::Table);
}

TEST(ApplyHistoryUndo, AGroupIsUndoneWholeOrRefusedNamingTheChangedKey)
{
    TempDir dir;
    const QByteArray a = "[s]\r\nx = 1 ; one\r\ny = 2\r\n";
    const QByteArray b = "[t]\nk=v\n";
    dir.write("gamedata/a.ltx", a);
    dir.write("gamedata/sub/b.ltx", b);
    ActiveHistory active(dir.path("History.log"));
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    ParameterWriter writer(target, &active.history);
    writer.setHistoryStamp({HistoryOrigin::Table, active.history.newGroup(), {}, {}});
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 5 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 6 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "new", " 1"));
    ASSERT_TRUE(writer.writeTrade("sub\\b.ltx", "t", "k", false, {}));
    ASSERT_TRUE(writer.writeParameter("c.ltx", "u", "z", " 3"));
    const QByteArray aChanged = TempDir::read(dir.path("gamedata/a.ltx"));

    QList<HistoryRecord> group = HistoryUndo::lastGroup(active.history.read().records);
    ASSERT_EQ(group.size(), 5);

    // Someone changed one key since: nothing is undone, and the message names the key.
    dir.write("gamedata/sub/b.ltx", "[t]\nk=w\n");
    QString error;
    EXPECT_FALSE(HistoryUndo::undo(writer, group, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("sub\\b.ltx [t] k"))) << qPrintable(error);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), aChanged);

    dir.write("gamedata/sub/b.ltx", "[t]\n");
    ASSERT_TRUE(HistoryUndo::undo(writer, group, &error)) << qPrintable(error);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), a);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/sub/b.ltx")), "[t]\nk=v\n");
    EXPECT_EQ(TempDir::read(dir.path("gamedata/c.ltx")), "[u]\r\n");

    // The undo is a group of restores of its own, and may itself be undone.
    const QList<HistoryRecord> records = active.history.read().records;
    const QList<HistoryRecord> undoGroup = HistoryUndo::lastGroup(records);
    ASSERT_EQ(undoGroup.size(), 5);
    EXPECT_EQ(undoGroup[0].origin, HistoryOrigin::Restore);
    ASSERT_TRUE(HistoryUndo::undo(writer, undoGroup, &error)) << qPrintable(error);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), aChanged);
    // The same group a second time finds its lines gone.
    EXPECT_FALSE(HistoryUndo::undo(writer, undoGroup, &error));
}
