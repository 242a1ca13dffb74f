// Tweak files and the apply history from the windows: a tweak saved from the change list,
// reviewed and written on fresh game files, removed; row applies undone from the history window
// and with Ctrl+Z, redone with Ctrl+Y; Ctrl+Z in a value box.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"

namespace {

const QByteArray ActorFile = WindowFixture::ini("[actor]\nheight = 0.85 ; рост\nspeed = 1,5\n");

class TweaksAndHistory : public ::testing::Test
{
protected:
    WindowFixture f;

    TForm1 &start()
    {
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=1\n1=Актёр\n1_file=Actor\n"
                                    "1_Enabled=true\n");
        f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\n"
                                    "Kol-vo=2\n1_Caption=Рост\n1_File=config\\actor.ltx\n"
                                    "1_Section=actor\n1_Param=height\n1_Help=Высота\n"
                                    "2_Caption=Скорость\n2_File=config\\actor.ltx\n"
                                    "2_Section=actor\n2_Param=speed\n2_Help=Бег\n");
        f.dir.write("gamedata/config/actor.ltx", ActorFile);
        f.writeSettings("Warning=0\n");
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }
    void apply(const QString &name, const QString &text)
    {
        auto *b = qobject_cast<ValueBox *>(f.window->findComponent(name));
        b->editor()->selectAll();
        QTest::keyClicks(b->editor(), text);
        QTest::mouseClick(qobject_cast<QPushButton *>(f.window->findComponent(name + "_")),
                          Qt::LeftButton);
    }
    void trigger(const char *name)
    {
        qobject_cast<QAction *>(f.window->findComponent(QString::fromLatin1(name)))->trigger();
    }
    QByteArray gameFile() const { return TempDir::read(f.gameFolder() + "/config/actor.ltx"); }
};

} // namespace

TEST_F(TweaksAndHistory, ATweakIsSavedReviewedWrittenAndRemoved)
{
    start();
    apply("Name_0", "0.95");
    const QByteArray changed = gameFile();
    ASSERT_NE(changed, ActorFile);

    // Saved from the change list: every change; a name typed without a suffix gets ".ltx".
    const QString tweak = f.dir.path("tweaks/height.ltx");
    QDir().mkpath(f.dir.path("tweaks"));
    f.dialogs.saveFiles.enqueue(f.dir.path("tweaks/height"));
    f.dialogs.whileOpen = [](QDialog *d) { d->findChild<QPushButton *>("SaveTweak")->click(); };
    f.window->ChangesClick();
    ASSERT_TRUE(TempDir::read(tweak).contains("height= 0.95 ; "));

    // Fresh game files: the review shows the line as differing, ticked; "Записать" writes it.
    // The dialog opens where the tweak was saved.
    f.dir.write("gamedata/config/actor.ltx", ActorFile);
    QStringList states;
    f.dialogs.openFiles.enqueue(tweak);
    f.dialogs.dialogResults.enqueue(QDialog::Accepted);
    f.dialogs.whileOpen = [&](QDialog *d) {
        const auto *list = d->findChild<QTreeWidget *>("TweakLines");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            states << list->topLevelItem(i)->text(4)
                   << (list->topLevelItem(i)->checkState(0) == Qt::Checked ? "x" : "-");
    };
    trigger("NApplyTweak");
    EXPECT_EQ(f.dialogs.fileFolders.last(), f.dir.path("tweaks"));
    EXPECT_EQ(states, (QStringList{"отличается", "x"}));
    EXPECT_EQ(gameFile(), changed);

    // Removed through a copy elsewhere, with other line endings: the line it replaced comes
    // back. Removed again, it is not applied.
    const QString moved = f.dir.write("moved/copy.ltx", TempDir::read(tweak).replace("\r\n", "\n"));
    f.dialogs.openFiles.enqueue(moved);
    f.dialogs.answers.enqueue(0);
    trigger("NRemoveTweak");
    EXPECT_EQ(gameFile(), ActorFile);
    f.dialogs.openFiles.enqueue(tweak);
    trigger("NRemoveTweak");
    EXPECT_EQ(f.dialogs.fileFolders.last(), f.dir.path("moved"));
    EXPECT_TRUE(f.dialogs.messages.last().contains(QStringLiteral("Этот твик не применён")))
        << f.dialogs.messages.last().toStdString();
}

TEST_F(TweaksAndHistory, HistoryWindowUndoesAGroupCtrlZStepsBackAndCtrlYRedoes)
{
    start();
    apply("Name_0", "0.95");
    apply("Name_1", "2");
    const QByteArray afterFirst = WindowFixture::ini("[actor]\nheight= 0.95 ; рост\nspeed = 1,5\n");
    const QByteArray afterBoth = gameFile();

    // The window lists the newest first, names each group by what made it, and undoes the
    // chosen record's group.
    QStringList keys, groups;
    f.dialogs.answers.enqueue(0);
    f.dialogs.whileOpen = [&](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>("HistoryList");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            keys << list->topLevelItem(i)->text(5);
            groups << list->topLevelItem(i)->text(1);
        }
        d->findChild<QLineEdit *>("HistoryFilter")->setText("speed");
        ASSERT_EQ(list->topLevelItemCount(), 1);
        list->setCurrentItem(list->topLevelItem(0));
        d->findChild<QPushButton *>("UndoGroup")->click();
    };
    trigger("NHistory");
    EXPECT_EQ(keys, (QStringList{"speed", "height"}));
    ASSERT_EQ(groups.size(), 2);
    EXPECT_TRUE(groups[1].endsWith(QStringLiteral("строка: Рост"))) << groups[1].toStdString();
    EXPECT_EQ(gameFile(), afterFirst);

    // Ctrl+Z: the last group not yet undone is the height's; another program changed its key
    // since, so nothing is undone and the message names the key.
    f.dialogs.whileOpen = nullptr;
    const QByteArray changed = WindowFixture::ini("[actor]\nheight = 3\nspeed = 1,5\n");
    f.dir.write("gamedata/config/actor.ltx", changed);
    f.dialogs.answers.enqueue(0);
    trigger("NUndoLast");
    ASSERT_FALSE(f.dialogs.messages.isEmpty());
    EXPECT_TRUE(f.dialogs.messages.last().contains("[actor] height"))
        << f.dialogs.messages.last().toStdString();
    EXPECT_EQ(gameFile(), changed);

    // Put back, Ctrl+Z steps back to the original; Ctrl+Y makes the two undos' writes again,
    // the last undo first.
    f.dir.write("gamedata/config/actor.ltx", afterFirst);
    f.dialogs.answers.enqueue(0);
    trigger("NUndoLast");
    EXPECT_EQ(gameFile(), ActorFile);
    f.dialogs.answers.enqueue(0);
    trigger("NRedo");
    EXPECT_EQ(gameFile(), afterFirst);
    f.dialogs.answers.enqueue(0);
    trigger("NRedo");
    EXPECT_EQ(gameFile(), afterBoth);
    EXPECT_TRUE(f.dialogs.questions.last().startsWith(QStringLiteral("Вернуть отменённую")))
        << f.dialogs.questions.last().toStdString();
}

// In a value box, Ctrl+Z is the box's own: it takes back the typing, and the history is left
// alone; elsewhere in the window it undoes the last write.
TEST_F(TweaksAndHistory, CtrlZInAValueBoxIsTheBoxsOwn)
{
    QApplication::setActiveWindow(&start());
    apply("Name_0", "0.95");
    const QByteArray applied = gameFile();
    auto *box = qobject_cast<ValueBox *>(f.window->findComponent("Name_1"));
    box->editor()->setFocus();
    const QString before = box->editor()->toPlainText();
    QTest::keyClicks(box->editor(), "9");
    QTest::keyClick(box->editor(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->editor()->toPlainText(), before);
    EXPECT_TRUE(f.dialogs.questions.isEmpty()) << f.dialogs.questions.join('\n').toStdString();
    EXPECT_EQ(gameFile(), applied);

    f.dialogs.answers.enqueue(0);
    QWidget *button = qobject_cast<QWidget *>(f.window->findComponent("Name_1_"));
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(f.dialogs.questions.size(), 1);
    EXPECT_EQ(gameFile(), ActorFile);
}
