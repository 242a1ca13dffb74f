// Tweak files: made from the change list and applied to a fresh copy of the game files, the bytes
// come out as the changed files; read by the game files' parser; the review's states; lines that
// cannot apply; an apply that writes all of a tweak or nothing; a tweak known by its content.

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"
#include "tweaks/TweakApply.h"
#include "tweaks/TweakFile.h"
#include "tweaks/TweakReview.h"

namespace {

using State = TweakReviewLine::State;

const QByteArray ActorOriginal = "; actor\r\n[actor]:base\r\nwalk_accel = 5 ; \xF3\xF1\xEA\r\n"
                                 "run_coef = 2\r\njump = 1\r\n\r\n[camera]\r\nheight = 0.85\r\n";
const QByteArray WeaponOriginal = "[ak]\nammo = 30\nrpm = 600 ;fast\n";

class TweakFiles : public ::testing::Test
{
protected:
    TweakFiles()
    {
        for (const char *copy : {"modded", "fresh"}) {
            dir.write(QString("%1/config/creatures/actor.ltx").arg(copy), ActorOriginal);
            dir.write(QString("%1/config/weapons/w_ak.ltx").arg(copy), WeaponOriginal);
        }
    }
    ~TweakFiles() override { setBeforeRenameHook({}); }
    WriteTarget target(const char *copy) const
    {
        WriteTarget t;
        t.gamedataFolder = dir.bytePath(copy) + '/';
        return t;
    }
    QByteArray bytes(const char *copy, const char *file) const
    {
        return TempDir::read(dir.path(QString(copy) + '/' + file));
    }
    QList<TweakReviewLine> review(const QByteArray &tweak, bool allowCreate = false) const
    {
        return Tweak::review(target("fresh").gamedataFolder, TweakFile::parse(tweak), allowCreate);
    }
    TweakApplyReport apply(const QList<TweakReviewLine> &review, const QByteArray &note = {},
                           bool allowCreate = false) const
    {
        return Tweak::apply(ParameterWriter(target("fresh"), journal), journal, review, note, "id",
                            allowCreate);
    }

    TempDir dir;
    ApplyHistory *journal = nullptr; // the history of the writes, when a test keeps one
};

} // namespace

TEST_F(TweakFiles, MadeFromTheChangesAndAppliedToAFreshCopyGivesTheChangedFiles)
{
    const ParameterWriter modder(target("modded"));
    ASSERT_TRUE(modder.writeParameter("config\\creatures\\actor.ltx", "actor", "walk_accel",
                                      " 7 ; \xF3\xF1\xEA"));
    ASSERT_TRUE(modder.writeParameter("config\\creatures\\actor.ltx", "camera", "near", " 0.1"));
    ASSERT_TRUE(modder.writeTrade("config\\creatures\\actor.ltx", "actor", "jump", false, {}));
    ASSERT_TRUE(modder.writeParameter("config\\weapons\\w_ak.ltx", "ak", "rpm", " 700 ;fast"));
    ASSERT_TRUE(modder.writeParameter("config\\weapons\\w_new.ltx", "new", "x", " 1"));
    const QList<LineChange> changes =
        ChangeList::changes(target("modded").gamedataFolder,
                            {"config\\creatures\\actor.ltx", "config\\weapons\\w_ak.ltx",
                             "config\\weapons\\w_new.ltx"});
    // The new file's header is a line outside the keys: the tweak carries the five keys only,
    // counts them, and names the header it left out.
    const TweakFile::Made made = TweakFile::make(changes);
    EXPECT_EQ(made.lines, 5);
    ASSERT_EQ(made.leftOut.size(), changes.size() - 5);
    EXPECT_TRUE(TweakFile::leftOutText(made.leftOut).contains("config\\weapons\\w_new.ltx [new]"));
    const QByteArray &tweak = made.bytes;
    EXPECT_TRUE(tweak.contains(";> config\\creatures\\actor.ltx\r\n[actor]\r\nwalk_accel= 7"));
    EXPECT_TRUE(tweak.contains("[actor]\r\n;- jump\r\n"));
    const QList<TweakLine> lines = TweakFile::parse(tweak);
    ASSERT_EQ(lines.size(), 5);
    for (const TweakLine &l : lines)
        EXPECT_TRUE(l.problem.isEmpty()) << l.number << qPrintable(l.problem);

    // Without leave to create files, the new file's line is held back.
    QList<TweakReviewLine> review = Tweak::review(target("fresh").gamedataFolder, lines, false);
    std::vector<State> states;
    for (const TweakReviewLine &r : review)
        states.push_back(r.state);
    EXPECT_EQ(states, (std::vector<State>{State::Differs, State::Missing, State::Removal,
                                          State::Differs, State::Blocked}));
    EXPECT_EQ(review[0].change.before, QByteArray("walk_accel = 5 ; \xF3\xF1\xEA"));

    review = Tweak::review(target("fresh").gamedataFolder, lines, true);
    EXPECT_EQ(review[4].state, State::Missing);
    const TweakApplyReport report = apply(review, "t.ltx", true);
    EXPECT_TRUE(report.complete) << qPrintable(report.message());
    EXPECT_EQ(report.written, 5);
    EXPECT_EQ(report.files, 3);
    for (const char *file : {"config/creatures/actor.ltx", "config/weapons/w_ak.ltx",
                             "config/weapons/w_new.ltx", "config/creatures/actor.ltx.bak",
                             "config/weapons/w_ak.ltx.bak", "config/weapons/w_new.ltx.bak"})
        EXPECT_EQ(bytes("fresh", file), bytes("modded", file)) << file;

    // Applied again, every line already holds.
    for (const TweakReviewLine &r : Tweak::review(target("fresh").gamedataFolder, lines, true))
        EXPECT_EQ(r.state, State::Equal) << r.number;
}

TEST_F(TweakFiles, LinesThatCannotApplySayWhy)
{
    struct Case
    {
        QByteArray text;
        const char *why; // part of the reason; nothing: the line applies
    };
    const QByteArray head = ";> config\\creatures\\actor.ltx\r\n[actor]\r\n";
    const Case cases[] = {
        {head + "walk_accel = 9\r\n", nullptr},
        {";> ..\\outside.ltx\r\n[a]\r\nk = 1\r\n", "вне папки gamedata"},
        {";> ..\\outside.ltx\r\n[a]\r\n;- k\r\n", "вне папки gamedata"},
        {";> config\\missing.ltx\r\n[a]\r\nk = 1\r\n", "создавать его не разрешено"},
        {head + "[sys = 2\r\n", "начинается с «[»"},
        {"[actor]\r\nk = 1\r\n", "не назван файл"},
        {";> config\\creatures\\actor.ltx\r\nk = 1\r\n", "не назван раздел"},
        {head + "just text\r\n", "без «=»"},
        {head + "#include \"x.ltx\"\r\n", "#include"},
        {"\xEF\xBB\xBF" + head + "walk_accel = \xE2\x82\xAC\xE2\x98\x83\r\n", "Windows-1251"},
        {"\xEF\xBB\xBF;> config\\creatures\\actor.ltx\r\n[\xE2\x98\x83]\r\nwalk_accel = 9\r\n",
         "Windows-1251"},
        {"\xEF\xBB\xBF" + head +
             "walk_accel = \xD0\xB1\xD1\x8B\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\r\n",
         nullptr},
    };
    for (const Case &c : cases) {
        const QList<TweakLine> lines = TweakFile::parse(c.text);
        ASSERT_EQ(lines.size(), 1) << c.text.constData();
        const TweakReviewLine r = Tweak::review(target("fresh").gamedataFolder, lines, false)[0];
        if (!c.why) {
            EXPECT_EQ(r.state, State::Differs) << c.text.constData();
            continue;
        }
        EXPECT_EQ(r.state, State::Blocked) << c.text.constData();
        EXPECT_TRUE(r.reason.contains(QString::fromUtf8(c.why)))
            << c.text.constData() << " " << qPrintable(r.reason);
    }
    // The UTF-8 tweak's Cyrillic reaches the line as Windows-1251.
    const QList<TweakLine> lines = TweakFile::parse(cases[11].text);
    EXPECT_EQ(lines[0].change.after, QByteArray("walk_accel = \xE1\xFB\xF1\xF2\xF0\xEE"));
}

// The tweak is read as the game files are: the review, the write and the undo agree on every
// line's section and key.
TEST_F(TweakFiles, ATweakIsReadByTheGameFilesParser)
{
    struct Case
    {
        const char *what;
        QByteArray tweak;
        QByteArray game;    // config/game.ltx before the apply
        QByteArray applied; // ... after it
    };
    const QByteArray head = ";> config\\game.ltx\r\n[sec]\r\n";
    const Case cases[] = {
        {"a \"[\" without \"]\" opens no section", head + "[sys\r\nk1 = 2\r\n",
         "[sec]\r\nk1 = 1\r\n[sys\r\n", "[sec]\r\nk1 = 2\r\n[sys\r\n"},
        {"a vertical tab is part of the key", head + "\x0Bk1 = 10\r\n", "[sec]\r\nk1 = 1\r\n",
         "[sec]\r\nk1 = 1\r\n\x0Bk1 = 10\r\n"},
        {"a form feed is part of the key", head + "k1\x0C = 10\r\n", "[sec]\r\nk1 = 1\r\n",
         "[sec]\r\nk1 = 1\r\nk1\x0C = 10\r\n"},
        {"a lone CR ends a line", head + "k1 = 2\rk2 = 3\r\n", "[sec]\r\nk1 = 1\r\nk2 = 1\r\n",
         "[sec]\r\nk1 = 2\r\nk2 = 3\r\n"},
        {"the section before the first header", ";> config\\game.ltx\r\n[]\r\nk = 2\r\n",
         "k = 1\r\n[sec]\r\n", "k = 2\r\n[sec]\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("fresh/config/game.ltx", c.game);
        ApplyHistory history(dir.path(QString("history-%1.log").arg(&c - cases)));
        journal = &history;
        const QList<TweakLine> lines = TweakFile::parse(c.tweak);
        const QList<TweakReviewLine> reviewed =
            Tweak::review(target("fresh").gamedataFolder, lines, false);
        for (const TweakReviewLine &r : reviewed) {
            if (r.state == State::Blocked) {
                EXPECT_TRUE(r.change.key.isEmpty()) << qPrintable(r.reason);
            }
        }
        const TweakApplyReport report =
            Tweak::apply(ParameterWriter(target("fresh"), journal), journal, reviewed, "t.ltx",
                         TweakFile::identity(lines), false);
        EXPECT_TRUE(report.complete) << qPrintable(report.message());
        EXPECT_EQ(bytes("fresh", "config/game.ltx"), c.applied);
        // Removed again, byte for byte.
        const QList<HistoryRecord> group = Tweak::appliedGroup(
            target("fresh").gamedataFolder, history.read(), TweakFile::identity(lines));
        QString error;
        EXPECT_TRUE(HistoryUndo::undo(ParameterWriter(target("fresh"), journal), group, &error))
            << qPrintable(error);
        EXPECT_EQ(bytes("fresh", "config/game.ltx"), c.game);
        journal = nullptr;
    }
}

TEST_F(TweakFiles, KeysNamedOrWrittenTwiceAreHeldBack)
{
    dir.write("fresh/config/twice.ltx", "[s]\r\nk = 1\r\nk = 2\r\nm = 1\r\n[s]\r\nm = 3\r\n");
    struct Case
    {
        QByteArray lines;
        State state;
        const char *why;
    };
    const Case cases[] = {
        // Removing the first of two lines would leave the second one read.
        {";- k\r\n", State::Blocked, "несколько раз"},
        // A key repeated in a later section of the same name is never read there.
        {";- m\r\n", State::Removal, nullptr},
        {"k = 5\r\n", State::Differs, nullptr},
        {"m = 5\r\nm = 6\r\n", State::Blocked, "уже назван в строке 3"},
    };
    for (const Case &c : cases) {
        const QList<TweakReviewLine> r = review(";> config\\twice.ltx\r\n[s]\r\n" + c.lines);
        ASSERT_FALSE(r.isEmpty());
        EXPECT_EQ(r.last().state, c.state) << c.lines.constData();
        if (c.why) {
            EXPECT_TRUE(r.last().reason.contains(QString::fromUtf8(c.why)))
                << qPrintable(r.last().reason);
        }
    }
}

// Nothing is written unless every file can take its lines; a write that still fails part way
// puts back the files written before it.
TEST_F(TweakFiles, AnApplyWritesAllOfATweakOrNothing)
{
    const QByteArray tweak = ";> config\\weapons\\w_ak.ltx\r\n[ak]\r\nammo = 45\r\n;- rpm\r\n"
                             "added = 1\r\n"
                             ";> config\\creatures\\actor.ltx\r\n[actor]\r\njump = 3\r\n"
                             ";> config\\new\\deep\\w_new.ltx\r\n[new]\r\nx = 1\r\n";
    const QString actor = dir.path("fresh/config/creatures/actor.ltx");
    const QString akFolder = dir.path("fresh/config/weapons");
    const auto unchanged = [&] {
        EXPECT_EQ(bytes("fresh", "config/weapons/w_ak.ltx"), WeaponOriginal);
        EXPECT_EQ(bytes("fresh", "config/creatures/actor.ltx"), ActorOriginal);
    };

    // Checked before the first write: a read-only file in the middle, a missing folder.
    QFile::setPermissions(actor, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QList<TweakReviewLine> r = review(tweak, true);
    EXPECT_EQ(r[3].state, State::Blocked);
    EXPECT_TRUE(r[3].reason.contains(QStringLiteral("только для чтения")))
        << qPrintable(r[3].reason);
    EXPECT_EQ(r[4].state, State::Missing);
    EXPECT_TRUE(r[4].reason.contains(QStringLiteral("будут созданы"))) << qPrintable(r[4].reason);
    for (TweakReviewLine &line : r)
        line.state = line.state == State::Blocked ? State::Differs : line.state;
    TweakApplyReport report = apply(r, {}, true);
    EXPECT_TRUE(report.refused);
    EXPECT_TRUE(report.message().contains(QStringLiteral("Ничего не изменено")));
    unchanged();
    EXPECT_FALSE(QFileInfo::exists(dir.path("fresh/config/new")));
    EXPECT_EQ(review(tweak, false)[4].state, State::Blocked);
    QFile::setPermissions(actor, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                     QFile::ReadOther);

    // A write that fails after the checks: the files written before it come back, byte for
    // byte, from the history's group or, without a history, from what the writes reported.
    // The failure: another program replaces actor.ltx (with the same bytes) during its write.
    for (const bool withHistory : {true, false}) {
        SCOPED_TRACE(withHistory ? "with a history" : "without one");
        ApplyHistory history(dir.path(withHistory ? "History.log" : "unused.log"));
        journal = withHistory ? &history : nullptr;
        // Without a history the removed line comes back where it stood, too.
        const QByteArray lines = withHistory ? QByteArray(tweak).replace(";- rpm\r\n", "") : tweak;
        setBeforeRenameHook([&](const QByteArray &target) {
            if (!target.endsWith("actor.ltx"))
                return;
            QSaveFile other(actor);
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
            other.write(ActorOriginal);
            ASSERT_TRUE(other.commit());
        });
        report = apply(review(lines, true), {}, true);
        setBeforeRenameHook({});
        EXPECT_FALSE(report.complete);
        EXPECT_FALSE(report.refused);
        EXPECT_EQ(report.file, "config\\creatures\\actor.ltx");
        EXPECT_EQ(report.undoneFiles, 1);
        EXPECT_TRUE(report.undoProblem.isEmpty()) << qPrintable(report.undoProblem);
        EXPECT_TRUE(report.message().contains(QStringLiteral("возвращены")))
            << qPrintable(report.message());
        unchanged();
        EXPECT_FALSE(QFileInfo::exists(dir.path("fresh/config/new")));
        journal = nullptr;
    }
}

// A tweak is known by its content: moved, re-encoded or with other comments it is still the
// tweak that was applied; removed, it is no longer applied.
TEST_F(TweakFiles, ATweakIsKnownByItsContentWhereverItLies)
{
    ApplyHistory history(dir.path("History.log"));
    journal = &history;
    const QByteArray tweak = ";> config\\weapons\\w_ak.ltx\r\n[ak]\r\nammo = 45\r\n;- rpm\r\n"
                             ";> config\\creatures\\actor.ltx\r\n[camera]\r\nnear = 0.1\r\n";
    // The same lines in another order, with LF endings, comments and another spelling of names.
    const QByteArray moved = "; moved\n;> config/creatures/ACTOR.ltx\n[Camera]\nnear = 0.1\n"
                             ";> config\\weapons\\w_ak.ltx\n[ak]\n;-   RPM\nammo = 45\n";
    const QByteArray other = ";> config\\weapons\\w_ak.ltx\r\n[ak]\r\nammo = 46\r\n";
    const QByteArray id = TweakFile::identity(TweakFile::parse(tweak));
    EXPECT_EQ(TweakFile::identity(TweakFile::parse(moved)), id);
    EXPECT_NE(TweakFile::identity(TweakFile::parse(other)), id);

    ASSERT_TRUE(Tweak::apply(ParameterWriter(target("fresh"), journal), journal, review(tweak),
                             Tweak::note(dir.path("mods/tweak_\u00e4.ltx")), id, false)
                    .complete);
    // A later row apply of another key stays.
    ASSERT_TRUE(ParameterWriter(target("fresh"), journal)
                    .writeParameter("config\\creatures\\actor.ltx", "actor", "jump", " 4"));
    const ApplyHistory::Contents contents = history.read();
    const QList<HistoryRecord> &records = contents.records;
    EXPECT_EQ(records.first().stamp.note, dir.path("mods/tweak_\u00e4.ltx").toUtf8());
    EXPECT_TRUE(Tweak::appliedGroup(target("fresh").gamedataFolder, contents,
                                    TweakFile::identity(TweakFile::parse(other)))
                    .isEmpty());
    const QList<HistoryRecord> group = Tweak::appliedGroup(
        target("fresh").gamedataFolder, contents, TweakFile::identity(TweakFile::parse(moved)));
    ASSERT_EQ(group.size(), 3);
    QString error;
    EXPECT_TRUE(HistoryUndo::undo(ParameterWriter(target("fresh"), journal), group, &error))
        << qPrintable(error);
    EXPECT_EQ(bytes("fresh", "config/weapons/w_ak.ltx"), WeaponOriginal);
    QByteArray actor = ActorOriginal;
    actor.replace("jump = 1", "jump= 4");
    EXPECT_EQ(bytes("fresh", "config/creatures/actor.ltx"), actor);
    // Removed, the tweak is not applied any more.
    EXPECT_TRUE(Tweak::appliedGroup(target("fresh").gamedataFolder, history.read(), id).isEmpty());

    // A history written before tweaks were known by their content names the tweak's path.
    HistoryRecord old = records.first();
    old.stamp.tweak.clear();
    old.stamp.note = Tweak::note(dir.path("old.ltx"));
    old.stamp.group = 7;
    old.change.before = "ammo = 45";
    old.change.after = "ammo = 50";
    ASSERT_TRUE(history.append(old));
    ASSERT_TRUE(ParameterWriter(target("fresh"))
                    .writeParameter("config\\weapons\\w_ak.ltx", "ak", "ammo", " 50"));
    EXPECT_EQ(Tweak::appliedGroup(target("fresh").gamedataFolder, history.read(), "x",
                                  Tweak::note(dir.path("old.ltx")))
                  .size(),
              1);
}
