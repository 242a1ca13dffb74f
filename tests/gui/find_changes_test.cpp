// The find command, the change list with its restores, and the reload of the row values.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"

namespace {

const QByteArray ActorFile = WindowFixture::ini("; персонаж\n[actor]:base\nheight = 0.85 ; рост\n"
                                                "speed = 1,5\n\n[trader]\nbread = 10\n");

// Page "Актёр": sub-tabs "Основное" (Name_0, Name_1) and "Камера" (Name_2); page "Торговля":
// sub-tab "Продавец" (Name1_3_s1).
class Beyond : public ::testing::Test
{
protected:
    WindowFixture f;

    TForm1 &start(const QString &settings = "Warning=0\n")
    {
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=2\n1=Актёр\n1_file=Actor\n"
                                    "1_Enabled=true\n2=Торговля\n2_file=Trade\n2_Enabled=true\n"
                                    "2_Trade=true\n");
        f.writeSetting("Actor.ini", "[Pages]\nKol-vo=2\n1=Основное\n2=Камера\n[Основное]\n"
                                    "Kol-vo=2\n1_Caption=Рост\n1_File=config\\actor.ltx\n"
                                    "1_Section=actor\n1_Param=height\n1_Help=Высота камеры\n"
                                    "2_Caption=Скорость\n2_File=config\\actor.ltx\n"
                                    "2_Section=actor\n2_Param=speed\n2_Help=Бег\n"
                                    "[Камера]\nKol-vo=1\n1_Caption=Наклон\n"
                                    "1_File=config\\camera.ltx\n1_Section=cam\n1_Param=tilt\n"
                                    "1_Help=Тёмный угол\n");
        f.writeSetting("Trade.ini", "[Pages]\nKol-vo=1\n1=Продавец\n[Продавец]\nKol-vo=1\n"
                                    "1_Caption=Хлеб\n1_File=config\\actor.ltx\n1_Section=trader\n"
                                    "1_Param=bread\n1_Help=Цена хлеба\n");
        f.dir.write("gamedata/config/actor.ltx", ActorFile);
        f.writeGameFile("config/camera.ltx", "[cam]\ntilt=5\n");
        f.writeSettings(settings);
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }
    ValueBox *box(const QString &name)
    {
        return qobject_cast<ValueBox *>(f.window->findComponent(name));
    }
    void apply(const QString &name, const QString &text)
    {
        ValueBox *b = box(name);
        b->editor()->selectAll();
        QTest::keyClicks(b->editor(), text);
        QTest::mouseClick(qobject_cast<QPushButton *>(f.window->findComponent(name + "_")),
                          Qt::LeftButton);
    }
    QByteArray gameFile() const { return TempDir::read(f.gameFolder() + "/config/actor.ltx"); }
    QString currentSubTab(TForm1 &w) const
    {
        auto *inner = w.PageControl1->currentWidget()->findChild<QTabWidget *>();
        return inner->tabText(inner->currentIndex());
    }
    static QStringList texts(const QTreeWidget *list, int column)
    {
        QStringList t;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            t << list->topLevelItem(i)->text(column);
        return t;
    }
};

} // namespace

TEST_F(Beyond, FindMatchesCaptionKeyFileAndHelpAndSelectsTheChosenRow)
{
    TForm1 &w = start();
    struct Case
    {
        QString query;
        int found;
    };
    const Case cases[] = {{"НАКЛ", 1},   {"SPEED", 1}, {"actor.LTX", 3}, {"цена", 1},
                          {"config", 4}, {"☃", 0},     {"", 4}};
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *field = d->findChild<QLineEdit *>("FindText");
        auto *results = d->findChild<QListWidget *>("FindResults");
        for (const Case &c : cases) {
            field->setText(c.query);
            EXPECT_EQ(results->count(), c.found) << c.query.toStdString();
        }
        field->setText("накл");
        ASSERT_EQ(results->count(), 1);
        EXPECT_EQ(results->item(0)->text(),
                  "Актёр › Камера › Наклон    (config\\camera.ltx, [cam] tilt)");
    };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    w.findChild<QAction *>("NFind")->trigger();
    EXPECT_EQ(f.dialogs.shownDialogs, QStringList{"FindWindow"});
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_EQ(currentSubTab(w), "Камера");
    EXPECT_EQ(w.TMP->toPlainText(), "5");
    EXPECT_EQ(w.Panel1->text(), "Файл: config\\camera.ltx Секция: cam Параметр: tilt");
}

TEST_F(Beyond, FindFollowsValuesAppliedTypedAndWrittenElsewhereAfterItsFirstSearch)
{
    TForm1 &w = start();
    QStringList queries;
    QList<int> counts;
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *field = d->findChild<QLineEdit *>("FindText");
        auto *results = d->findChild<QListWidget *>("FindResults");
        for (const QString &query : std::as_const(queries)) {
            field->setText(query);
            counts << results->count();
        }
    };
    const auto find = [&](const QStringList &what) {
        queries = what;
        counts.clear();
        w.findChild<QAction *>("NFind")->trigger();
        return counts;
    };
    EXPECT_EQ(find({"0.85", "4321", "9876", "777"}), (QList<int>{1, 0, 0, 0}));

    apply("Name_0", "4321"); // applied in its row
    EXPECT_EQ(find({"0.85", "4321"}), (QList<int>{0, 1}));

    // Typed, not applied yet: found by what the row shows.
    box("Name_1")->editor()->selectAll();
    QTest::keyClicks(box("Name_1")->editor(), "9876");
    EXPECT_EQ(find({"9876", "1,5"}), (QList<int>{1, 0}));

    // A write by another command (here the command line's one writer, the session) reaches the
    // rows of a sub-tab never shown.
    QString error;
    ASSERT_TRUE(w.session().applyValue("config\\camera.ltx", "cam", "tilt", "777", {}, &error))
        << error.toStdString();
    EXPECT_EQ(find({"777"}), QList<int>{1});
}

TEST_F(Beyond, FindTreatsYoAsYeKeepsItsTextAndMovesThroughResultsFromTheField)
{
    TForm1 &w = start();
    QStringList opened;
    int afterDown = -1, afterUp = -1;
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *field = d->findChild<QLineEdit *>("FindText");
        auto *results = d->findChild<QListWidget *>("FindResults");
        opened << field->text();
        field->setText("ТЕМН");
        EXPECT_EQ(results->count(), 1);
        field->setText("config");
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Down);
        afterDown = results->currentRow();
        QTest::keyClick(field, Qt::Key_Up);
        afterUp = results->currentRow();
    };
    w.findChild<QAction *>("NFind")->trigger();
    w.findChild<QAction *>("NFind")->trigger();
    EXPECT_EQ(opened, QStringList({"", "config"}));
    EXPECT_EQ(afterDown, 2);
    EXPECT_EQ(afterUp, 1);
}

TEST_F(Beyond, ChangeListShowsAppliedValuesAndRestoresAKeyAndAFile)
{
    TForm1 &w = start();
    apply("Name_0", "0.9");
    apply("Name_1", "2");
    const QByteArray backup = TempDir::read(f.gameFolder() + "/config/actor.ltx.bak");
    ASSERT_EQ(backup, ActorFile);

    QStringList rowsShown, afterRestore;
    f.dialogs.answers << 1 << 0; // the first restore cancelled, the second confirmed
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>("ChangesList");
        EXPECT_EQ(texts(list, 2), QStringList({"height", "speed"}));
        EXPECT_EQ(texts(list, 4), QStringList({"0.85 ; рост", "1,5"}));
        EXPECT_EQ(texts(list, 5), QStringList({"0.9 ; рост", "2"}));
        rowsShown = texts(list, 6);
        list->setCurrentItem(list->topLevelItem(0));
        auto *restore = d->findChild<QPushButton *>("RestoreKey");
        restore->click();
        EXPECT_EQ(list->topLevelItemCount(), 2) << "cancelled";
        restore->click();
        afterRestore = texts(list, 2);
        list->setCurrentItem(list->topLevelItem(0));
    };
    f.dialogs.dialogResults.enqueue(QDialog::Accepted); // then go to the remaining line's row
    w.findChild<QAction *>("NChanges")->trigger();

    EXPECT_EQ(rowsShown, QStringList({"Актёр › Основное › Рост", "Актёр › Основное › Скорость"}));
    ASSERT_EQ(f.dialogs.questions.size(), 2);
    EXPECT_EQ(f.dialogs.questions[1], "Восстановить параметр из резервной копии?\n"
                                      "config\\actor.ltx, [actor] height\n\n"
                                      "Сейчас в файле: height= 0.9 ; рост\n"
                                      "Станет: height = 0.85 ; рост");
    EXPECT_EQ(afterRestore, QStringList{"speed"});
    EXPECT_EQ(gameFile(), WindowFixture::ini("; персонаж\n[actor]:base\nheight = 0.85 ; рост\n"
                                             "speed= 2\n\n[trader]\nbread = 10\n"));
    EXPECT_EQ(box("Name_0")->text(), "0.85");
    EXPECT_FALSE(w.findComponent("Name_0_")->property("enabled").toBool()) << "not pending";
    EXPECT_EQ(w.Panel1->text(), "Файл: config\\actor.ltx Секция: actor Параметр: speed");

    // The whole file comes back.
    f.dialogs.answers << 0;
    f.dialogs.whileOpen = [](QDialog *d) { d->findChild<QPushButton *>("RestoreFile")->click(); };
    w.findChild<QAction *>("NChanges")->trigger();
    EXPECT_TRUE(f.dialogs.questions.last().startsWith("Заменить файл его резервной копией?"));
    EXPECT_EQ(gameFile(), backup);
    EXPECT_EQ(box("Name_1")->text(), "1,5");
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join('|').toStdString();
}

TEST_F(Beyond, ReloadReadsTheFilesAgainAndKeepsEditsNotApplied)
{
    TForm1 &w = start();
    f.dir.write("gamedata/config/actor.ltx",
                WindowFixture::ini("[actor]\nheight = 1.2 ; рост\nspeed = 3\n[trader]\n"));
    f.writeGameFile("config/camera.ltx", "[cam]\ntilt=7\n");
    box("Name_1")->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(box("Name_1")->editor(), "9");
    w.findChild<QAction *>("NReload")->trigger();
    EXPECT_EQ(box("Name_0")->text(), "1.2");
    EXPECT_EQ(box("Name_2")->text(), "7");
    EXPECT_EQ(box("Name_1")->text(), "1,59") << "the edit stays";
    EXPECT_FALSE(box("Name1_3_s1")->isEnabled()) << "bread is gone";
    EXPECT_EQ(f.dialogs.messages,
              QStringList{"Значения перечитаны из файлов игры.\nСтроки с неприменёнными "
                          "изменениями оставлены как есть:\nАктёр › Основное › Скорость"});
}

TEST_F(Beyond, WithDuplicationRestoredKeysOfOrdinaryRowsGoToTheDuplicateFile)
{
    const QString dup = f.dir.path("double");
    QDir().mkpath(dup);
    TForm1 &w = start("Warning=0\nDouble=1\nDouble_Path=" + dup + "/\n");
    f.dir.write("gamedata/config/actor.ltx.bak", ActorFile);
    f.dir.write("gamedata/config/actor.ltx",
                WindowFixture::ini("; персонаж\n[actor]:base\nheight = 2\n"
                                   "speed = 1,5\n\n[trader]\nbread = 99\n"));
    f.dialogs.answers << 0 << 0;
    f.dialogs.whileOpen = [](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>("ChangesList");
        ASSERT_EQ(texts(list, 2), QStringList({"height", "bread"}));
        list->setCurrentItem(list->topLevelItem(1));
        d->findChild<QPushButton *>("RestoreKey")->click(); // a trade row's key
        d->findChild<QPushButton *>("RestoreFile")->click();
    };
    w.findChild<QAction *>("NChanges")->trigger();
    EXPECT_FALSE(f.dialogs.questions.value(0).contains("дублирования"));
    EXPECT_EQ(gameFile(), ActorFile);
    EXPECT_EQ(TempDir::read(dup + "/actor.ltx"),
              WindowFixture::ini("[actor]\nheight= 0.85 ; рост\n"));
    EXPECT_EQ(box("Name_0")->text(), "0.85");
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join('|').toStdString();
}
