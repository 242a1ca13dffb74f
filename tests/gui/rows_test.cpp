#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "profile/ProfileFile.h"
#include "support/WindowFixture.h"
#include "ui/window/DataSlots.h"

namespace {

const QByteArray ActorFile = WindowFixture::ini("; персонаж\n[actor]:base\nheight = 0.85 ; рост\n"
                                                "speed = 1,5\n\n[trader]\nbread = 10\n");

// One ordinary sub-tab (rows Name_0..Name_2) and one trade sub-tab (Name1_3_s1, Name1_4_s1).
class Rows : public ::testing::Test
{
protected:
    WindowFixture f;

    void SetUp() override
    {
        writeCatalogue("config\\actor.ltx");
        f.dir.write("gamedata/config/actor.ltx", ActorFile);
    }

    void writeCatalogue(const QString &thirdFile)
    {
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=2\n1=Актёр\n1_file=Actor\n"
                                    "1_Enabled=true\n2=Торговля\n2_file=Trade\n2_Enabled=true\n"
                                    "2_Trade=true\n");
        f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\nKol-vo=3\n"
                                    "1_Caption=Рост\n1_File=config\\actor.ltx\n1_Section=actor\n"
                                    "1_Param=height\n1_Help=Высота камеры\n"
                                    "2_Caption=Скорость\n2_File=config\\actor.ltx\n"
                                    "2_Section=actor\n2_Param=speed\n2_Help=Бег\n"
                                    "3_Caption=Чужой\n3_File=" +
                                        thirdFile + "\n3_Section=actor\n3_Param=height\n");
        f.writeSetting("Trade.ini", "[Pages]\nKol-vo=1\n1=Продавец\n[Продавец]\nKol-vo=2\n"
                                    "1_Caption=Хлеб\n1_File=config\\actor.ltx\n1_Section=trader\n"
                                    "1_Param=bread\n1_Help=Цена хлеба\n"
                                    "2_Caption=Вода\n2_File=config\\actor.ltx\n2_Section=trader\n"
                                    "2_Param=water\n");
    }

    TForm1 &start(const QString &settings = "Warning=0\n")
    {
        f.writeSettings(settings);
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }

    QByteArray gameFile() const { return TempDir::read(f.gameFolder() + "/config/actor.ltx"); }

    ValueBox *box(const QString &name)
    {
        return qobject_cast<ValueBox *>(f.window->findComponent(name));
    }
    QPushButton *button(const QString &name)
    {
        return qobject_cast<QPushButton *>(f.window->findComponent(name));
    }
    void click(ValueBox *b) { QTest::mouseClick(b->editor()->viewport(), Qt::LeftButton); }
    void type(ValueBox *b, const QString &text)
    {
        b->editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(b->editor(), text);
    }
    void replaceText(ValueBox *b, const QString &text)
    {
        b->editor()->selectAll();
        QTest::keyClicks(b->editor(), text);
    }
};

// The tests stay in this namespace: its fixture's name is also the window's row class.

TEST_F(Rows, ClickSelectsTheRowAndTypingOnlyChangesThePendingText)
{
    TForm1 &w = start();
    ValueBox *b = box("Name_0");
    click(b);
    EXPECT_EQ(w.Help->toPlainText(), "Высота камеры");
    EXPECT_EQ(w.TMP->toPlainText(), "0.85 ; рост");
    const QString status = "Файл: config\\actor.ltx Секция: actor Параметр: height";
    EXPECT_EQ(w.Panel1->text(), status);
    EXPECT_EQ(dataslot::hint(w.N9), "Name_0");
    EXPECT_EQ(dataslot::tag(w.N9), 1);
    EXPECT_EQ(dataslot::hint(w.N11), "Name_0_");
    EXPECT_EQ(dataslot::tag(w.N11), 1);
    EXPECT_EQ(dataslot::hint(w.N13), "Name_0_V");
    EXPECT_EQ(dataslot::tag(w.N13), 1);

    EXPECT_FALSE(button("Name_0_")->isEnabled());
    type(b, "9");
    EXPECT_TRUE(button("Name_0_")->isEnabled());
    EXPECT_EQ(w.TMP->toPlainText(), "0.859 ; рост");
    EXPECT_EQ(w.Panel1->text(), status);

    click(box("Name1_3_s1"));
    EXPECT_EQ(w.TMP->toPlainText(), "10");
    EXPECT_EQ(dataslot::hint(w.N11), "Name1_3_s1_B");
    EXPECT_EQ(dataslot::hint(w.N13), "Name1_3_s1_TR");
    EXPECT_EQ(dataslot::tag(w.N11), 2);
}

TEST_F(Rows, ApplyChangesExactlyTheKeysLineAndKeepsItsComment)
{
    TForm1 &w = start();
    ValueBox *b = box("Name_0");
    click(b);
    type(b, "9");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);

    EXPECT_EQ(gameFile(), WindowFixture::ini("; персонаж\n[actor]:base\nheight= 0.859 ; рост\n"
                                             "speed = 1,5\n\n[trader]\nbread = 10\n"));
    EXPECT_EQ(TempDir::read(f.gameFolder() + "/config/actor.ltx.bak"), ActorFile);
    EXPECT_FALSE(button("Name_0_")->isEnabled());
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_EQ(w.TMP->toPlainText(), "0.859 ; рост");

    // A second apply leaves the backup as it was before the first.
    replaceText(b, "1");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().contains("height= 1 ; "));
    EXPECT_EQ(TempDir::read(f.gameFolder() + "/config/actor.ltx.bak"), ActorFile);
}

TEST_F(Rows, ApplyWritesItsOwnRowEvenAfterAnotherRowWasClicked)
{
    start();
    ValueBox *speed = box("Name_1");
    click(speed);
    type(speed, "0");
    click(box("Name_0")); // the pending text now belongs to another row
    QTest::mouseClick(button("Name_1_"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().contains("speed= 1,50\r\n"));
    EXPECT_TRUE(gameFile().contains("height = 0.85 ; "));
}

TEST_F(Rows, CommaReplacementTurnsCommasIntoDotsBeforeTheWrite)
{
    TForm1 &w = start();
    w.N19->trigger();
    ASSERT_TRUE(w.N19->isChecked());
    ValueBox *speed = box("Name_1");
    click(speed);
    type(speed, " ");
    QTest::mouseClick(button("Name_1_"), Qt::LeftButton);
    EXPECT_EQ(speed->text(), "1.5 ");
    EXPECT_TRUE(gameFile().contains("speed= 1.5 \r\n"));
    EXPECT_FALSE(button("Name_1_")->isEnabled());

    // Only a comma between two digits is decimal; one that separates values stays.
    ValueBox *bread = box("Name1_3_s1");
    replaceText(bread, "1,5, 2,5,x");
    QTest::mouseClick(button("Name1_3_s1_B"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().contains("bread= 1.5, 2.5,x\r\n"));
}

TEST_F(Rows, KeyboardAndRightButtonSelectTheRow)
{
    TForm1 &w = start();
    QApplication::setActiveWindow(&w);
    ValueBox *height = box("Name_0");
    click(height);
    type(height, "9");
    QTest::keyClick(height->editor(), Qt::Key_Tab);
    EXPECT_EQ(height->text(), "0.859") << "Tab inserts nothing";
    EXPECT_EQ(QApplication::focusWidget(), button("Name_0_"));
    QTest::keyClick(button("Name_0_"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), box("Name_1")->editor());
    EXPECT_EQ(dataslot::hint(w.N9), "Name_1") << "entering a box from the keyboard selects it";
    EXPECT_EQ(w.Help->toPlainText(), "Бег");

    // The pop-up menu's Ctrl+Delete reaches the menu item instead of deleting a word.
    QSignalSpy remove(w.N13, &QAction::triggered);
    box("Name_1")->editor()->moveCursor(QTextCursor::Start);
    QTest::keyClick(box("Name_1")->editor(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(remove.count(), 1);
    EXPECT_EQ(box("Name_1")->text(), "1,5");

    QTest::keyClick(box("Name_1")->editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), button("Name_0_"));
    QTest::keyClick(button("Name_0_"), Qt::Key_Space);
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("height= 0.859 ; рост\n")));

    QTest::mouseClick(box("Name_2")->editor()->viewport(), Qt::RightButton);
    EXPECT_EQ(dataslot::hint(w.N9), "Name_2") << "the menu acts on the row pointed at";
}

TEST_F(Rows, EditedRowsAreAskedAboutBeforeClosing)
{
    TForm1 &w = start("Warning=2\n");
    type(box("Name_0"), "9");
    type(box("Name_1"), "0");
    f.dialogs.answers.enqueue(2); // cancel
    w.close();
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(f.dialogs.questions.size(), 1) << "a question is asked at every message level";
    EXPECT_TRUE(f.dialogs.questions[0].contains(": 2.")) << f.dialogs.questions[0];
    EXPECT_EQ(gameFile(), ActorFile);

    f.dialogs.answers.enqueue(0); // apply all
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("height= 0.859 ; рост\n")));
    EXPECT_TRUE(gameFile().contains("speed= 1,50\r\n"));
}

TEST_F(Rows, ChoosingAnotherFolderAsksAboutEditedRowsOnce)
{
    TForm1 &w = start();
    type(box("Name_0"), "9");
    QDir().mkpath(f.dir.path("other"));
    f.dialogs.answers.enqueue(1); // discard
    f.dialogs.folders.enqueue(f.dir.path("other"));
    w.N6->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(f.dialogs.questions.size(), 1);
    EXPECT_EQ(gameFile(), ActorFile);
    EXPECT_EQ(w.gamedataFolder(), cp1251::encode(f.gameFolder() + "/"))
        << "the folder of this run stays until the next start";
}

TEST_F(Rows, TheCloseQuestionComesBackAfterAFolderCommandThatDidNotClose)
{
    // Whatever was answered, a folder command that ends without closing (the folder dialog
    // cancelled) leaves the next close to ask again instead of dropping the edits.
    TForm1 &w = start();
    type(box("Name_0"), "9");
    for (const int answer : {1, 0}) { // discard, then apply all
        f.dialogs.answers.enqueue(answer);
        w.N6->trigger();
        EXPECT_TRUE(w.isVisible()) << answer;
        type(box("Name_1"), "7");
        f.dialogs.answers.enqueue(2); // stay
        w.N4->trigger();
        EXPECT_TRUE(w.isVisible()) << answer;
    }
    EXPECT_EQ(f.dialogs.questions.size(), 4);
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("height= 0.859 ; рост\n")));
}

TEST_F(Rows, PendingRowsAreCountedOnceHoweverOftenTheyWereEdited)
{
    TForm1 &w = start("Warning=2\n");
    // Each row applied and edited again, twice; one row only edited.
    for (const char *name : {"Name_0", "Name1_3_s1"}) {
        for (int round = 0; round < 2; ++round) {
            type(box(name), "1");
            QTest::mouseClick(button(QString(name) + (name[4] == '1' ? "_B" : "_")),
                              Qt::LeftButton);
        }
        type(box(name), "2");
    }
    type(box("Name_1"), "3");
    f.dialogs.answers.enqueue(2);
    w.close();
    ASSERT_EQ(f.dialogs.questions.size(), 1);
    EXPECT_TRUE(f.dialogs.questions[0].contains(": 3.")) << f.dialogs.questions[0];

    // Rows that cannot be written count once each in the failure count too.
    QFile::setPermissions(f.gameFolder() + "/config/actor.ltx", QFileDevice::ReadOwner);
    f.dialogs.answers.enqueue(0); // apply all
    w.close();
    EXPECT_TRUE(w.isVisible());
    ASSERT_FALSE(f.dialogs.messages.isEmpty());
    EXPECT_TRUE(f.dialogs.messages.last().contains(": 3.")) << f.dialogs.messages.last();
}

TEST_F(Rows, EnterAppliesTheRowAndAMissingValueShowsANoteThatIsNeverWritten)
{
    writeCatalogue("config\\new.ltx");
    TForm1 &w = start();
    ValueBox *missing = box("Name_2");
    EXPECT_EQ(missing->editor()->placeholderText(), "нет в файле");
    EXPECT_EQ(missing->text(), "");
    EXPECT_EQ(box("Name_0")->editor()->placeholderText(), "");
    EXPECT_EQ(box("Name1_4_s1")->editor()->placeholderText(), "нет в файле");
    click(missing);
    EXPECT_EQ(w.TMP->toPlainText(), "") << "the note is no part of the value";
    QTest::keyClick(missing->editor(), Qt::Key_Return);
    EXPECT_FALSE(QFile::exists(f.gameFolder() + "/config/new.ltx")) << "nothing edited yet";

    type(missing, "2");
    QTest::keyClick(missing->editor(), Qt::Key_Return);
    EXPECT_EQ(missing->text(), "2");
    EXPECT_FALSE(button("Name_2_")->isEnabled());
    EXPECT_TRUE(TempDir::read(f.gameFolder() + "/config/new.ltx").contains("height= 2"));
    EXPECT_EQ(missing->editor()->placeholderText(), "") << "the key is in the file now";

    type(box("Name1_3_s1"), "1");
    QTest::keyClick(box("Name1_3_s1")->editor(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(box("Name1_3_s1")->text(), "101");
    EXPECT_TRUE(gameFile().contains("bread= 101\r\n"));
}

TEST_F(Rows, EntriesWithoutTheirFileSectionOrKeyAreNotWritten)
{
    f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\nKol-vo=2\n"
                                "1_Caption=Рост\n1_File=config\\actor.ltx\n1_Section=actor\n"
                                "1_Param=height\n");
    start();
    type(box("Name_1"), "1");
    QTest::mouseClick(button("Name_1_"), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].contains("2_File")) << f.dialogs.messages[0];
    EXPECT_EQ(QDir(f.gameFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"config"});
    EXPECT_TRUE(button("Name_1_")->isEnabled());
}

TEST_F(Rows, TradeRowsDeleteAndAddTheirKey)
{
    start();
    auto *check = qobject_cast<QCheckBox *>(f.window->findComponent("Name1_3_s1_TR"));
    ValueBox *bread = box("Name1_3_s1");
    check->click();
    EXPECT_FALSE(bread->isEnabled());
    EXPECT_TRUE(button("Name1_3_s1_B")->isEnabled());
    QTest::mouseClick(button("Name1_3_s1_B"), Qt::LeftButton);
    EXPECT_FALSE(gameFile().contains("bread"));
    EXPECT_EQ(bread->text(), "10") << "the box keeps its text, greyed";

    check->click();
    EXPECT_TRUE(bread->isEnabled());
    type(bread, "5");
    QTest::mouseClick(button("Name1_3_s1_B"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().endsWith("[trader]\r\nbread= 105\r\n"));

    // An absent key: tick, type, apply adds it to its section.
    auto *water = qobject_cast<QCheckBox *>(f.window->findComponent("Name1_4_s1_TR"));
    EXPECT_FALSE(box("Name1_4_s1")->isEnabled());
    water->click();
    type(box("Name1_4_s1"), "3");
    QTest::mouseClick(button("Name1_4_s1_B"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().endsWith("[trader]\r\nbread= 105\r\nwater= 3\r\n"));
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
}

TEST_F(Rows, DuplicationRepeatsTheKeyAndRecordsTheFile)
{
    const QString dup = f.dir.path("dup");
    QDir().mkpath(dup);
    start("Warning=0\nDouble=1\nDouble_Path=" + dup + "/\n");
    ValueBox *b = box("Name_0");
    click(b);
    replaceText(b, "2");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_EQ(TempDir::read(dup + "/actor.ltx"), WindowFixture::ini("[actor]\nheight= 2 ; рост\n"));
    EXPECT_EQ(TempDir::read(dup + "/!FileTable!.table"),
              WindowFixture::ini("[table]\nactor.ltx=config\\actor.ltx\n"));
}

TEST_F(Rows, FailedWritesAreReportedAndChangeNothing)
{
    writeCatalogue("..\\..\\outside.ltx");
    start();
    const QString path = f.gameFolder() + "/config/actor.ltx";
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    ValueBox *b = box("Name_0");
    click(b);
    type(b, "1");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    // "Except", and on the next line the file and why.
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].startsWith("Except\n"));
    EXPECT_TRUE(f.dialogs.messages[0].contains("actor.ltx")) << f.dialogs.messages[0];
    EXPECT_EQ(gameFile(), ActorFile);
    EXPECT_TRUE(button("Name_0_")->isEnabled()) << "a failed row must not look applied";
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A catalogue path that climbs out of the game folder writes nothing anywhere.
    f.dialogs.messages.clear();
    type(box("Name_2"), "7");
    QTest::mouseClick(button("Name_2_"), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages[0].startsWith("Except\n"));
    EXPECT_TRUE(f.dialogs.messages[0].contains("outside.ltx")) << f.dialogs.messages[0];
    EXPECT_TRUE(button("Name_2_")->isEnabled());
    EXPECT_FALSE(QFile::exists(f.dir.path("outside.ltx")));
    EXPECT_FALSE(QFile::exists(f.dir.path("outside.ltx.bak")));
}

TEST_F(Rows, TextThatCannotBeOneLineOfWindows1251IsRefused)
{
    start();
    ValueBox *b = box("Name_0");
    click(b);
    b->editor()->moveCursor(QTextCursor::End);
    b->editor()->insertPlainText(QStringLiteral("中")); // typed through an input method
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_NE(f.dialogs.messages[0], "Except");

    replaceText(b, "1");
    b->editor()->moveCursor(QTextCursor::End);
    b->editor()->insertPlainText(QStringLiteral("\n")); // pasted: Enter applies instead
    type(b, "2");
    ASSERT_EQ(b->text(), "1\n2");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_EQ(f.dialogs.messages.size(), 2);
    EXPECT_EQ(gameFile(), ActorFile);
    EXPECT_FALSE(QFile::exists(f.gameFolder() + "/config/actor.ltx.bak"));
}

TEST_F(Rows, FailedWriteIsSilentAtMessageLevelTwo)
{
    start("Warning=2\n");
    QFile::setPermissions(f.gameFolder() + "/config/actor.ltx", QFileDevice::ReadOwner);
    ValueBox *b = box("Name_0");
    type(b, "1");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_EQ(gameFile(), ActorFile);
}

TEST_F(Rows, AnInheritedValueShowsGreyedWithItsOriginAndApplyWritesAnOverride)
{
    const QByteArray base = WindowFixture::ini("[base]\njump = 2, 3 ; прыжок\n");
    const QByteArray actor = WindowFixture::ini("#include \"base.ltx\"\n[actor]:base\n"
                                                "height = 0.85 ; рост\n\n[trader]\nbread = 10\n");
    f.dir.write("gamedata/config/base.ltx", base);
    f.dir.write("gamedata/config/actor.ltx", actor);
    f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\nKol-vo=2\n"
                                "1_Caption=Прыжок\n1_File=config\\actor.ltx\n1_Section=actor\n"
                                "1_Param=jump\n1_Help=Высота прыжка\n"
                                "2_Caption=Рост\n2_File=config\\actor.ltx\n2_Section=actor\n"
                                "2_Param=height\n");
    TForm1 &w = start();
    ValueBox *inherited = box("Name_0");
    const QString origin = "унаследовано из [base], config/base.ltx";
    EXPECT_EQ(inherited->text(), "2, 3");
    EXPECT_EQ(inherited->inheritedFrom(), origin);
    EXPECT_EQ(inherited->editor()->placeholderText(), "") << "present, not missing";
    EXPECT_NE(inherited->editor()->palette().color(QPalette::Text),
              box("Name_1")->editor()->palette().color(QPalette::Text))
        << "greyed";
    EXPECT_FALSE(button("Name_0_")->isEnabled()) << "not pending until typed";
    EXPECT_EQ(box("Name_1")->inheritedFrom(), "");

    click(inherited);
    EXPECT_EQ(w.Help->toPlainText(), "Высота прыжка\n" + origin);
    EXPECT_EQ(w.Panel1->text(),
              "Файл: config\\actor.ltx Секция: actor Параметр: jump (" + origin + ")");
    EXPECT_EQ(w.TMP->toPlainText(), "2, 3 ; прыжок");

    replaceText(inherited, "4, 5");
    EXPECT_EQ(inherited->inheritedFrom(), "") << "typed: the row's own value";
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_EQ(TempDir::read(f.gameFolder() + "/config/actor.ltx"),
              WindowFixture::ini("#include \"base.ltx\"\n[actor]:base\nheight = 0.85 ; рост\n"
                                 "jump= 4, 5 ; прыжок\n\n[trader]\nbread = 10\n"));
    EXPECT_EQ(TempDir::read(f.gameFolder() + "/config/base.ltx"), base) << "the parent stays";
    EXPECT_FALSE(QFile::exists(f.gameFolder() + "/config/base.ltx.bak"));
}

TEST_F(Rows, InheritanceIsAViewOptionAndAMissingIncludeIsReportedOnce)
{
    f.dir.write("gamedata/config/base.ltx", WindowFixture::ini("[base]\njump = 2, 3\n"));
    f.dir.write("gamedata/config/actor.ltx",
                WindowFixture::ini("#include \"base.ltx\"\n#include \"gone_view.ltx\"\n"
                                   "[actor]:base\nheight = 0.85\n"));
    f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\nKol-vo=1\n"
                                "1_Caption=Прыжок\n1_File=config\\actor.ltx\n1_Section=actor\n"
                                "1_Param=jump\n");
    f.writeSettings("Warning=0\n");
    TForm1 &w = f.start();
    const auto aboutMissing = [this] {
        return f.dialogs.messages.filter("config/gone_view.ltx не найден").size();
    };
    EXPECT_EQ(aboutMissing(), 1) << f.dialogs.messages.join("\n").toStdString();
    EXPECT_TRUE(w.Panel1->text().contains("включения (#include)"))
        << w.Panel1->text().toStdString();
    auto *item = qobject_cast<QAction *>(w.findComponent("NInheritance"));
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isChecked()) << "on by default";
    EXPECT_EQ(box("Name_0")->text(), "2, 3");

    struct Step
    {
        bool on;
        const char *stored;
        QString text, placeholder;
    };
    for (const Step &s : {Step{false, "0", "", "нет в файле"}, Step{true, "1", "2, 3", ""}}) {
        item->trigger();
        EXPECT_EQ(item->isChecked(), s.on);
        EXPECT_EQ(ProfileFile(cp1251::encode(f.settingPath("Setting.ini")))
                      .readString("Setting", "Inheritance", "absent"),
                  s.stored);
        EXPECT_EQ(box("Name_0")->text(), s.text) << "read again at once";
        EXPECT_EQ(box("Name_0")->editor()->placeholderText(), s.placeholder);
    }
    EXPECT_EQ(aboutMissing(), 1) << "reported once, not at every reload";

    // Kept for the next start.
    item->trigger();
    f.window->close();
    f.window.reset();
    TForm1 &next = f.start();
    EXPECT_FALSE(qobject_cast<QAction *>(next.findComponent("NInheritance"))->isChecked());
    EXPECT_EQ(box("Name_0")->editor()->placeholderText(), "нет в файле");
}

TEST_F(Rows, AHistoryThatCannotBeAppendedIsReportedAtOnceAndTheWriteStays)
{
    // A folder where the history file should be: every append fails.
    QDir().mkpath(f.settingPath("History.log"));
    start("Warning=2\n");
    type(box("Name_0"), "1");
    QTest::mouseClick(button("Name_0_"), Qt::LeftButton);
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("height= 0.851 ; рост")));
    EXPECT_FALSE(button("Name_0_")->isEnabled()) << "applied";
    ASSERT_EQ(f.dialogs.messages.size(), 1) << "said at every message level";
    EXPECT_TRUE(f.dialogs.messages[0].contains(f.settingPath("History.log")))
        << f.dialogs.messages[0].toStdString();
}

TEST_F(Rows, IncludeProblemsOfARowsFileAreReportedAtStartEvenWhenNoRowInherits)
{
    struct Case
    {
        const char *name;
        QByteArray include;
        const char *reported;
    };
    const Case cases[] = {
        {"missing", "#include \"gone.ltx\"\n", "config/gone.ltx не найден"},
        {"cycle", "#include \"actor.ltx\"\n#include \"loop.ltx\"\n", "по кругу"},
        {"outside", "#include \"../../outside.ltx\"\n", "ведёт за папку gamedata"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.dir.write("gamedata/config/loop.ltx", "#include \"actor.ltx\"\n");
        f.dir.write("gamedata/config/actor.ltx",
                    c.include + WindowFixture::ini("[actor]\nheight = 0.85\n"));
        f.writeSettings("Warning=1\n");
        f.window.reset();
        f.dialogs.messages.clear();
        f.start();
        EXPECT_EQ(f.dialogs.messages.filter(QString::fromUtf8(c.reported)).size(), 1)
            << f.dialogs.messages.join("\n").toStdString();
        EXPECT_EQ(box("Name_0")->text(), "0.85");
    }
}

} // namespace
