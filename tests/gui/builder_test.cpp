#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"
#include "ui/window/DataSlots.h"

namespace {

// A catalogue of one ordinary page with two sub-tabs (the first with a picture) and one trade
// page, over one game file.
class Builder : public ::testing::Test
{
protected:
    WindowFixture f;

    void SetUp() override
    {
        f.writeSettings("Warning=2\n");
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=3\n"
                                    "1=Актёр\n1_file=Actor\n1_Enabled=true\n"
                                    "2=Скрытая\n2_file=Actor\n2_Enabled=True\n"
                                    "3=Торговля\n3_file=Trade\n3_Enabled=true\n3_Trade=true\n");
        QString actor = "[Pages]\nKol-vo=2\n1=Основное\n2=Много\n"
                        "[Основное]\nKol-vo=3\nImage=actor.bmp\n"
                        "1_Caption=Высота\n1_File=config\\Actor.ltx\n1_Section=actor\n"
                        "1_Param=height\n1_Help=Рост\n"
                        "2_Caption=Полный\n2_File=config\\actor.ltx\n2_Section=actor\n"
                        "2_Param=height\n2_FULL=1\n"
                        "3_Caption=Нет ключа\n3_File=config\\actor.ltx\n3_Param=height\n"
                        "[Много]\nKol-vo=10\n";
        for (int k = 1; k <= 10; ++k)
            actor += QString("%1_Caption=Ряд %1\n%1_File=config\\actor.ltx\n%1_Section=actor\n"
                             "%1_Param=k%1\n")
                         .arg(k);
        f.writeSetting("Actor.ini", actor);
        f.writeSetting("Trade.ini", "[Pages]\nKol-vo=1\n1=Продавец\n[Продавец]\nKol-vo=2\n"
                                    "1_Caption=Хлеб\n1_File=config\\actor.ltx\n1_Section=trader\n"
                                    "1_Param=bread\n"
                                    "2_Caption=Вода\n2_File=config\\actor.ltx\n2_Section=trader\n"
                                    "2_Param=water\n");
        f.writeGameFile("config/actor.ltx", "; персонаж\n[actor]:base\nheight = 0.85 ; рост\n"
                                            "k1 = 1,5\nk2 = abc\n[trader]\nbread = 10, 20\n");
    }

    template <class T> T *component(const QString &name)
    {
        auto *c = qobject_cast<T *>(f.window->findComponent(name));
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
};

} // namespace

TEST_F(Builder, BuildsOneTabPerEnabledPageAndOneSubTabPerSubTab)
{
    TForm1 &w = f.start();
    ASSERT_EQ(w.PageControl1->count(), 2) << "page 2 is enabled only by exactly \"true\"";
    EXPECT_EQ(w.PageControl1->tabText(0), "Актёр");
    EXPECT_EQ(w.PageControl1->tabText(1), "Торговля");
    auto *inner = w.PageControl1->widget(0)->findChild<QTabWidget *>();
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->count(), 2);
    EXPECT_EQ(inner->tabText(1), "Много");
    EXPECT_EQ(w.rowCounter(), 15);
    // Each sub-tab scrolls: it is as large as its rows, inside a scroll area, which is made when
    // the sub-tab is first shown.
    EXPECT_EQ(inner->widget(1)->findChild<QScrollArea *>(), nullptr);
    for (int i = 0; i < inner->count(); ++i) {
        inner->setCurrentIndex(i);
        auto *scroll = inner->widget(i)->findChild<QScrollArea *>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->geometry(), inner->widget(i)->rect()) << "it fills its tab";
        const QWidget *subTab = scroll->widget();
        for (const QWidget *control : subTab->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(QRect(QPoint(0, 0), subTab->minimumSize()).contains(control->geometry()))
                << control->objectName().toStdString();
    }
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
}

TEST_F(Builder, OrdinaryRowsCarryTheirEntryAndDivideTheValue)
{
    TForm1 &w = f.start();
    auto *box = component<ValueBox>("Name_0");
    EXPECT_EQ(box->text(), "0.85");
    EXPECT_EQ(component<QLabel>("Name_0_Comment")->text(), " ; рост");
    EXPECT_FALSE(component<QLabel>("Name_0_Comment")->isVisibleTo(box->parentWidget()));
    EXPECT_TRUE(box->isVisible()) << "the first sub-tab is on screen from the start";
    EXPECT_TRUE(component<QPushButton>("Name_0_")->isVisible());
    auto *label = component<QLabel>("Name_0_V");
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->size(), label->sizeHint()) << "the caption label fits its text";
    // Labels of sub-tabs not yet shown fit their text once shown.
    auto *later = component<QLabel>("Name_3_V");
    w.PageControl1->widget(0)->findChild<QTabWidget *>()->setCurrentIndex(1);
    EXPECT_TRUE(later->isVisible());
    EXPECT_EQ(later->size(), later->sizeHint());
    EXPECT_EQ(component<QLabel>("Name_0_V")->text(), "Высота");
    EXPECT_EQ(dataslot::tag(box), 1);
    EXPECT_EQ(dataslot::hint(box), cp1251::encode("Рост"));
    EXPECT_EQ(dataslot::helpKeyword(box), "config\\Actor.ltx") << "kept as the catalogue has it";
    EXPECT_EQ(dataslot::tag(component<QLabel>("Name_0_V")), 1);
    EXPECT_EQ(dataslot::hint(component<QLabel>("Name_0_Comment")), cp1251::encode("Основное"));
    auto *apply = component<QPushButton>("Name_0_");
    EXPECT_EQ(apply->text(), "!!!");
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(dataslot::tag(apply), 1);
    EXPECT_EQ(dataslot::hint(apply), "actor");
    EXPECT_EQ(dataslot::helpKeyword(apply), "height");

    // With <k>_FULL the whole value stays in the box.
    EXPECT_EQ(component<ValueBox>("Name_1")->text(), "0.85 ; рост");
    EXPECT_EQ(component<QLabel>("Name_1_Comment")->text(), "");
    // No section: looked up as "123456" (absent), while the apply button keeps "1".
    EXPECT_EQ(component<ValueBox>("Name_2")->text(), "");
    EXPECT_EQ(component<QLabel>("Name_2_Comment")->text(), "")
        << "the absent marker must never be written back behind a typed value";
    EXPECT_EQ(dataslot::hint(component<QPushButton>("Name_2_")), "1");
    EXPECT_EQ(component<QLabel>("Name_2_V")->text(), "Нет ключа");
    // Numbering goes on across sub-tabs; commas stay in the value part.
    EXPECT_EQ(component<ValueBox>("Name_3")->text(), "1,5");
    // A text value shows whole, so typing replaces it.
    EXPECT_EQ(component<ValueBox>("Name_4")->text(), "abc");
    EXPECT_EQ(component<QLabel>("Name_4_Comment")->text(), "");
    EXPECT_EQ(dataslot::tag(component<QLabel>("Name_3_V")), 2);
}

TEST_F(Builder, RowsFillColumnsUpToTheColumnLimit)
{
    f.start();
    // First sub-tab: the picture button takes the first slot.
    auto *picture = qobject_cast<QPushButton *>(
        component<ValueBox>("Name_0")->parentWidget()->findChildren<QPushButton *>().first());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->text(), "Картинка");
    EXPECT_EQ(picture->geometry(), QRect(8, 8, 130, 35));
    EXPECT_EQ(dataslot::tag(picture), 1);
    EXPECT_EQ(dataslot::helpKeyword(picture), cp1251::encode("Основное"));
    EXPECT_TRUE(dataslot::hint(picture).endsWith("program/Setting/Actor.ini"));
    EXPECT_EQ(component<ValueBox>("Name_0")->geometry(), QRect(8, 45 + 24, 100, 21));
    EXPECT_EQ(component<QLabel>("Name_0_V")->pos(), QPoint(8, 45 + 8));
    EXPECT_EQ(component<QPushButton>("Name_0_")->geometry(), QRect(115, 45 + 24, 21, 21));

    // Second sub-tab, defaults: eight rows at tops 0..315, the ninth opens column two.
    EXPECT_EQ(component<ValueBox>("Name_3")->pos(), QPoint(8, 24));
    EXPECT_EQ(component<ValueBox>("Name_10")->pos(), QPoint(8, 315 + 24));
    EXPECT_EQ(component<ValueBox>("Name_11")->pos(), QPoint(148 + 8, 24));
    EXPECT_EQ(component<QPushButton>("Name_11_")->pos(), QPoint(148 + 115, 24));
}

TEST_F(Builder, TradeRowsShowPresence)
{
    f.start();
    auto *check = component<QCheckBox>("Name1_13_s1_TR");
    EXPECT_EQ(check->text(), "Хлеб");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(check->size(), QSize(136, 17));
    auto *box = component<ValueBox>("Name1_13_s1");
    EXPECT_EQ(box->text(), "10, 20") << "trade rows show the whole value";
    EXPECT_TRUE(box->isEnabled());
    EXPECT_FALSE(component<QPushButton>("Name1_13_s1_B")->isEnabled());

    EXPECT_FALSE(component<QCheckBox>("Name1_14_s1_TR")->isChecked());
    EXPECT_EQ(component<ValueBox>("Name1_14_s1")->text(), "");
    EXPECT_FALSE(component<ValueBox>("Name1_14_s1")->isEnabled());
    EXPECT_EQ(dataslot::tag(component<QPushButton>("Name1_14_s1_B")), 3);
}

TEST_F(Builder, TableModeShowsTableButtonsInsteadOfOrdinaryRows)
{
    f.writeSettings("Warning=2\nTableMode=1\n");
    TForm1 &w = f.start();
    EXPECT_EQ(w.findComponent("Name_0"), nullptr);
    EXPECT_EQ(w.rowCounter(), 2) << "only the trade rows are built";
    EXPECT_NE(w.findComponent("Name1_0_s1"), nullptr);
    auto *inner = w.PageControl1->widget(0)->findChild<QTabWidget *>();
    inner->setCurrentIndex(1);
    const auto buttons = inner->widget(1)->findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "ОТКРЫТЬ ТАБЛИЦУ!");
    EXPECT_EQ(buttons[0]->geometry(), QRect(50, 50, 200, 25));
    EXPECT_EQ(dataslot::tag(buttons[0]), 2);
    EXPECT_EQ(dataslot::hint(buttons[0]), "1");
}

TEST_F(Builder, ComponentsAreKeptInCreationOrder)
{
    TForm1 &w = f.start();
    QStringList names;
    for (const auto &c : w.components())
        if (c && c->objectName().startsWith("Name_0"))
            names << c->objectName();
    EXPECT_EQ(names, (QStringList{"Name_0_V", "Name_0", "Name_0_Comment", "Name_0_"}));
}

TEST(BuilderFaults, BrokenCataloguesKeepTheWindowUsable)
{
    struct Case
    {
        const char *name;
        QString pages;
        QString pageFile;
        QStringList messages;
        int tabs;
    };
    const QString oldFormat = QStringLiteral("Внимание! Старый формат больше не поддерживается!");
    const QString error1 = QStringLiteral("Ошибка в файле настроек! (1)");
    const QString error2 = QStringLiteral("Ошибка в файле настроек Pages.ini! (2)");
    const QString page = "[Global Pages]\nKol-vo=%1\n1=A\n1_file=P\n1_Enabled=true\n";
    const Case cases[] = {
        {"missing index", QString(), QString(), {oldFormat}, 0},
        {"no page count", "[Global Pages]\n1=A\n", QString(), {oldFormat}, 0},
        {"zero pages", page.arg(0), QString(), {}, 0},
        {"negative pages", page.arg(-4), QString(), {"Вкладки не построены."}, 0},
        {"garbage page count", page.arg("abc"), QString(), {oldFormat}, 0},
        {"missing page file", page.arg(1), QString(), {error1}, 1},
        {"huge page count", page.arg(1000000), "[Pages]\nKol-vo=0\n", {error2}, 0},
        {"huge entry count",
         page.arg(1),
         "[Pages]\nKol-vo=1\n1=S\n[S]\nKol-vo=99999999\n",
         {error2},
         1},
        {"missing section", page.arg(1), "[Pages]\nKol-vo=1\n1=Nowhere\n", {}, 1},
    };
    for (const Case &c : cases) {
        WindowFixture f;
        f.writeSettings("Warning=0\n");
        if (!c.pages.isNull())
            f.writeSetting("Pages.ini", c.pages);
        if (!c.pageFile.isNull())
            f.writeSetting("P.ini", c.pageFile);
        TForm1 &w = f.start();
        // The texts stay; their second line names the file and the key.
        QStringList firstLines;
        for (const QString &m : std::as_const(f.dialogs.messages)) {
            firstLines.append(m.section('\n', 0, 0));
            if (m != oldFormat) {
                EXPECT_TRUE(m.contains(".ini") && m.contains("Kol-vo"))
                    << c.name << ": " << m.toStdString();
            }
        }
        EXPECT_EQ(firstLines, c.messages) << c.name;
        EXPECT_EQ(w.Panel1->text() == "Можете редактировать файлы!", !c.messages.contains(error2))
            << c.name << ": a stopped build is not announced as ready";
        EXPECT_EQ(w.PageControl1->count(), c.tabs) << c.name;
        EXPECT_TRUE(w.isReady()) << c.name;
        EXPECT_TRUE(w.PageControl1->isEnabled()) << c.name;
    }
}

TEST(BuilderExample, ExampleCatalogueBuildsOnTheExampleGameFolder)
{
    WindowFixture f;
    const QString examples = BRANVIK_EXAMPLES;
    QDir().mkpath(f.programFolder() + "/Setting/Images");
    for (const QString &name : QDir(examples + "/Setting").entryList(QDir::Files))
        QFile::copy(examples + "/Setting/" + name, f.settingPath(name));
    f.writeSetting("Setting.ini",
                   "[Setting]\nGamedata_Path=" + examples + "/gamedata/\nВерсия=0.6\nWarning=0\n");
    TForm1 &w = f.start();
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();
    EXPECT_GE(w.PageControl1->count(), 3);
    EXPECT_GT(w.rowCounter(), 20);
    // Most example parameters exist in the example game files.
    int found = 0;
    for (int n = 0; n < w.rowCounter(); ++n) {
        if (auto *box = qobject_cast<ValueBox *>(w.findComponent(QString("Name_%1").arg(n))))
            found += box->isEnabled() && !box->text().isEmpty();
    }
    EXPECT_GT(found, w.rowCounter() / 2);
}
