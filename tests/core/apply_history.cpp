// The apply history: its checked line format (old lines, CRLF, any text), a damaged tail, its
// bound that never cuts a group, the records that every write to a game file leaves, settling
// writes a crash interrupted, and undo and redo.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>

#include <stdexcept>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "history/HistoryText.h"
#include "history/HistoryUndo.h"
#include "profile/FileSystem.h"
#include "support/TempDir.h"

namespace {

HistoryRecord sample(const QByteArray &key, std::optional<QByteArray> before,
                     std::optional<QByteArray> after)
{
    HistoryRecord r;
    r.time = 1700000000123;
    r.stamp = {HistoryOrigin::Tweak, 42, "mods\\fast run.ltx", "c0ffee"};
    r.change = {"config\\creatures\\actor.ltx",
                "actor",
                key,
                std::move(before),
                std::move(after),
                {},
                false};
    r.duplicated = true;
    return r;
}

bool sameRecord(const HistoryRecord &a, const HistoryRecord &b)
{
    const LineChange &x = a.change, &y = b.change;
    const HistoryStamp &s = a.stamp, &t = b.stamp;
    return a.time == b.time && s.origin == t.origin && s.group == t.group && s.note == t.note &&
           s.tweak == t.tweak && s.target == t.target && s.source == t.source &&
           a.duplicated == b.duplicated && a.gamedataFolder == b.gamedataFolder &&
           x.file == y.file && x.section == y.section && x.key == y.key && x.before == y.before &&
           x.after == y.after && x.previous == y.previous && x.first == y.first;
}

// An H1 line as the older program wrote it: its check sum over the fields before it.
QByteArray oldLine(const QByteArray &fields)
{
    quint64 h = 1469598103934665603ULL;
    for (char c : fields) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return fields + '\t' + QByteArray::number(h, 16).rightJustified(16, '0') + '\n';
}

QList<QByteArray> keysOf(const QList<HistoryRecord> &records)
{
    QList<QByteArray> keys;
    for (const HistoryRecord &r : records)
        keys.append(r.change.key);
    return keys;
}

} // namespace

TEST(ApplyHistoryFormat, RecordsSurviveTheirLineWhateverTheyHold)
{
    HistoryRecord removed = sample("gone", QByteArray("gone=1"), std::nullopt);
    removed.change.previous = QByteArray("prev = 0");
    HistoryRecord first = sample("top", QByteArray("top=1"), std::nullopt);
    first.change.first = true;
    HistoryRecord undo = sample("u", QByteArray("u=2"), QByteArray("u=1"));
    undo.stamp = {HistoryOrigin::Undo, 99, "", "", 42, 41};
    HistoryRecord unicode = sample("k", std::nullopt, QByteArray("k=1"));
    unicode.stamp.note = QStringLiteral("твики/tweak_ä ö 中.ltx\t\\").toUtf8();
    unicode.gamedataFolder = "/games/\xE8\xE3\xF0\xE0/gamedata/";
    const HistoryRecord cases[] = {
        sample("walk_accel", QByteArray("walk_accel = 5.5 ; \xEE\xE1\xFB\xF7\xED\xEE"),
               QByteArray("walk_accel = 7")),
        sample("odd", std::nullopt, QByteArray("odd = a\\tb\\\\c\tTAB\r")),
        removed,
        first,
        undo,
        unicode,
        sample("", QByteArray(""), QByteArray("-")),
    };
    for (const HistoryRecord &r : cases) {
        const QByteArray line = ApplyHistory::encode(r);
        EXPECT_EQ(line.count('\n'), 1);
        EXPECT_TRUE(line.endsWith('\n'));
        const std::optional<HistoryRecord> back = ApplyHistory::decode(line);
        ASSERT_TRUE(back) << line.constData();
        EXPECT_TRUE(sameRecord(*back, r)) << line.constData();
        // A line whose ending a Windows editor made CRLF reads the same.
        const std::optional<HistoryRecord> crlf = ApplyHistory::decode(line.chopped(1) + "\r\n");
        ASSERT_TRUE(crlf);
        EXPECT_TRUE(sameRecord(*crlf, r));
    }
    // Any one changed byte fails the check.
    const QByteArray line = ApplyHistory::encode(cases[0]);
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        QByteArray bad = line;
        bad[i] = bad[i] == 'x' ? 'y' : 'x';
        EXPECT_FALSE(ApplyHistory::decode(bad)) << i;
    }
    EXPECT_FALSE(ApplyHistory::decode(line.left(line.size() / 2)));

    // A line of the older format: a write made, its note in Windows-1251.
    const std::optional<HistoryRecord> old =
        ApplyHistory::decode(oldLine("H1\t1700000000000\trestore\t1700000000000\tC:"
                                     "\\\\\xF2\xE2\xE8\xEA.ltx\ta.ltx\ts\tk\t=k=1\t-"));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->stamp.origin, HistoryOrigin::Restore);
    EXPECT_EQ(QString::fromUtf8(old->stamp.note), QStringLiteral("C:\\твик.ltx"));
    EXPECT_EQ(old->change.before, QByteArray("k=1"));
    EXPECT_EQ(old->change.after, std::nullopt);
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
    EXPECT_EQ(contents.records[1].change.key, "b");

    // The next run appends after the cut line, which stays the only one lost.
    ApplyHistory next(history.path());
    ASSERT_TRUE(next.append(sample("d", QByteArray("d=1"), std::nullopt)));
    contents = next.read();
    ASSERT_EQ(contents.records.size(), 3);
    EXPECT_EQ(contents.damaged, 1);
    EXPECT_EQ(contents.records[2].change.key, "d");
}

// Old lines, new lines and CRLF endings in one file: everything reads, from either end, and a
// rewrite keeps the old records in the new format.
TEST(ApplyHistoryFile, OldLinesAndWindowsLineEndingsReadFully)
{
    TempDir dir;
    const QString path = dir.path("History.log");
    QByteArray bytes;
    for (int i = 0; i < 3; ++i)
        bytes += oldLine("H1\t170000000000" + QByteArray::number(i) + "\trow\t" +
                         QByteArray::number(100 + i) + "\t\ta.ltx\ts\told" + QByteArray::number(i) +
                         "\t=k=1\t=k=2");
    dir.write("History.log", bytes);
    ApplyHistory history(path, 5);
    ASSERT_TRUE(history.append(sample("new1", std::nullopt, QByteArray("n=1"))));
    // Edited on Windows: every line ends in CRLF.
    dir.write("History.log", TempDir::read(path).replace("\n", "\r\n"));
    ApplyHistory::Contents contents = history.read();
    EXPECT_EQ(contents.damaged, 0);
    EXPECT_EQ(keysOf(contents.records), (QList<QByteArray>{"old0", "old1", "old2", "new1"}));
    QList<QByteArray> backward;
    int damaged = -1;
    history.readNewestFirst(
        [&](const HistoryRecord &r, bool) {
            backward.append(r.change.key);
            return true;
        },
        &damaged);
    EXPECT_EQ(backward, (QList<QByteArray>{"new1", "old2", "old1", "old0"}));
    EXPECT_EQ(damaged, 0);

    // Past the bound (5 and a tenth), the oldest are dropped; what stays reads as before.
    for (int i = 2; i <= 3; ++i)
        ASSERT_TRUE(
            history.append(sample("new" + QByteArray::number(i), std::nullopt, QByteArray("n=1"))));
    contents = history.read();
    EXPECT_EQ(contents.damaged, 0);
    EXPECT_EQ(keysOf(contents.records),
              (QList<QByteArray>{"old1", "old2", "new1", "new2", "new3"}));
    EXPECT_FALSE(TempDir::read(path).contains("H1\t"));
}

// A large history of old lines is read whole by one settling, not by every command: once the
// settling has passed them, it leaves a mark that the next one stops at.
TEST(ApplyHistoryFile, SettlingAnOldHistoryLeavesAMarkForTheNextCommand)
{
    TempDir dir;
    dir.write("gd/a.ltx", "[s]\nk = 1\n");
    const QByteArray gamedata = dir.bytePath("gd") + '/';
    QByteArray bytes;
    for (int i = 0; i < 100; ++i)
        bytes += oldLine("H1\t1700000000000\trow\t" + QByteArray::number(100 + i) +
                         "\t\ta.ltx\ts\told" + QByteArray::number(i) + "\t=k=1\t=k=2");
    const QString path = dir.write("History.log", bytes);
    const auto marks = [&] {
        int n = 0;
        for (const QByteArray &line : TempDir::read(path).split('\n'))
            n += line.split('\t').value(2) == "s" && line.startsWith("H2\t");
        return n;
    };
    for (int run = 0; run < 2; ++run) {
        ApplyHistory history(path);
        history.settle(gamedata);
        WriteTarget target;
        target.gamedataFolder = gamedata;
        ASSERT_TRUE(ParameterWriter(target, &history)
                        .writeParameter("a.ltx", "s", "k", " " + QByteArray::number(run)));
    }
    ApplyHistory(path).settle(gamedata);
    EXPECT_EQ(marks(), 1);
    // Nothing new to settle: the next settling stops at the mark and adds none.
    const QByteArray before = TempDir::read(path);
    ApplyHistory(path).settle(gamedata);
    EXPECT_EQ(TempDir::read(path), before);
}

TEST(ApplyHistoryFile, OldestGroupsAreDroppedWholePastTheBound)
{
    TempDir dir;
    ApplyHistory history(dir.path("History.log"), 10);
    for (int i = 0; i < 25; ++i) {
        HistoryRecord r = sample(QByteArray::number(i), std::nullopt, QByteArray("k=v"));
        r.stamp.group = 1000 + i;
        ASSERT_TRUE(history.append(r));
    }
    ApplyHistory::Contents contents = ApplyHistory(history.path()).read();
    EXPECT_EQ(contents.damaged, 0);
    ASSERT_GE(contents.records.size(), 10);
    EXPECT_LE(contents.records.size(), 11);
    EXPECT_EQ(contents.records.last().change.key, "24");

    // A group larger than the bound stays whole, and older groups go whole; appends after it do
    // not rewrite the file each time.
    TempDir other;
    const QString path = other.path("History.log");
    ApplyHistory bounded(path, 20);
    const auto add = [&](qint64 group, int lines) {
        for (int i = 0; i < lines; ++i) {
            HistoryRecord r = sample(QByteArray::number(group) + "." + QByteArray::number(i),
                                     std::nullopt, "k=v");
            r.stamp.group = group;
            ASSERT_TRUE(bounded.append(r));
        }
    };
    const auto groupsOf = [&] {
        QHash<qint64, int> count;
        for (const HistoryRecord &r : bounded.read().records)
            ++count[r.stamp.group];
        return count;
    };
    add(1, 8);
    add(2, 8);
    add(3, 30); // larger than the bound
    QHash<qint64, int> groups = groupsOf();
    EXPECT_FALSE(groups.contains(1));
    EXPECT_EQ(groups.value(2, 8), 8); // whole or gone
    EXPECT_EQ(groups.value(3), 30);
    // While the large group stays, the file is not rewritten at every append.
    int rewrites = 0;
    quint64 id = fsys::entryAt(path).stamp.fileId;
    for (qint64 g = 4; groups.contains(3); ++g) {
        ASSERT_LT(g, 100);
        add(g, 1);
        groups = groupsOf();
        EXPECT_TRUE(groups.value(3, 30) == 30) << g;
        const quint64 now = fsys::entryAt(path).stamp.fileId;
        rewrites += now != id ? 1 : 0;
        id = now;
    }
    EXPECT_LE(rewrites, 2);
}

// Two programs append at once (each is this test program, started again as a child): nothing
// is lost, within the bound's rewrites too, and their groups never collide.
TEST(ApplyHistoryRace, TwoProgramsAppendingAtOnceLoseNothing)
{
    TempDir dir;
    const QString path = dir.path("History.log");
    constexpr int Rounds = 300;
    for (const int limit : {100000, 60}) {
        SCOPED_TRACE(limit);
        QFile::remove(path);
        QList<QProcess *> children;
        for (const char *prefix : {"A", "B"}) {
            auto *child = new QProcess;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            // A sharded run's shard would leave the child's one case out of its share.
            env.remove("GTEST_SHARD_INDEX");
            env.remove("GTEST_TOTAL_SHARDS");
            env.insert("BRANVIK_HISTORY_CHILD", path);
            env.insert("BRANVIK_HISTORY_PREFIX", prefix);
            env.insert("BRANVIK_HISTORY_ROUNDS", QString::number(Rounds));
            env.insert("BRANVIK_HISTORY_LIMIT", QString::number(limit));
            child->setProcessEnvironment(env);
            child->start(QStringLiteral(CORE_TESTS),
                         {"--gtest_filter=ApplyHistoryRace.ChildAppends"});
            children.append(child);
        }
        for (QProcess *child : children) {
            EXPECT_TRUE(child->waitForFinished(60000));
            EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardOutput().toStdString();
            delete child;
        }
        const ApplyHistory::Contents contents = ApplyHistory(path, limit).read();
        EXPECT_EQ(contents.damaged, 0);
        QSet<qint64> groups;
        QHash<QByteArray, QList<int>> rounds;
        for (const HistoryRecord &r : contents.records) {
            EXPECT_FALSE(groups.contains(r.stamp.group)) << r.stamp.group;
            groups.insert(r.stamp.group);
            rounds[r.change.key.left(1)].append(r.change.key.mid(1).toInt());
        }
        // Each program's records that stay are its last ones, none missing between them (when
        // one program ended first, the bound may have dropped all of its records).
        EXPECT_GE(contents.records.size(), std::min(limit, 2 * Rounds));
        for (const QByteArray prefix : {"A", "B"}) {
            const QList<int> kept = rounds.value(prefix);
            if (kept.isEmpty())
                continue;
            EXPECT_EQ(kept.last(), Rounds);
            for (qsizetype i = 0; i < kept.size(); ++i)
                EXPECT_EQ(kept[i], Rounds - kept.size() + 1 + i) << prefix.constData();
        }
        if (limit > 2 * Rounds) {
            EXPECT_EQ(contents.records.size(), 2 * Rounds);
        }
    }
}

// The child of the race above; does nothing in an ordinary run.
TEST(ApplyHistoryRace, ChildAppends)
{
    const QString path = qEnvironmentVariable("BRANVIK_HISTORY_CHILD");
    if (path.isEmpty())
        GTEST_SKIP() << "run by TwoProgramsAppendingAtOnceLoseNothing";
    const QByteArray prefix = qgetenv("BRANVIK_HISTORY_PREFIX");
    const int rounds = qEnvironmentVariableIntValue("BRANVIK_HISTORY_ROUNDS");
    ApplyHistory history(path, qEnvironmentVariableIntValue("BRANVIK_HISTORY_LIMIT"));
    for (int i = 1; i <= rounds; ++i) {
        HistoryRecord r = sample(prefix + QByteArray::number(i), std::nullopt, "k=v");
        r.stamp.group = history.newGroup();
        QString error;
        ASSERT_TRUE(history.append(r, &error)) << error.toStdString();
    }
}

TEST(ApplyHistoryWrites, EveryWriteToAGameFileLeavesOneRecord)
{
    TempDir dir;
    dir.write("gamedata/a.ltx", "[s]\r\nx = 1 ; one\r\ny = 2\r\nw = 3\r\n");
    ApplyHistory history(dir.path("History.log"));
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    ParameterWriter writer(target, &history);

    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 5 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "z", " 9"));
    ASSERT_TRUE(writer.writeTrade("a.ltx", "s", "y", false, {}));
    // An unchanged line is no write worth a record.
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "z", " 9"));
    // A restore from the change list is one too.
    const QList<LineChange> changes = ChangeList::changesOf(target.gamedataFolder, "a.ltx");
    ASSERT_EQ(changes.size(), 3);
    ASSERT_TRUE(ChangeList::restoreKey(writer, changes[0]));

    const QList<HistoryRecord> r = history.read().records;
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0].change.before, QByteArray("x = 1 ; one"));
    EXPECT_EQ(r[0].change.after, QByteArray("x= 5 ; one"));
    EXPECT_EQ(r[1].change.before, std::nullopt);
    EXPECT_EQ(r[1].change.after, QByteArray("z= 9"));
    EXPECT_EQ(r[2].change.before, QByteArray("y = 2"));
    EXPECT_EQ(r[2].change.after, std::nullopt);
    // Where the removed line stood, so that its undo puts it back there.
    EXPECT_EQ(r[2].change.previous, QByteArray("x= 5 ; one"));
    EXPECT_EQ(r[3].stamp.origin, HistoryOrigin::Restore);
    EXPECT_EQ(r[3].change.before, QByteArray("x= 5 ; one"));
    EXPECT_EQ(r[3].change.after, QByteArray("x = 1 ; one"));
    for (const HistoryRecord &rec : r) {
        EXPECT_EQ(rec.change.file, "a.ltx");
        EXPECT_EQ(rec.state, WriteState::Written);
    }
    // Each row apply is a group of its own.
    EXPECT_NE(r[0].stamp.group, r[1].stamp.group);
    EXPECT_EQ(r[0].stamp.origin, HistoryOrigin::Row);

    // A writer stamped for one apply puts its writes into one group.
    writer.setHistoryStamp({HistoryOrigin::Table, 77, {}});
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 6"));
    ASSERT_TRUE(writer.writeParameter("b.ltx", "s", "x", " 6"));
    const QList<HistoryRecord> more = history.read().records;
    ASSERT_EQ(more.size(), 6);
    EXPECT_EQ(more[4].stamp.group, 77);
    EXPECT_EQ(more[5].stamp.group, 77);
    EXPECT_EQ(more[5].stamp.origin, HistoryOrigin::Table);
}

TEST(ApplyHistoryUndo, AGroupIsUndoneWholeOrRefusedNamingTheChangedKey)
{
    TempDir dir;
    const QByteArray a = "[s]\r\nx = 1 ; one\r\ny = 2\r\n";
    const QByteArray b = "[t]\nk=v\n";
    dir.write("gamedata/a.ltx", a);
    dir.write("gamedata/sub/b.ltx", b);
    ApplyHistory history(dir.path("History.log"));
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    ParameterWriter writer(target, &history);
    writer.setHistoryStamp({HistoryOrigin::Table, history.newGroup(), {}});
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 5 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 6 ; one"));
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "new", " 1"));
    ASSERT_TRUE(writer.writeTrade("sub\\b.ltx", "t", "k", false, {}));
    ASSERT_TRUE(writer.writeParameter("c.ltx", "u", "z", " 3"));
    const QByteArray aChanged = TempDir::read(dir.path("gamedata/a.ltx"));

    QList<HistoryRecord> group = HistoryUndo::lastGroup(history.read());
    ASSERT_EQ(group.size(), 5);

    // Someone changed one key since: nothing is undone, and the message names the key.
    dir.write("gamedata/sub/b.ltx", "[t]\nk=w\n");
    QString error;
    EXPECT_FALSE(HistoryUndo::undo(writer, group, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("sub\\b.ltx [t] k"))) << qPrintable(error);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), aChanged);

    // Put back by hand: that key counts as undone, the rest is undone.
    dir.write("gamedata/sub/b.ltx", b);
    HistoryUndo::Done done;
    ASSERT_TRUE(HistoryUndo::undo(writer, group, &error, true, &done)) << qPrintable(error);
    EXPECT_EQ(done.written, 4);
    EXPECT_EQ(done.already, 1);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), a);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/sub/b.ltx")), b);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/c.ltx")), "[u]\r\n");

    // The undo is a group of its own naming the group it undoes; nothing is left to undo, and
    // the undo may itself be taken back by a redo.
    const ApplyHistory::Contents contents = history.read();
    EXPECT_TRUE(HistoryUndo::lastGroup(contents).isEmpty());
    const HistoryUndo::Step redo = HistoryUndo::nextRedo(contents);
    ASSERT_EQ(redo.records.size(), 4);
    EXPECT_EQ(redo.records[0].stamp.origin, HistoryOrigin::Undo);
    EXPECT_EQ(redo.records[0].stamp.target, group[0].stamp.group);
    ASSERT_TRUE(HistoryUndo::perform(writer, redo, &error)) << qPrintable(error);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/a.ltx")), aChanged);
}

namespace {

// A gamedata folder with three files, a history and a writer of both.
struct Game
{
    TempDir dir;
    WriteTarget target;
    std::unique_ptr<ApplyHistory> history;
    const QByteArrayList files{"a.ltx", "sub/b.ltx", "c.ltx"};
    QList<QByteArray> original;

    Game()
    {
        original = {"[s]\r\nx = 1 ; one\r\ny = 2\r\nz = 3\r\n", "[t]\nk=v\nm=w\n",
                    "; comment\n[u]\nq = 1\n"};
        for (int i = 0; i < 3; ++i)
            dir.write("gamedata/" + files[i], original[i]);
        target.gamedataFolder = dir.bytePath("gamedata") + '/';
        reopen();
    }
    // The next program's history of the same file.
    void reopen() { history = std::make_unique<ApplyHistory>(dir.path("History.log")); }
    QList<QByteArray> now() const
    {
        QList<QByteArray> bytes;
        for (const QByteArray &f : files)
            bytes.append(TempDir::read(dir.path("gamedata/" + f)));
        return bytes;
    }
    // A tweak's writes: one group, one save per file (a line changed, added and removed).
    void tweak(WriteJournal &journal)
    {
        ParameterWriter writer(target, &journal);
        writer.setHistoryStamp({HistoryOrigin::Tweak, journal.newGroup(), "t.ltx", "id"});
        const QList<QList<LineChange>> lines = {
            {{"a.ltx", "s", "x", "x = 1 ; one", "x = 9 ; one", {}, false},
             {"a.ltx", "s", "y", "y = 2", std::nullopt, {}, false}},
            {{"sub/b.ltx", "t", "k", "k=v", std::nullopt, {}, false},
             {"sub/b.ltx", "t", "n", std::nullopt, "n=1", {}, false}},
            {{"c.ltx", "u", "q", "q = 1", "q = 2", {}, false}},
        };
        for (const QList<LineChange> &l : lines)
            if (!writer.writeLines(l.first().file, l))
                throw std::runtime_error("tweak write refused");
    }
};

struct Crash
{
};

// Forwards to the history, and at its n-th write stops the program: right after recording the
// intent (the file not yet replaced), or after the file is replaced, before its outcome.
class CrashingJournal : public WriteJournal
{
public:
    CrashingJournal(ApplyHistory &history, int at, bool afterSave)
        : history_(history), at_(at), afterSave_(afterSave)
    {
    }
    qint64 begin(const HistoryStamp &stamp, const QList<LineChange> &changes, bool duplicated,
                 bool *ok, QString *error) override
    {
        const qint64 ticket = history_.begin(stamp, changes, duplicated, ok, error);
        if (++writes_ == at_ && !afterSave_)
            throw Crash();
        return ticket;
    }
    void done(qint64 ticket, bool written, QString *error) override
    {
        if (writes_ == at_ && afterSave_)
            throw Crash();
        history_.done(ticket, written, error);
    }
    qint64 newGroup() override { return history_.newGroup(); }
    void endGroup(const HistoryStamp &stamp, bool whole, QString *error) override
    {
        history_.endGroup(stamp, whole, error);
    }

private:
    ApplyHistory &history_;
    int at_;
    bool afterSave_;
    int writes_ = 0;
};

} // namespace

// A program killed at any write of a three-file tweak, before or after the file is replaced:
// the next program settles what happened, and an undo brings every file back byte for byte.
TEST(ApplyHistoryCrash, AKilledApplyIsSettledAndUndoneByTheNextProgram)
{
    for (int at = 1; at <= 3; ++at) {
        for (const bool afterSave : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "write " << at << (afterSave ? " after" : " before"));
            Game game;
            CrashingJournal crashing(*game.history, at, afterSave);
            EXPECT_THROW(game.tweak(crashing), Crash);

            game.reopen();
            const ApplyHistory::Settled settled = game.history->settle(game.target.gamedataFolder);
            EXPECT_EQ(settled.written, afterSave ? 1 : 0);
            EXPECT_EQ(settled.notWritten, afterSave ? 0 : 1);
            EXPECT_TRUE(settled.problems.isEmpty()) << settled.problems.join('\n').toStdString();
            // Settled once: the next program finds nothing left.
            EXPECT_EQ(game.history->settle(game.target.gamedataFolder).written +
                          game.history->settle(game.target.gamedataFolder).notWritten,
                      0);

            const ParameterWriter writer(game.target, game.history.get());
            const HistoryUndo::Result result = HistoryUndo::undoLast(*game.history, writer);
            const bool anyWritten = at > 1 || afterSave;
            EXPECT_EQ(result.outcome, anyWritten ? HistoryUndo::Result::Outcome::Done
                                                 : HistoryUndo::Result::Outcome::Nothing)
                << result.message.toStdString();
            EXPECT_EQ(game.now(), game.original);
        }
    }
}

// An undo killed at any of its writes: the next undo finishes it, a redo makes the tweak's
// writes again, and a last undo brings the originals back.
TEST(ApplyHistoryCrash, AKilledUndoIsFinishedByTheNextUndo)
{
    for (int at = 1; at <= 3; ++at) {
        for (const bool afterSave : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "write " << at << (afterSave ? " after" : " before"));
            Game game;
            game.tweak(*game.history);
            const QList<QByteArray> tweaked = game.now();
            CrashingJournal crashing(*game.history, at, afterSave);
            EXPECT_THROW(
                HistoryUndo::undoLast(*game.history, ParameterWriter(game.target, &crashing)),
                Crash);

            game.reopen();
            EXPECT_TRUE(game.history->settle(game.target.gamedataFolder).problems.isEmpty());
            const ParameterWriter writer(game.target, game.history.get());
            HistoryUndo::Result r = HistoryUndo::undoLast(*game.history, writer);
            EXPECT_EQ(r.outcome, HistoryUndo::Result::Outcome::Done) << r.message.toStdString();
            EXPECT_EQ(game.now(), game.original);
            // Finished: the tweak is undone, nothing more to undo.
            r = HistoryUndo::undoLast(*game.history, writer);
            EXPECT_EQ(r.outcome, HistoryUndo::Result::Outcome::Nothing) << r.message.toStdString();

            r = HistoryUndo::redoLast(*game.history, writer);
            EXPECT_EQ(r.outcome, HistoryUndo::Result::Outcome::Done) << r.message.toStdString();
            EXPECT_EQ(game.now(), tweaked);
            r = HistoryUndo::undoLast(*game.history, writer);
            EXPECT_EQ(r.outcome, HistoryUndo::Result::Outcome::Done) << r.message.toStdString();
            EXPECT_EQ(game.now(), game.original);
        }
    }
}

TEST(ApplyHistoryCrash, AFileThatHoldsNeitherSideIsReportedOnce)
{
    Game game;
    CrashingJournal crashing(*game.history, 1, true);
    EXPECT_THROW(game.tweak(crashing), Crash);
    game.dir.write("gamedata/a.ltx", "[s]\r\nx = 5\r\n");
    game.reopen();
    ApplyHistory::Settled settled = game.history->settle(game.target.gamedataFolder);
    EXPECT_EQ(settled.unclear, 1);
    ASSERT_EQ(settled.problems.size(), 1);
    EXPECT_TRUE(settled.problems[0].contains("a.ltx") && settled.problems[0].contains("[s] x"))
        << settled.problems[0].toStdString();
    settled = game.history->settle(game.target.gamedataFolder);
    EXPECT_TRUE(settled.problems.isEmpty());
    EXPECT_EQ(game.history->read().records.first().state, WriteState::Unclear);
}

// A write whose file is still held by its writer is being made now: settling leaves it alone.
TEST(ApplyHistoryCrash, AWriteInProgressIsLeftToItsWriter)
{
    Game game;
    CrashingJournal crashing(*game.history, 1, true);
    EXPECT_THROW(game.tweak(crashing), Crash);
    game.reopen();
    fsys::FileLock::setDefaultWaitForTests(std::chrono::milliseconds(50));
    {
        fsys::FileLock::Outcome locking;
        const fsys::FileLock held =
            fsys::FileLock::acquire(game.dir.path("gamedata/a.ltx"), &locking);
        ASSERT_TRUE(held.held());
        const ApplyHistory::Settled settled = game.history->settle(game.target.gamedataFolder);
        EXPECT_EQ(settled.written + settled.notWritten + settled.unclear, 0);
    }
    fsys::FileLock::setDefaultWaitForTests(fsys::FileLock::DefaultWait);
    EXPECT_EQ(game.history->settle(game.target.gamedataFolder).written, 1);
}

// Undo steps back one group a press, redo makes the last undo's group again, and a new write
// ends what can be redone.
TEST(ApplyHistoryUndo, UndoStepsBackGroupByGroupAndRedoGoesForward)
{
    Game game;
    const ParameterWriter writer(game.target, game.history.get());
    const QByteArray s0 = game.original[0];
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "x", " 2 ; one"));
    const QByteArray s1 = game.now()[0];
    ASSERT_TRUE(writer.writeTrade("a.ltx", "s", "y", false, {}));
    const QByteArray s2 = game.now()[0];
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "z", " 4"));
    const QByteArray s3 = game.now()[0];
    using O = HistoryUndo::Result::Outcome;
    enum Action
    {
        Undo,
        Redo,
        Write,
    };
    const struct
    {
        Action action;
        O outcome;
        QByteArray file;
    } steps[] = {
        {Undo, O::Done, s2},    {Undo, O::Done, s1}, {Redo, O::Done, s2},  {Redo, O::Done, s3},
        {Redo, O::Nothing, s3}, {Undo, O::Done, s2}, {Undo, O::Done, s1},  {Undo, O::Done, s0},
        {Undo, O::Nothing, s0}, {Redo, O::Done, s1}, {Write, O::Done, {}}, {Redo, O::Nothing, {}},
        {Undo, O::Done, s1},    {Undo, O::Done, s0},
    };
    int n = 0;
    for (const auto &step : steps) {
        SCOPED_TRACE(++n);
        HistoryUndo::Result r;
        if (step.action == Write) {
            ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "w", " 7"));
            continue;
        }
        r = step.action == Undo ? HistoryUndo::undoLast(*game.history, writer)
                                : HistoryUndo::redoLast(*game.history, writer);
        EXPECT_EQ(r.outcome, step.outcome) << r.message.toStdString();
        if (!step.file.isEmpty()) {
            EXPECT_EQ(game.now()[0], step.file);
        }
    }
    // The history says which groups stand undone.
    QList<bool> undone;
    game.history->readNewestFirst([&](const HistoryRecord &r, bool isUndone) {
        if (r.stamp.origin == HistoryOrigin::Row || r.stamp.origin == HistoryOrigin::Trade)
            undone.append(isUndone);
        return true;
    });
    ASSERT_FALSE(undone.isEmpty());
    EXPECT_TRUE(undone.first()); // the last write, "w", undone
}

// A removed key's undo puts its line back where it stood, byte for byte, and the change list
// then finds nothing changed.
TEST(ApplyHistoryUndo, ARemovedKeyComesBackWhereItStood)
{
    const QByteArray original =
        "[s]\r\n; note\r\na = 1 ; first\r\nb = 2\r\nc = 3\r\n[t]\r\nd=4\r\n";
    for (const QByteArray key : {"a", "b", "c", "d"}) {
        SCOPED_TRACE(key.constData());
        TempDir dir;
        dir.write("gamedata/f.ltx", original);
        ApplyHistory history(dir.path("History.log"));
        WriteTarget target;
        target.gamedataFolder = dir.bytePath("gamedata") + '/';
        const ParameterWriter writer(target, &history);
        ASSERT_TRUE(writer.writeTrade("f.ltx", key == "d" ? "t" : "s", key, false, {}));
        ASSERT_NE(TempDir::read(dir.path("gamedata/f.ltx")), original);
        const HistoryUndo::Result r = HistoryUndo::undoLast(history, writer);
        EXPECT_EQ(r.outcome, HistoryUndo::Result::Outcome::Done) << r.message.toStdString();
        EXPECT_EQ(TempDir::read(dir.path("gamedata/f.ltx")), original);
        EXPECT_TRUE(ChangeList::changesOf(target.gamedataFolder, "f.ltx").isEmpty());
    }
}

// An undo repeats into the duplication folder exactly what the write did: a trade delete was
// never duplicated, so neither is its undo; a row's write was, so its undo is too.
TEST(ApplyHistoryUndo, AnUndoIsDuplicatedExactlyWhenItsWriteWas)
{
    TempDir dir;
    dir.write("gamedata/trade.ltx", "[s]\r\nk = 1\r\n");
    dir.write("gamedata/row.ltx", "[s]\r\nk = 1\r\n");
    QDir().mkpath(dir.path("dup"));
    ApplyHistory history(dir.path("History.log"));
    WriteTarget target;
    target.gamedataFolder = dir.bytePath("gamedata") + '/';
    target.duplication = true;
    target.duplicationFolder = dir.bytePath("dup") + '/';
    const ParameterWriter writer(target, &history);

    ASSERT_TRUE(writer.writeTrade("trade.ltx", "s", "k", false, {}));
    EXPECT_FALSE(history.read().records.last().duplicated);
    ASSERT_EQ(HistoryUndo::undoLast(history, writer).outcome, HistoryUndo::Result::Outcome::Done);
    EXPECT_TRUE(QDir(dir.path("dup")).isEmpty());

    ASSERT_TRUE(writer.writeParameter("row.ltx", "s", "k", " 2"));
    EXPECT_TRUE(history.read().records.last().duplicated);
    ASSERT_EQ(HistoryUndo::undoLast(history, writer).outcome, HistoryUndo::Result::Outcome::Done);
    EXPECT_TRUE(TempDir::read(dir.path("dup/row.ltx")).contains("k= 1") ||
                TempDir::read(dir.path("dup/row.ltx")).contains("k = 1"))
        << TempDir::read(dir.path("dup/row.ltx")).toStdString();
}

// The texts the window and --history show for a group.
TEST(ApplyHistoryText, AGroupIsNamedByWhatMadeIt)
{
    const qint64 at = 1700000000000;
    const auto group = [&](HistoryOrigin origin, const QByteArray &note) {
        return HistoryStamp{origin, at << 21, note, {}, at << 21, at << 21};
    };
    const LineChange removed{"t.ltx", "s", "cost", "cost=1", std::nullopt, {}, false};
    const LineChange written{"t.ltx", "s", "cost", "cost=1", "cost=2", {}, false};
    const QString when = HistoryText::moment(at);
    const struct
    {
        HistoryStamp stamp;
        const LineChange *change;
        QString text;
    } cases[] = {
        {group(HistoryOrigin::Tweak, "/home/u/мод/weapons.ltx"), nullptr, "твик weapons.ltx"},
        {group(HistoryOrigin::Table, "Оружие"), nullptr, "таблица: Оружие"},
        {group(HistoryOrigin::Row, "Высота камеры"), nullptr, "строка: Высота камеры"},
        {group(HistoryOrigin::Undo, {}), nullptr, "отмена записи " + when},
        {group(HistoryOrigin::Redo, {}), nullptr, "возврат записи " + when},
        {group(HistoryOrigin::Restore, {}), nullptr, "восстановление из резервной копии"},
        {group(HistoryOrigin::Trade, {}), &removed, "удаление ключа: cost"},
        {group(HistoryOrigin::Trade, {}), &written, "строка торговли: cost"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(HistoryText::made(c.stamp, c.change), c.text);
        EXPECT_EQ(HistoryText::group(c.stamp, c.change), when + ' ' + c.text);
    }
    EXPECT_EQ(HistoryText::tweak(group(HistoryOrigin::Tweak, "C:\\мод\\weapons.ltx")),
              "weapons.ltx");
}
