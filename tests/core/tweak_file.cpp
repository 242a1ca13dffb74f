// Tweak files: made from the change list and applied to a fresh copy of the game files, the bytes
// come out as the changed files; the review's states; lines that cannot apply.

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"
#include "tweaks/TweakFile.h"

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
    // The new file's header is a line outside the keys: the tweak carries the five keys only.
    ASSERT_EQ(std::count_if(changes.begin(), changes.end(),
                            [](const LineChange &c) { return c.isKey(); }),
              5);

    const QByteArray tweak = TweakFile::make(changes);
    EXPECT_TRUE(tweak.contains(";> config\\creatures\\actor.ltx\r\n[actor]\r\nwalk_accel= 7"));
    EXPECT_TRUE(tweak.contains("[actor]\r\n;- jump\r\n"));
    const QList<TweakFile::Line> lines = TweakFile::parse(tweak);
    ASSERT_EQ(lines.size(), 5);
    for (const TweakFile::Line &l : lines)
        EXPECT_TRUE(l.problem.isEmpty()) << l.number << qPrintable(l.problem);

    // Without leave to create files, the new file's line is held back.
    QList<TweakReviewLine> review = Tweak::review(target("fresh").gamedataFolder, lines, false);
    std::vector<State> states;
    for (const TweakReviewLine &r : review)
        states.push_back(r.state);
    EXPECT_EQ(states, (std::vector<State>{State::Differs, State::Missing, State::Removal,
                                          State::Differs, State::Blocked}));
    EXPECT_EQ(review[0].current, QByteArray("walk_accel = 5 ; \xF3\xF1\xEA"));

    review = Tweak::review(target("fresh").gamedataFolder, lines, true);
    EXPECT_EQ(review[4].state, State::Missing);
    const TweakApplyReport report =
        Tweak::apply(ParameterWriter(target("fresh"), journal), review, "t.ltx");
    EXPECT_TRUE(report.complete) << qPrintable(report.reason);
    EXPECT_EQ(report.written, 5);
    EXPECT_EQ(report.files, 3);
    for (const char *file : {"config/creatures/actor.ltx", "config/weapons/w_ak.ltx",
                             "config/weapons/w_new.ltx", "config/creatures/actor.ltx.bak",
                             "config/weapons/w_ak.ltx.bak", "config/weapons/w_new.ltx.bak"})
        EXPECT_EQ(bytes("fresh", file), bytes("modded", file)) << file;

    // Applied again, every line already holds.
    for (const TweakReviewLine &r : Tweak::review(target("fresh").gamedataFolder, lines, true))
        EXPECT_EQ(r.state, State::Equal) << r.line.number;
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
        {";> config\\missing.ltx\r\n[a]\r\nk = 1\r\n", "создавать его не разрешено"},
        {head + "walk_accel = 9\rjump = 2\r\n", "перевод строки"},
        {"[actor]\r\nk = 1\r\n", "не назван файл"},
        {";> config\\creatures\\actor.ltx\r\nk = 1\r\n", "не назван раздел"},
        {head + "just text\r\n", "без \"=\""},
        {"\xEF\xBB\xBF" + head + "walk_accel = \xE2\x82\xAC\xE2\x98\x83\r\n", "Windows-1251"},
        {"\xEF\xBB\xBF" + head +
             "walk_accel = \xD0\xB1\xD1\x8B\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\r\n",
         nullptr},
    };
    for (const Case &c : cases) {
        const QList<TweakFile::Line> lines = TweakFile::parse(c.text);
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
    const QList<TweakFile::Line> lines = TweakFile::parse(cases[8].text);
    EXPECT_EQ(lines[0].line, QByteArray("walk_accel = \xE1\xFB\xF1\xF2\xF0\xEE"));
}

TEST_F(TweakFiles, AFileChangedAfterTheReviewStopsTheApplyThere)
{
    const QByteArray tweak = ";> config\\weapons\\w_ak.ltx\r\n[ak]\r\nammo = 45\r\n"
                             ";> config\\creatures\\actor.ltx\r\n[actor]\r\njump = 3\r\n";
    const QList<TweakReviewLine> review =
        Tweak::review(target("fresh").gamedataFolder, TweakFile::parse(tweak), false);
    dir.write("fresh/config/creatures/actor.ltx", ActorOriginal + "[x]\r\n");
    dir.write("fresh/config/creatures/actor.ltx", "[actor]\r\njump = 2\r\n");
    const TweakApplyReport report =
        Tweak::apply(ParameterWriter(target("fresh"), journal), review, {});
    EXPECT_FALSE(report.complete);
    EXPECT_EQ(report.file, "config\\creatures\\actor.ltx");
    EXPECT_TRUE(report.reason.contains(QStringLiteral("изменился после проверки")));
    EXPECT_EQ(report.written, 1);
    EXPECT_EQ(bytes("fresh", "config/weapons/w_ak.ltx"), "[ak]\nammo = 45\nrpm = 600 ;fast\n");
    EXPECT_EQ(bytes("fresh", "config/creatures/actor.ltx"), "[actor]\r\njump = 2\r\n");
}

TEST_F(TweakFiles, RemovingATweakUndoesExactlyItsApply)
{
    ApplyHistory history(dir.path("History.log"));
    journal = &history;
    const QByteArray tweak = ";> config\\weapons\\w_ak.ltx\r\n[ak]\r\nammo = 45\r\n;- rpm\r\n"
                             ";> config\\creatures\\actor.ltx\r\n[camera]\r\nnear = 0.1\r\n";
    const QList<TweakReviewLine> review =
        Tweak::review(target("fresh").gamedataFolder, TweakFile::parse(tweak), false);
    EXPECT_TRUE(
        Tweak::apply(ParameterWriter(target("fresh"), journal), review, "mods/near.ltx").complete);
    // A later row apply of another key stays.
    ASSERT_TRUE(ParameterWriter(target("fresh"), journal)
                    .writeParameter("config\\creatures\\actor.ltx", "actor", "jump", " 4"));
    const QList<HistoryRecord> group = HistoryUndo::tweakGroup(history.read(), "mods/near.ltx");
    ASSERT_EQ(group.size(), 3);
    QString error;
    EXPECT_TRUE(HistoryUndo::undo(ParameterWriter(target("fresh"), journal), group, &error))
        << qPrintable(error);
    journal = nullptr;
    EXPECT_EQ(bytes("fresh", "config/weapons/w_ak.ltx"), WeaponOriginal);
    QByteArray actor = ActorOriginal;
    actor.replace("jump = 1", "jump= 4");
    EXPECT_EQ(bytes("fresh", "config/creatures/actor.ltx"), actor);
    EXPECT_TRUE(HistoryUndo::tweakGroup(history.read(), "other.ltx").isEmpty());
}
