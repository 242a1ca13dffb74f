#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "catalogue/window/TForm3.h"
#include "catalogue/window/TForm4.h"
#include "editor/window/RowEditor.h"
#include "editor/window/ValueBox.h"
#include "profile/ProfileFile.h"
#include "support/RenameCounter.h"
#include "support/WindowFixture.h"
#include "ui/window/DataSlots.h"
#include "ui/window/RowNames.h"

namespace {

const QString Index = "[Global Pages]\nKol-vo=3\n1=Актёр\n1_file=Actor\n1_Enabled=true\n"
                      "2=Торговля\n2_file=Trade\n2_Enabled=true\n2_Trade=true\n"
                      "3=Скрытая\n3_file=Actor\n3_Enabled=True\n";

QString entry(int k, const QString &caption, const QString &key)
{
    return QStringLiteral("%1_Caption=%2\n%1_File=config\\a.ltx\n%1_Section=s\n%1_Param=%3\n"
                          "%1_Help=Помощь %2\n")
        .arg(k)
        .arg(caption, key);
}

// Page "Актёр" (Actor.ini): sub-tab "Основное" with four entries (rows Name_0..Name_3, entry 3
// shown whole) and sub-tab "Второе" with one (Name_4); page "Торговля": one trade row
// (Name1_5_s1).
const QString ActorPage =
    "[Pages]\nKol-vo=2\n1=Основное\n2=Второе\n[Основное]\nKol-vo=4\n" + entry(1, "Один", "one") +
    entry(2, "Два", "two") +
    QString(entry(3, "Три", "three")).replace("3_Help=Помощь Три", "3_Help= '  Помощь Три  '") +
    "3_FULL=1\n" + QString(entry(4, "Четыре", "four")).remove("4_Help=Помощь Четыре\n") +
    "[Второе]\nKol-vo=1\n" + entry(1, "Пять", "five");

class Catalogue : public ::testing::Test
{
protected:
    WindowFixture f;

    void SetUp() override
    {
        f.writeSetting("Pages.ini", Index);
        f.writeSetting("Actor.ini", ActorPage);
        f.writeSetting("Trade.ini", "[Pages]\nKol-vo=1\n1=Лавка\n[Лавка]\nKol-vo=1\n" +
                                        entry(1, "Хлеб", "bread"));
        f.writeGameFile("config/a.ltx", "[s]\none = 1\ntwo = 2\nthree = 3\nfour = 4\n");
    }

    TForm1 &start(const QString &settings = "Warning=1\n")
    {
        f.writeSettings(settings);
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }
    TForm1 &restart()
    {
        f.window->close();
        f.window.reset();
        return start();
    }
    void select(const QString &boxName)
    {
        auto *box = qobject_cast<ValueBox *>(f.window->findComponent(boxName));
        ASSERT_NE(box, nullptr) << boxName;
        if (RowNames::isTradeBox(boxName))
            f.window->rowEditor().SpinClick(box);
        else
            f.window->rowEditor().MemoClick(box);
    }
    QWidget *control(const QString &name)
    {
        return qobject_cast<QWidget *>(f.window->findComponent(name));
    }
    QByteArray actorPage() const { return TempDir::read(f.settingPath("Actor.ini")); }
    QByteArray read(const QString &file, const QByteArray &section, const QByteArray &key) const
    {
        return ProfileFile(cp1251::encode(f.settingPath(file)))
            .readString(cp1251::encode(QString::fromUtf8(section)), key, "absent");
    }
    QByteArray actor(const char *key) const { return read("Actor.ini", "Основное", key); }
};

QString u(const QByteArray &bytes)
{
    return cp1251::toUnicode(bytes);
}

} // namespace

TEST_F(Catalogue, PropertiesShowTheEntryAndWriteOnlyChangedFieldsKeepingTheirBlanks)
{
    f.writeSetting("Actor.ini", QString(ActorPage).replace("2_Help=Помощь Два\n", ""));
    TForm1 &w = start();
    select("Name_0");
    select("Name_1"); // the row clicked last is the one the commands act on
    f.dialogs.whileOpen = [&](QDialog *) {
        EXPECT_EQ(w.Form3->Label8->text(), "Вкладка: Основное");
        EXPECT_EQ(w.Form3->Label9->text(), "Позиция: 2");
        EXPECT_EQ(w.Form3->Edit1->text(), "config\\a.ltx");
        EXPECT_EQ(w.Form3->Edit3->text(), "two");
        EXPECT_EQ(w.Form3->Edit5->text(), "Два");
        EXPECT_EQ(w.Form3->Edit6->text(), "ОШИБКА!") << "a key the entry lacks";
        w.Form3->Edit5->setText("  Два раза  ");
    };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    const QByteArray before = actorPage();
    w.N9->trigger();
    EXPECT_EQ(f.dialogs.shownDialogs, QStringList{"Form3"});
    EXPECT_EQ(u(actor("2_Caption")), "  Два раза  ");
    EXPECT_EQ(actor("2_Help"), "absent") << "not written as ОШИБКА!";
    QByteArray expected = before;
    expected.replace(WindowFixture::ini("2_Caption=Два\n"),
                     WindowFixture::ini("2_Caption= '  Два раза  '\n"));
    EXPECT_EQ(actorPage(), expected) << "only the changed key's line";
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].startsWith("Изменения приняты"));

    // Cancelled: nothing written.
    f.dialogs.whileOpen = [&](QDialog *) { w.Form3->Edit1->setText("other.ltx"); };
    w.N9->trigger();
    EXPECT_EQ(actorPage(), expected);
}

TEST_F(Catalogue, CommandsNeedASelectedRowThatStillExists)
{
    TForm1 &w = start();
    const QByteArray before = actorPage();
    for (QAction *a : {w.N9, w.N11, w.N13}) {
        f.dialogs.messages.clear();
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        a->trigger();
        ASSERT_EQ(f.dialogs.messages.size(), 1) << a->objectName().toStdString();
        EXPECT_TRUE(f.dialogs.messages[0].startsWith("Сначала выберите параметр"));
        f.dialogs.dialogResults.clear();
    }
    EXPECT_TRUE(f.dialogs.shownDialogs.isEmpty());
    EXPECT_EQ(actorPage(), before);
}

TEST_F(Catalogue, AddAppendsToTheSelectedSubTabWithOrWithoutACount)
{
    struct Case
    {
        const char *name;
        QString page; // the page file as it is when the entry is added
        QByteArray number, count;
    };
    const Case cases[] = {
        {"with a count", ActorPage, "5", "5"},
        {"without a count", QString(ActorPage).replace("[Основное]\nKol-vo=4\n", "[Основное]\n"),
         "1", "1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.writeSetting("Actor.ini", ActorPage);
        TForm1 &w = start();
        select("Name_2");
        f.writeSetting("Actor.ini", c.page);
        f.dialogs.whileOpen = [&](QDialog *d) {
            EXPECT_EQ(d->windowTitle(), "Добавить параметр:");
            EXPECT_TRUE(w.Form3->Label8->isHidden());
            EXPECT_EQ(w.Form3->Edit1->y(), 48);
            EXPECT_EQ(w.Form3->Button1->text(), "ДОБАВИТЬ");
            EXPECT_EQ(w.Form3->Edit3->text(), "ПРИМЕР: camera_height_factor");
            w.Form3->Edit1->setText("config\\b.ltx");
            w.Form3->Edit2->setText("s");
            w.Form3->Edit3->setText("height");
            w.Form3->Edit5->setText("Новый");
            w.Form3->Edit6->setText(" с пробелом");
        };
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        w.N11->trigger();
        EXPECT_EQ(actor(c.number + "_File"), "config\\b.ltx");
        EXPECT_EQ(u(actor(c.number + "_Caption")), "Новый");
        EXPECT_EQ(u(actor(c.number + "_Param")), "height");
        EXPECT_EQ(u(actor(c.number + "_Help")), " с пробелом");
        EXPECT_TRUE(actorPage().contains(c.number + "_Caption=" + cp1251::encode("Новый") + "\r\n"))
            << "written plain";
        EXPECT_EQ(actor("Kol-vo"), c.count);
        EXPECT_TRUE(w.N14->isChecked()) << "saved row places would land on other rows";
        EXPECT_EQ(w.Form3->windowTitle(), "Свойства");
        EXPECT_EQ(w.Form3->Button1->text(), "ПРИМЕНИТЬ");
        EXPECT_EQ(w.Form3->size(), QSize(298, 348));
        EXPECT_EQ(w.Form3->Edit1->y(), 88);
        EXPECT_FALSE(w.Form3->Label8->isHidden());

        // A cancelled add writes nothing but offers its texts again.
        const QByteArray before = actorPage();
        f.dialogs.whileOpen = [&](QDialog *) { w.Form3->Edit5->setText("Отменённый"); };
        w.N11->trigger();
        EXPECT_EQ(actorPage(), before);
        f.dialogs.whileOpen = [&](QDialog *) { EXPECT_EQ(w.Form3->Edit5->text(), "Отменённый"); };
        w.N11->trigger();
        f.dialogs.whileOpen = nullptr;
        f.window->close();
        f.window.reset();
    }
}

// The add dialog offers examples as help; a field still holding one is named and the dialog
// comes back with what was typed, so no entry points at "ПРИМЕР: config\\...".
TEST_F(Catalogue, AddRefusesAFieldThatStillHoldsItsExample)
{
    TForm1 &w = start("Warning=2\n");
    select("Name_2");
    int shown = 0;
    f.dialogs.whileOpen = [&](QDialog *) {
        if (++shown == 1) {
            EXPECT_TRUE(w.Form3->Edit1->text().startsWith("ПРИМЕР:"));
            w.Form3->Edit1->setText("config\\b.ltx");
            w.Form3->Edit2->setText("s");
            w.Form3->Edit3->setText("  пример: key"); // in another case, after blanks
            w.Form3->Edit5->setText("Новый");
            w.Form3->Edit6->setText("Справка");
        } else {
            EXPECT_EQ(w.Form3->Edit5->text(), "Новый") << "typed texts stay";
            w.Form3->Edit3->setText("height");
        }
    };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N11->trigger();
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(f.dialogs.messages.size(), 1) << "the refusal, at every level";
    EXPECT_TRUE(f.dialogs.messages[0].contains("«Параметр»"))
        << f.dialogs.messages[0].toStdString();
    EXPECT_EQ(actor("5_Param"), "height");
    EXPECT_EQ(actor("5_File"), "config\\b.ltx");

    // Refused, then cancelled: nothing written.
    const QByteArray added = actorPage();
    f.dialogs.messages.clear();
    f.dialogs.whileOpen = [&](QDialog *) { w.Form3->Edit1->setText("ПРИМЕР: config\\a.ltx"); };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N11->trigger();
    EXPECT_EQ(actorPage(), added);
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].contains("«Файл (относительно gamedata)»"));
    f.dialogs.whileOpen = nullptr;
}

TEST_F(Catalogue, DeleteMovesTheFollowersUpAndHidesTheRow)
{
    struct Case
    {
        const char *name;
        QString row;
        QString page; // as it is when the entry is deleted
        QByteArray count;
        QList<QByteArray> params; // _Param of entries 1..4 afterwards
    };
    const Case cases[] = {
        {"in the middle", "Name_1", ActorPage, "3", {"one", "three", "four", "absent"}},
        {"at the end", "Name_3", ActorPage, "3", {"one", "two", "three", "absent"}},
        {"without a count",
         "Name_1",
         QString(ActorPage).replace("[Основное]\nKol-vo=4\n", "[Основное]\n"),
         "0",
         {"one", "absent", "three", "four"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.writeSetting("Actor.ini", ActorPage);
        TForm1 &w = start("Warning=2\n");
        select(c.row);
        f.writeSetting("Actor.ini", c.page);
        f.dialogs.whileOpen = [&](QDialog *) {
            // The question names the entry; the game file is not touched.
            const QString caption = c.row == "Name_1" ? "«Два»" : "«Четыре»";
            EXPECT_EQ(w.Form4->Label1->text(), "Удалить параметр " + caption + " из набора?");
            EXPECT_EQ(w.Form4->Label2->text(), "Файл игры не изменится.");
        };
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        w.N13->trigger();
        EXPECT_EQ(f.dialogs.shownDialogs.last(), "Form4");
        for (int k = 1; k <= 4; ++k)
            EXPECT_EQ(actor(QByteArray::number(k) + "_Param"), c.params[k - 1]) << k;
        EXPECT_EQ(actor("Kol-vo"), c.count);
        // "_FULL" moves with its entry.
        const bool moved = c.row == "Name_1" && c.count == "3";
        EXPECT_EQ(actor("2_FULL"), moved ? "1" : "absent");
        EXPECT_EQ(actor("3_FULL"), moved ? "absent" : "1");
        if (c.row == "Name_1") {
            EXPECT_EQ(u(actor("2_Help")), c.count == "3" ? "  Помощь Три  " : "absent")
                << "blanks kept";
            EXPECT_EQ(u(actor("3_Help")), c.count == "3" ? "absent" : "  Помощь Три  ")
                << "an absent key stays absent";
        }
        EXPECT_EQ(read("Actor.ini", "Второе", "1_Param"), "five");
        for (const char *suffix : {"", "_", "_V"})
            EXPECT_TRUE(control(c.row + suffix)->isHidden()) << suffix;
        EXPECT_TRUE(w.N14->isChecked());
        ASSERT_EQ(f.dialogs.messages.size(), 1) << "shown at every level";
        EXPECT_TRUE(f.dialogs.messages[0].startsWith("Данные удалены!"));

        // The hidden row cannot be deleted again.
        f.dialogs.messages.clear();
        const QByteArray before = actorPage();
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        w.N13->trigger();
        EXPECT_EQ(actorPage(), before);
        EXPECT_EQ(f.dialogs.messages.size(), 1);
        f.dialogs.dialogResults.clear();
        f.dialogs.whileOpen = nullptr;
        f.window->close();
        f.window.reset();
    }
}

TEST_F(Catalogue, RowsBelowADeletedEntryKeepActingOnTheirOwnEntry)
{
    TForm1 &w = start("Warning=2\n");
    select("Name_1");
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N13->trigger();
    EXPECT_EQ(dataslot::tag(control("Name_3")), 3);
    EXPECT_EQ(dataslot::tag(control("Name_4")), 1) << "another sub-tab";
    EXPECT_EQ(dataslot::tag(control("Name_0")), 1);

    select("Name_3"); // "four", now entry 3
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N13->trigger();
    EXPECT_EQ(actor("1_Param"), "one");
    EXPECT_EQ(actor("2_Param"), "three");
    EXPECT_EQ(actor("3_Param"), "absent");
    EXPECT_EQ(actor("Kol-vo"), "2");

    // Cancelled: nothing changes.
    const QByteArray before = actorPage();
    select("Name_0");
    w.N13->trigger();
    EXPECT_EQ(actorPage(), before);
    EXPECT_FALSE(control("Name_0")->isHidden());
}

TEST_F(Catalogue, TradeRowsAreTargetsToo)
{
    TForm1 &w = start();
    select("Name1_5_s1");
    f.dialogs.whileOpen = [&](QDialog *) {
        EXPECT_EQ(w.Form3->Label8->text(), "Вкладка: Лавка");
        w.Form3->Edit3->setText("water");
    };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N9->trigger();
    EXPECT_EQ(read("Trade.ini", "Лавка", "1_Param"), "water");
}

TEST_F(Catalogue, AFailedWriteEndsTheCommandWithTheFileAndTheReason)
{
    TForm1 &w = start("Warning=2\n");
    select("Name_1");
    QFile::setPermissions(f.settingPath("Actor.ini"), QFileDevice::ReadOwner);
    const QByteArray before = actorPage();
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N13->trigger();
    QFile::setPermissions(f.settingPath("Actor.ini"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(actorPage(), before);
    ASSERT_EQ(f.dialogs.messages.size(), 1) << "shown at every level";
    EXPECT_TRUE(f.dialogs.messages[0].contains("Actor.ini")) << f.dialogs.messages[0];
    EXPECT_FALSE(control("Name_1")->isHidden());
    EXPECT_FALSE(w.N14->isChecked());
}

TEST_F(Catalogue, PageListWritesEveryPagesFlagAndPutsTheDialogBack)
{
    TForm1 &w = start();
    f.dialogs.whileOpen = [&](QDialog *d) {
        EXPECT_EQ(d->height(), 60 + 3 * 25);
        EXPECT_EQ(w.Form3->Button1->y(), 25 + 3 * 25);
        EXPECT_TRUE(w.Form3->Edit1->isHidden());
        const QString captions[] = {"Актёр", "Торговля", "Скрытая"};
        const bool checked[] = {true, true, false}; // "True" is not "true"
        for (int p = 1; p <= 3; ++p) {
            auto *box = d->findChild<QCheckBox *>(QStringLiteral("NAME_CHBOX_%1").arg(p));
            ASSERT_NE(box, nullptr) << p;
            EXPECT_EQ(box->text(), captions[p - 1]);
            EXPECT_EQ(box->isChecked(), checked[p - 1]) << p;
            EXPECT_EQ(box->y(), p * 25);
        }
        d->findChild<QCheckBox *>("NAME_CHBOX_2")->setChecked(false);
    };
    w.N18->trigger(); // cancelled
    EXPECT_EQ(TempDir::read(f.settingPath("Pages.ini")), WindowFixture::ini(Index));

    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N18->trigger();
    EXPECT_EQ(read("Pages.ini", "Global Pages", "1_Enabled"), "true");
    EXPECT_EQ(read("Pages.ini", "Global Pages", "2_Enabled"), "false");
    EXPECT_EQ(read("Pages.ini", "Global Pages", "3_Enabled"), "false");
    EXPECT_TRUE(w.N14->isChecked());
    EXPECT_TRUE(w.Form3->findChildren<QCheckBox *>().isEmpty());
    EXPECT_EQ(w.Form3->size(), QSize(298, 348));
    EXPECT_EQ(w.Form3->Button1->y(), 312);
    EXPECT_FALSE(w.Form3->Edit1->isHidden());
    EXPECT_EQ(f.dialogs.messages.size(), 1);
}

TEST_F(Catalogue, ADraggedRowComesBackAtItsNewPlace)
{
    TForm1 &w = start();
    QWidget *label = control("Name_1_V");
    QWidget *sheet = label->parentWidget();
    bool accept = false;
    w.LabelDragOver(sheet, label, QPoint(200, 150), &accept);
    EXPECT_TRUE(accept);
    w.LabelDragOver(sheet, label, QPoint(300, 250), &accept);
    EXPECT_EQ(label->pos(), QPoint(300, 250));
    EXPECT_EQ(control("Name_1")->pos(), QPoint(300, 266));
    EXPECT_EQ(control("Name_1_")->pos(), QPoint(407, 266));

    // Only a row's caption label, over its own sub-tab.
    for (QObject *source :
         {static_cast<QObject *>(control("Name_1")), static_cast<QObject *>(control("Name_4_V"))}) {
        w.LabelDragOver(sheet, source, QPoint(10, 10), &accept);
        EXPECT_FALSE(accept);
    }
    EXPECT_EQ(label->pos(), QPoint(300, 250));

    // With the mouse: the label drags at once and the row follows the pointer on its sub-tab.
    QWidget *label0 = control("Name_0_V");
    QTest::mousePress(label0, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseMove(label0, label0->mapFrom(sheet, QPoint(150, 60)));
    QTest::mouseRelease(label0, Qt::LeftButton, {}, label0->mapFrom(sheet, QPoint(150, 60)));
    EXPECT_EQ(label0->pos(), QPoint(150, 60));
    EXPECT_EQ(control("Name_0")->pos(), QPoint(150, 76));

    restart();
    EXPECT_EQ(control("Name_0_V")->pos(), QPoint(150, 60));
    EXPECT_EQ(control("Name_1_V")->pos(), QPoint(300, 250));
    EXPECT_EQ(control("Name_1")->pos(), QPoint(300, 266));
    EXPECT_EQ(control("Name_1_")->pos(), QPoint(407, 266));
    EXPECT_EQ(control("Name_2_V")->pos(), QPoint(8, 98)) << "other rows stay";
    const QSize reach = control("Name_1_V")->parentWidget()->minimumSize();
    EXPECT_GE(reach.width(), control("Name_1_")->geometry().right());
    EXPECT_GE(reach.height(), control("Name_1")->geometry().bottom())
        << "the sub-tab scrolls to the moved row";
}

TEST_F(Catalogue, DraggingOverATabStripMovesTheActiveTab)
{
    TForm1 &w = start();
    QTabWidget *inner = nullptr; // the sub-tabs of the row's page
    for (QWidget *p = control("Name_0"); p && !inner; p = p->parentWidget())
        inner = qobject_cast<QTabWidget *>(p);
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->count(), 2);
    // Anything dragged over the strip moves the active tab to the tab under the pointer.
    const QPoint overSecond = inner->tabBar()->mapTo(inner, inner->tabBar()->tabRect(1).center());
    bool accept = false;
    w.PageControl1DragOver(inner, control("Name_4_V"), overSecond, &accept);
    EXPECT_TRUE(accept);
    EXPECT_EQ(inner->tabText(1), "Основное");
    EXPECT_EQ(inner->currentIndex(), 1);

    // With the mouse on the outer strip: nothing moves before the drag threshold.
    QTabBar *bar = w.PageControl1->tabBar();
    const QPoint first = bar->tabRect(0).center(), second = bar->tabRect(1).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, first);
    QTest::mouseMove(bar, first + QPoint(2, 0));
    EXPECT_EQ(w.PageControl1->tabText(0), "Актёр");
    QTest::mouseMove(bar, second);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, second);
    EXPECT_EQ(w.PageControl1->tabText(1), "Актёр");
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
}

TEST_F(Catalogue, EachCommandIsOneSave)
{
    TForm1 &w = start("Warning=2\n");
    select("Name_1");
    struct Step
    {
        const char *name;
        QAction *action;
        std::function<void()> whileOpen;
    };
    const Step steps[] = {
        {"properties", w.N9, [&] { w.Form3->Edit3->setText("changed"); }},
        {"add", w.N11,
         [&] {
             w.Form3->Edit1->setText("config\\a.ltx");
             w.Form3->Edit2->setText("s");
             w.Form3->Edit3->setText("added");
             w.Form3->Edit5->setText("Новый");
             w.Form3->Edit6->setText("");
         }},
        {"delete", w.N13, [] {}},
        {"page list", w.N18,
         [&] { w.Form3->findChild<QCheckBox *>("NAME_CHBOX_1")->setChecked(false); }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        f.dialogs.whileOpen = [&](QDialog *) { step.whileOpen(); };
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        const int renames = RenameCounter::count;
        step.action->trigger();
        EXPECT_EQ(RenameCounter::count - renames, 1);
    }
    EXPECT_EQ(actor("1_Param"), "one");
    EXPECT_EQ(actor("2_Param"), "three") << "entry 2 deleted after its change";
    EXPECT_EQ(actor("5_Param"), "absent");
    EXPECT_EQ(actor("4_Param"), "added") << "the added entry";
    EXPECT_EQ(actor("Kol-vo"), "4");
    EXPECT_EQ(read("Pages.ini", "Global Pages", "1_Enabled"), "false");
}

TEST_F(Catalogue, APageFileOutsideTheCatalogueFolderIsNeverWritten)
{
    TForm1 &w = start("Warning=2\n");
    select("Name_1");
    // The catalogue is changed by hand after the start.
    f.writeSetting("Pages.ini", QString(Index).replace("1_file=Actor", "1_file=../../outside"));
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    const int renames = RenameCounter::count;
    w.N11->trigger();
    EXPECT_EQ(RenameCounter::count, renames);
    EXPECT_FALSE(QFile::exists(f.dir.path("outside.ini")));
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].contains("1_file=../../outside"))
        << f.dialogs.messages[0].toStdString();
    f.dialogs.dialogResults.clear();
}
