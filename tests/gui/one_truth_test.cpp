// One value per key: the rows, the table view and the command line give the same answers for
// sections found through includes, parents and the text order, a write lands where the section
// stands, and every row that depends on a written file shows the new value at once.

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <optional>

#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"
#include "table/GridCellStore.h"
#include "table/TablePage.h"

namespace {

// system.ltx pulls in weapons/weapons.ltx (which pulls in w_gun000.ltx) and inc.ltx, whose
// [twice] comes before system.ltx's own in the text read with its includes in place.
const char *const System = "#include \"weapons\\weapons.ltx\"\n#include \"inc.ltx\"\n"
                           "[twice]\nk = first\n[child]:twice\n[ak74u]:ak74\nown = 5 ; своё\n";
const char *const Guns = "[wpn_gun000]\ncost = 1000 ; цена\n[ak74]\nhit = 0.55, 0.6 ; урон\n";

struct Entry
{
    const char *section, *key;
    std::optional<const char *> value; // the value part a row shows; nothing: missing
    const char *origin;                // where an inherited value comes from, or empty
};
const Entry Entries[] = {
    {"wpn_gun000", "cost", "1000", ""},
    {"twice", "k", "second", ""},
    {"child", "k", "second", "унаследовано из [twice], config/inc.ltx"},
    {"ak74u", "hit", "0.55, 0.6", "унаследовано из [ak74], config/weapons/w_gun000.ltx"},
    {"ak74u", "own", "5", ""},
    {"nothere", "k", std::nullopt, ""},
    {"ak74", "hit", "0.55, 0.6", ""},
};

class OneTruth : public ::testing::Test
{
protected:
    WindowFixture f;

    void SetUp() override
    {
        QString page =
            "[Pages]\nKol-vo=1\n1=Все\n[Все]\nKol-vo=" + QString::number(std::size(Entries)) + "\n";
        for (std::size_t i = 0; i < std::size(Entries); ++i) {
            const QString n = QString::number(i + 1);
            page += n + "_Caption=" + Entries[i].section + " " + Entries[i].key + "\n" + n +
                    "_File=config\\system.ltx\n" + n + "_Section=" + Entries[i].section + "\n" + n +
                    "_Param=" + Entries[i].key + "\n";
        }
        f.writeSetting("Pages.ini",
                       "[Global Pages]\nKol-vo=1\n1=Арсенал\n1_file=All\n1_Enabled=true\n"
                       "1_Tabl=1\n");
        f.writeSetting("All.ini", page);
        f.writeGameFile("config/system.ltx", System);
        f.writeGameFile("config/weapons/weapons.ltx", "#include \"w_gun000.ltx\"\n");
        f.writeGameFile("config/weapons/w_gun000.ltx", Guns);
        f.writeGameFile("config/inc.ltx", "[twice]\nk = second\n");
        f.writeSettings("Warning=0\n");
        f.start();
        f.dialogs.messages.clear();
    }

    ValueBox *row(std::size_t i)
    {
        return qobject_cast<ValueBox *>(f.window->findComponent("Name_" + QString::number(i)));
    }
    void apply(std::size_t i, const QString &text)
    {
        QTest::mouseClick(row(i)->editor()->viewport(), Qt::LeftButton);
        row(i)->editor()->selectAll();
        QTest::keyClicks(row(i)->editor(), text);
        QTest::mouseClick(qobject_cast<QPushButton *>(
                              f.window->findComponent("Name_" + QString::number(i) + "_")),
                          Qt::LeftButton);
    }
    QByteArray game(const QString &name) const
    {
        return TempDir::read(f.gameFolder() + "/" + name);
    }
    struct Got
    {
        int code;
        QString out, err;
    };
    Got run(const QStringList &args) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BRANVIK_PROGRAM),
                      QStringList{"--settings", f.settingPath("")} + args);
        process.waitForFinished(20000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(process.readAllStandardError()).trimmed()};
    }
    Got get(const Entry &e) const { return run({"--get", "config\\system.ltx", e.section, e.key}); }
};

} // namespace

TEST_F(OneTruth, RowsTheTableViewAndTheCommandLineGiveOneAnswerPerKey)
{
    GridCellStore values, remainders;
    InheritedCells inherited;
    TablePage(cp1251::encode(f.programFolder() + "/"), cp1251::encode(f.gameFolder() + "/"))
        .fill(1, values, remainders, &inherited);
    for (std::size_t i = 0; i < std::size(Entries); ++i) {
        const Entry &e = Entries[i];
        SCOPED_TRACE(std::string(e.section) + " " + e.key);
        const QString value = e.value ? QString::fromUtf8(*e.value) : QString();
        EXPECT_EQ(row(i)->text(), value);
        EXPECT_EQ(row(i)->inheritedFrom(), QString::fromUtf8(e.origin));
        const int column = int(i) + 1;
        EXPECT_EQ(cp1251::toUnicode(values.cell(column, 1)), e.value ? value : "ERROR!");
        EXPECT_EQ(cp1251::toUnicode(inherited.value(TablePage::cellKey(column, 1)).origin),
                  QString::fromUtf8(e.origin));
        const Got got = get(e);
        EXPECT_EQ(got.code, e.value ? 0 : 1) << got.err.toStdString();
        if (e.value) {
            EXPECT_EQ(got.out, value);
        }
        EXPECT_EQ(got.err.contains(QStringLiteral("унаследовано")), *e.origin != 0)
            << got.err.toStdString();
    }
}

TEST_F(OneTruth, AWriteLandsWhereTheSectionStandsAndEveryDependentRowShowsIt)
{
    const QByteArray system = game("config/system.ltx");
    // The section found through two includes is the row's own: its file takes the key.
    apply(0, "1111");
    EXPECT_EQ(
        game("config/weapons/w_gun000.ltx"),
        WindowFixture::ini("[wpn_gun000]\ncost= 1111 ; цена\n[ak74]\nhit = 0.55, 0.6 ; урон\n"));
    EXPECT_TRUE(QFile::exists(f.gameFolder() + "/config/weapons/w_gun000.ltx.bak"));
    EXPECT_EQ(game("config/system.ltx"), system) << "no second [wpn_gun000]";
    EXPECT_FALSE(QFile::exists(f.gameFolder() + "/config/system.ltx.bak"));
    EXPECT_EQ(row(0)->inheritedFrom(), "");

    // A value from a parent: the override goes into the row's own section.
    apply(2, "third");
    EXPECT_TRUE(game("config/system.ltx").contains("[child]:twice\r\nk= third\r\n"));
    EXPECT_EQ(game("config/inc.ltx"), WindowFixture::ini("[twice]\nk = second\n"));
    EXPECT_EQ(row(2)->inheritedFrom(), "") << "now its own value";
    EXPECT_FALSE(f.window->Help->toPlainText().contains("унаследовано")) << "nor says the help";
    EXPECT_FALSE(f.window->Panel1->text().contains("унаследовано"));

    // Another program edits the file; the next write into it shows that edit in every row of
    // the file, and a child section shows its parent's new value at once.
    QByteArray edited = game("config/weapons/w_gun000.ltx");
    edited.replace("cost= 1111", "cost= 2222");
    f.dir.write("gamedata/config/weapons/w_gun000.ltx", edited);
    apply(6, "0.7");
    EXPECT_EQ(row(0)->text(), "2222");
    EXPECT_EQ(row(3)->text(), "0.7");
    EXPECT_EQ(row(3)->inheritedFrom(), "унаследовано из [ak74], config/weapons/w_gun000.ltx");

    // Read again: the same, one row per key.
    f.window->findChild<QAction *>("NReload")->trigger();
    for (const auto &[i, text] : {std::pair{0, "2222"}, {2, "third"}, {3, "0.7"}, {6, "0.7"}})
        EXPECT_EQ(row(std::size_t(i))->text(), text) << i;
}

TEST_F(OneTruth, TheChangeListIsTheSameInTheWindowAndOnTheCommandLine)
{
    // A file no row shows, with a backup, and one a row write backs up.
    f.writeGameFile("config/other.ltx", "[o]\nx = 2\n");
    f.writeGameFile("config/other.ltx.bak", "[o]\nx = 1\ny = 0\n");
    apply(0, "1111");
    QStringList window;
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>("ChangesList");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list->topLevelItem(i);
            window << item->text(0) + " [" + item->text(1) + "] " + item->text(2);
        }
    };
    f.window->findChild<QAction *>("NChanges")->trigger();
    const Got got = run({"--changes"});
    ASSERT_EQ(got.code, 0) << got.err.toStdString();
    QStringList line;
    for (const QString &l : got.out.split('\n'))
        line << l.section(':', 0, 0);
    EXPECT_EQ(window, line);
    EXPECT_EQ(window.size(), 3) << window.join('\n').toStdString();
}
