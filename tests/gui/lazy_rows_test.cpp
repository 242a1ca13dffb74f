// Rows are data from the catalogue walk; a sub-tab's row controls are created when it is first
// shown. What the user and the saved state see stays as if every row had its controls.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "catalogue/Rows.h"
#include "editor/window/CaptionLabel.h"
#include "editor/window/RowEditor.h"
#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"

namespace {

// Page "Актёр": sub-tabs "Основное" (Name_0) and "Камера" (Name_1, Name_2); trade page
// "Торговля": sub-tab "Продавец" (Name1_3_s1).
class LazyRows : public ::testing::Test
{
protected:
    WindowFixture f;

    TForm1 &start(const QString &settings = "Warning=0\n")
    {
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=2\n1=Актёр\n1_file=Actor\n"
                                    "1_Enabled=true\n2=Торговля\n2_file=Trade\n2_Enabled=true\n"
                                    "2_Trade=true\n");
        f.writeSetting("Actor.ini", "[Pages]\nKol-vo=2\n1=Основное\n2=Камера\n[Основное]\n"
                                    "Kol-vo=1\n1_Caption=Рост\n1_File=config\\actor.ltx\n"
                                    "1_Section=actor\n1_Param=height\n1_Help=Высота\n"
                                    "[Камера]\nKol-vo=2\n1_Caption=Наклон\n"
                                    "1_File=config\\camera.ltx\n1_Section=cam\n1_Param=tilt\n"
                                    "1_Help=Угол\n2_Caption=Зум\n2_File=config\\camera.ltx\n"
                                    "2_Section=cam\n2_Param=zoom\n");
        f.writeSetting("Trade.ini", "[Pages]\nKol-vo=1\n1=Продавец\n[Продавец]\nKol-vo=1\n"
                                    "1_Caption=Хлеб\n1_File=config\\actor.ltx\n1_Section=trader\n"
                                    "1_Param=bread\n");
        f.writeGameFile("config/actor.ltx", "[actor]\nheight = 0.85\n[trader]\nbread = 10\n");
        f.writeGameFile("config/camera.ltx", "[cam]\ntilt=5\nzoom=2\n");
        f.writeSettings(settings);
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }
    TForm1 &restart()
    {
        f.window->close();
        f.window.reset();
        return f.start();
    }
    // Whether a control of that name exists, without creating it.
    static bool exists(const TForm1 &w, const QString &name)
    {
        for (const QPointer<QObject> &c : w.components())
            if (c && c->objectName() == name)
                return true;
        return false;
    }
    static QTabWidget *innerTabs(TForm1 &w, int page)
    {
        return w.PageControl1->widget(page)->findChild<QTabWidget *>();
    }
    static QString currentSubTab(TForm1 &w)
    {
        QTabWidget *inner = innerTabs(w, w.PageControl1->currentIndex());
        return inner->tabText(inner->currentIndex());
    }
    QWidget *control(const QString &name)
    {
        auto *c = qobject_cast<QWidget *>(f.window->findComponent(name));
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
};

} // namespace

TEST_F(LazyRows, ASubTabGetsItsRowsWhenFirstShownWithARowAtThePlaceItWasDraggedTo)
{
    TForm1 &w = start();
    EXPECT_TRUE(exists(w, "Name_0")) << "the sub-tab on screen has its rows";
    EXPECT_FALSE(exists(w, "Name_1_V"));
    EXPECT_FALSE(exists(w, "Name1_3_s1"));
    EXPECT_EQ(w.rowCounter(), 4);
    EXPECT_EQ(w.PageControl1->count(), 2);

    innerTabs(w, 0)->setCurrentIndex(1);
    ASSERT_TRUE(exists(w, "Name_1_V"));
    QWidget *label = control("Name_1_V");
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->pos(), QPoint(8, 8));
    bool accept = false;
    w.LabelDragOver(label->parentWidget(), label, QPoint(260, 300), &accept);
    ASSERT_TRUE(accept);

    TForm1 &again = restart();
    EXPECT_FALSE(exists(again, "Name_1_V"));
    innerTabs(again, 0)->setCurrentIndex(1);
    ASSERT_TRUE(exists(again, "Name_1_V"));
    label = control("Name_1_V");
    EXPECT_EQ(label->pos(), QPoint(260, 300));
    EXPECT_EQ(control("Name_1")->pos(), QPoint(260, 316));
    EXPECT_EQ(control("Name_2_V")->pos(), QPoint(8, 53)) << "the other row stays";
    EXPECT_TRUE(control("Name_1")->isVisible());
    EXPECT_GE(label->parentWidget()->minimumSize().height(), control("Name_1")->geometry().bottom())
        << "the sub-tab scrolls to the moved row";

    // A command that names a row of a sub-tab never shown gets its controls.
    auto *bread = qobject_cast<ValueBox *>(again.findComponent("Name1_3_s1"));
    ASSERT_NE(bread, nullptr);
    EXPECT_EQ(bread->text(), "10");
    EXPECT_EQ(qobject_cast<QCheckBox *>(again.findComponent("Name1_3_s1_TR"))->text(), "Хлеб");
    EXPECT_EQ(again.findComponent("Name_9"), nullptr);
}

TEST_F(LazyRows, FindReachesRowsOfSubTabsNeverShownAndOfTablePages)
{
    struct Case
    {
        const char *settings;
        QString query, page, subTab, pending, status;
    };
    const Case cases[] = {
        {"Warning=0\n", "наклон", "Актёр", "Камера", "5",
         "Файл: config\\camera.ltx Секция: cam Параметр: tilt"},
        {"Warning=0\n", "хлеб", "Торговля", "Продавец", "10",
         "Файл: config\\actor.ltx Секция: trader Параметр: bread"},
        {"Warning=0\nTableMode=1\n", "угол", "Актёр", "Камера", "Выберите параметр!",
         "Файл: config\\camera.ltx Секция: cam Параметр: tilt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        f.window.reset();
        TForm1 &w = start(c.settings);
        int found = -1;
        f.dialogs.whileOpen = [&](QDialog *d) {
            d->findChild<QLineEdit *>("FindText")->setText(c.query);
            found = d->findChild<QListWidget *>("FindResults")->count();
        };
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        w.findChild<QAction *>("NFind")->trigger();
        EXPECT_EQ(found, 1);
        EXPECT_EQ(w.PageControl1->tabText(w.PageControl1->currentIndex()), c.page);
        EXPECT_EQ(currentSubTab(w), c.subTab);
        EXPECT_EQ(w.TMP->toPlainText(), c.pending);
        EXPECT_EQ(w.Panel1->text(), c.status);
    }
    // Every row is found, whether its sub-tab was shown or not.
    int all = -1;
    f.dialogs.whileOpen = [&](QDialog *d) {
        d->findChild<QLineEdit *>("FindText")->setText("config");
        all = d->findChild<QListWidget *>("FindResults")->count();
    };
    f.window->findChild<QAction *>("NFind")->trigger();
    EXPECT_EQ(all, 4);
}

TEST_F(LazyRows, ChangeListAndReloadReachRowsNeverShownAndTablePageEntries)
{
    for (const char *settings : {"Warning=0\n", "Warning=0\nTableMode=1\n"}) {
        SCOPED_TRACE(settings);
        f.window.reset();
        TForm1 &w = start(settings);
        f.writeGameFile("config/camera.ltx.bak", "[cam]\ntilt=4\nzoom=2\n");
        QStringList shownBy;
        f.dialogs.whileOpen = [&](QDialog *d) {
            auto *list = d->findChild<QTreeWidget *>("ChangesList");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shownBy << list->topLevelItem(i)->text(6);
        };
        f.dialogs.dialogResults.enqueue(QDialog::Accepted);
        w.findChild<QAction *>("NChanges")->trigger();
        EXPECT_EQ(shownBy, QStringList{"Актёр › Камера › Наклон"});
        EXPECT_EQ(currentSubTab(w), "Камера") << "the chosen line's row is shown";
        EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join('|').toStdString();
    }

    // Reload reads the values of rows whose controls do not exist yet; they show them later.
    f.window.reset();
    TForm1 &w = start();
    f.writeGameFile("config/camera.ltx", "[cam]\ntilt=7\n");
    w.findChild<QAction *>("NReload")->trigger();
    EXPECT_FALSE(exists(w, "Name_1"));
    innerTabs(w, 0)->setCurrentIndex(1);
    EXPECT_EQ(qobject_cast<ValueBox *>(control("Name_1"))->text(), "7");
    EXPECT_TRUE(qobject_cast<ValueBox *>(control("Name_2"))->isAbsent()) << "zoom is gone";
}

TEST_F(LazyRows, ASubTabOfManyRowsCreatesTheRowsNearWhatItShows)
{
    f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=1\n1=Много\n1_file=Many\n1_Enabled=true\n");
    QString many = "[Pages]\nKol-vo=1\n1=Все\n[Все]\nKol-vo=600\n";
    for (int k = 1; k <= 600; ++k)
        many += QString("%1_Caption=Ряд %1\n%1_File=config\\camera.ltx\n%1_Section=cam\n"
                        "%1_Param=k%1\n")
                    .arg(k);
    f.writeSetting("Many.ini", many);
    f.writeGameFile("config/camera.ltx", "[cam]\nk600=last\n");
    f.writeSettings("Warning=2\n");
    TForm1 &w = f.start();
    EXPECT_EQ(w.rowCounter(), 600);
    EXPECT_TRUE(exists(w, "Name_0"));
    EXPECT_FALSE(exists(w, "Name_599")) << "far out of view";
    auto *scroll = w.PageControl1->widget(0)->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    QWidget *sheet = scroll->widget();
    const Rows::Row &last = w.rows().last();
    EXPECT_GT(sheet->minimumWidth(), last.place.x()) << "the scroll bars reach every row";

    // A delete lowers the entry numbers of the rows below it, those without controls too.
    w.rowEditor().MemoClick(qobject_cast<ValueBox *>(control("Name_597")));
    EXPECT_FALSE(exists(w, "Name_598"));
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N13->trigger();
    // The rows carry the numbers, those without controls too; controls made later take them.
    EXPECT_TRUE(w.rows()[w.rowNamed("Name_597")].deleted);
    EXPECT_EQ(w.rows()[w.rowNamed("Name_598")].entry.number, 598);
    EXPECT_EQ(w.rows()[w.rowNamed("Name_599")].entry.number, 599);
    EXPECT_EQ(w.rows()[w.rowNamed("Name_596")].entry.number, 597) << "the rows before stay";
    EXPECT_EQ(control("Name_596")->property("tag").toInt(), 597);
    EXPECT_FALSE(exists(w, "Name_598"));
    EXPECT_EQ(control("Name_598")->property("tag").toInt(), 598) << "entry 599 is entry 598 now";
    EXPECT_EQ(control("Name_599")->property("tag").toInt(), 599);
    // The commands act on the entry a row shows now: a second delete removes what was 599.
    w.rowEditor().MemoClick(qobject_cast<ValueBox *>(control("Name_598")));
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.N13->trigger();
    EXPECT_EQ(w.rows()[w.rowNamed("Name_599")].entry.number, 598);
    EXPECT_EQ(control("Name_599")->property("tag").toInt(), 598);
    EXPECT_FALSE(TempDir::read(f.settingPath("Many.ini")).contains("600_Caption"));
    EXPECT_TRUE(TempDir::read(f.settingPath("Many.ini"))
                    .contains("598_Caption=" + cp1251::encode("Ряд 600")));

    EXPECT_FALSE(exists(w, "Name_560"));
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    EXPECT_TRUE(exists(w, "Name_560")) << "scrolled near";
    auto *box = qobject_cast<ValueBox *>(control("Name_599"));
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), "last");
    EXPECT_EQ(box->pos(), last.place + QPoint(8, 24));
}

TEST_F(LazyRows, ALongValueIsEditedWholeAndThePendingLineShowsItsBeginning)
{
    TForm1 &w = start();
    auto *box = qobject_cast<ValueBox *>(control("Name_0"));
    const QString value(10000, QLatin1Char('7'));
    box->editor()->selectAll();
    box->editor()->insertPlainText(value);
    EXPECT_EQ(box->text(), value);
    EXPECT_EQ(w.TMP->toPlainText(), value.left(4096) + QChar(0x2026));
    QTest::mouseClick(qobject_cast<QPushButton *>(control("Name_0_")), Qt::LeftButton);
    EXPECT_TRUE(TempDir::read(f.gameFolder() + "/config/actor.ltx")
                    .contains("height= " + value.toLatin1() + "\r\n"));
}

// The example catalogue names its rows and counts them as it always did.
TEST(LazyRowsExample, NamesAndTheRunningNumberFollowTheCatalogue)
{
    WindowFixture f;
    const QString examples = BRANVIK_EXAMPLES;
    QDir().mkpath(f.programFolder() + "/Setting/Images");
    for (const QString &name : QDir(examples + "/Setting").entryList(QDir::Files))
        QFile::copy(examples + "/Setting/" + name, f.settingPath(name));
    f.writeSetting("Setting.ini",
                   "[Setting]\nGamedata_Path=" + examples + "/gamedata/\nВерсия=0.6\nWarning=0\n");
    TForm1 &w = f.start();
    struct Row
    {
        QString name, captionControl, caption;
    };
    const Row rows[] = {
        {"Name_0", "Name_0_V", "Высота камеры"},
        {"Name_1", "Name_1_V", "Переносимый вес"},
        {"Name_20", "Name_20_V", "Патронов в магазине"},
        {"Name1_21_s1", "Name1_21_s1_TR", "Пистолет ПМ"},
        {"Name1_27_s1", "Name1_27_s1_TR", "Антирад"},
        {"Name_36", "Name_36_V", "Название"},
        {"Name_37", "Name_37_V", "Урон"}, // the arsenal page, whose rifles inherit
    };
    EXPECT_EQ(w.rowCounter(), 47);
    EXPECT_EQ(w.findComponent("Name_47"), nullptr);
    EXPECT_EQ(w.findComponent("Name_21"), nullptr) << "a trade row";
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name.toStdString());
        ASSERT_NE(w.findComponent(r.name), nullptr);
        const QObject *caption = w.findComponent(r.captionControl);
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->property("text").toString(), r.caption);
    }
}

// A caption far longer than any column is measured and painted by its beginning only; its text
// stays whole.
TEST(LazyRowsCaption, AHugeCaptionIsShownByItsBeginning)
{
    struct Case
    {
        qsizetype length;
        int maximumWidth;
        bool cut;
    };
    const Case cases[] = {{5, 0, false},
                          {5, 300, false},
                          {400, 300, true},
                          {10 * 1024 * 1024, 300, true},
                          {10 * 1024 * 1024, 0, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        QWidget sheet;
        auto *label = new CaptionLabel(&sheet);
        const QString text(c.length, QLatin1Char('w'));
        label->setText(text);
        label->setMaximumTextWidth(c.maximumWidth);
        sheet.show();
        label->repaint();
        EXPECT_EQ(label->text().size(), c.length);
        if (c.maximumWidth > 0) {
            EXPECT_LE(label->width(), c.maximumWidth);
        }
        EXPECT_EQ(!label->toolTip().isEmpty(), c.cut);
        EXPECT_LE(label->toolTip().size(), 2001);
    }
}
