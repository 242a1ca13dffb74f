#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "editor/window/HelpWindow.h"
#include "editor/window/TForm2.h"
#include "support/WindowFixture.h"

namespace {

// Every command of the menus, as "Menu → Submenu → Item" with its caption's "&" removed.
void collectCommands(const QMenu *menu, const QString &path, QStringList &out)
{
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            continue;
        const QString name = path + QString(a->text()).remove('&');
        if (a->menu())
            collectCommands(a->menu(), name + " → ", out);
        else
            out.append(name);
    }
}

QString linkOf(const QLabel *label)
{
    const auto m = QRegularExpression("href=\"([^\"]+)\"").match(label->text());
    return m.hasMatch() ? m.captured(1) : QString();
}

class Help : public ::testing::Test
{
protected:
    WindowFixture f;
    void SetUp() override { f.writeSettings("Warning=2\n"); }
};

// A command added to a menu without a line in the help fails here.
TEST_F(Help, TextDescribesEveryMenuCommandAndTheChangeList)
{
    TForm1 &w = f.start();
    QStringList commands;
    for (const QAction *top : w.menuBar()->actions())
        collectCommands(top->menu(), QString(top->text()).remove('&') + " → ", commands);
    collectCommands(w.PopupMenuAdd, QString(), commands);
    ASSERT_GE(commands.size(), 20);

    const QString text = w.Form2->Memo1->toPlainText();
    EXPECT_EQ(text, HelpWindow::helpText());
    for (const QString &command : commands) {
        // A submenu's items may share one help line: each item's own caption must be there.
        const QString item = command.section(" → ", -1);
        EXPECT_TRUE(text.contains(item)) << item.toStdString();
        const QString menuPath = command.section(" → ", 0, -2);
        EXPECT_TRUE(menuPath.isEmpty() || text.contains(menuPath)) << command.toStdString();
    }
    for (const char *words : {"Картинка", "Перетаскивание", "CHANGES.md", "README.md",
                              "Восстановить параметр", "Восстановить файл", "Перейти к строке"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words;
    EXPECT_FALSE(text.contains("ReadMe"));

    // Shown, the help names the folder whose settings and catalogue this copy uses.
    w.N8Click();
    EXPECT_TRUE(w.Form2->Memo1->toPlainText().contains(w.settingsFolder()));
}

TEST(HelpGuide, FoundBesideABuildOrInTheInstalledDocumentsFolder)
{
    struct Case
    {
        const char *file; // the only README.md in the tree
        const char *programDir;
        const char *expected; // relative to the tree
    } cases[] = {
        {"build/doc/README.md", "build", "build/doc/README.md"},
        {"usr/share/doc/branvik-configurator/README.md", "usr/lib/branvik-configurator",
         "usr/share/doc/branvik-configurator/README.md"},
        // A stray README beside the executable is not the guide.
        {"usr/lib/branvik-configurator/README.md", "usr/lib/branvik-configurator",
         "usr/share/doc/branvik-configurator/README.md"},
    };
    for (const Case &c : cases) {
        TempDir tree;
        tree.write(c.file, "# guide\n");
        EXPECT_EQ(HelpWindow::guidePath(tree.path(c.programDir)), tree.path(c.expected)) << c.file;
    }
}

TEST_F(Help, LinkOpensTheUserGuideOrSaysWhyNot)
{
    TForm1 &w = f.start();
    f.dialogs.messages.clear(); // the start-up's own messages (an empty catalogue)
    // The window's own link points at a local file, never at a web address.
    EXPECT_TRUE(QUrl(linkOf(w.Form2->Label3)).isLocalFile())
        << linkOf(w.Form2->Label3).toStdString();

    TempDir build;
    const QString guide = build.write("doc/README.md", "# guide\n");
    TForm2 form;
    HelpWindow help(w, form, build.path());
    const QString link = linkOf(form.Label3);
    EXPECT_EQ(QUrl(link), QUrl::fromLocalFile(guide));
    EXPECT_EQ(form.Memo1->toPlainText(), HelpWindow::helpText());

    emit form.Label3->linkActivated(link);
    EXPECT_EQ(f.dialogs.openedUrls, QList<QUrl>{QUrl::fromLocalFile(guide)});
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();

    f.dialogs.urlHandlerAvailable = false;
    emit form.Label3->linkActivated(link);
    ASSERT_EQ(f.dialogs.messages.size(), 1);
    EXPECT_TRUE(f.dialogs.messages.last().contains(guide));

    // The guide removed after start: a message names it, nothing is handed to the desktop.
    ASSERT_TRUE(QFile::remove(guide));
    emit form.Label3->linkActivated(link);
    EXPECT_EQ(f.dialogs.openedUrls.size(), 2);
    ASSERT_EQ(f.dialogs.messages.size(), 2);
    EXPECT_TRUE(f.dialogs.messages.last().contains("Не найдено описание программы"));
    EXPECT_TRUE(f.dialogs.messages.last().contains(guide));
}

} // namespace
