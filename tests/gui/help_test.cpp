#include <QAction>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/CommandLine.h"
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

// The mnemonic of a caption ("В форме &таблицы" gives "т"), in lower case; empty for none.
QString mnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return caption[i + 1].toLower();
        ++i; // "&&" is a plain "&"
    }
    return QString();
}

// A letter kept in a menu for one item: the item's object name.
struct Reserved
{
    QString letter, item;
};

// Checks that every item of the menu (and of its submenus) has a mnemonic of its own there.
// reserved: letters kept for later items, by the menu's object name.
void expectUniqueMnemonics(const QList<QAction *> &items, const QString &path,
                           const QHash<QString, Reserved> &reserved)
{
    QHash<QString, QString> taken; // mnemonic -> caption
    for (const QAction *a : items) {
        if (a->isSeparator())
            continue;
        const QString mnemonic = mnemonicOf(a->text());
        const QString where = path + QString(a->text()).remove('&');
        EXPECT_FALSE(mnemonic.isEmpty()) << "no mnemonic: " << where.toStdString();
        if (!mnemonic.isEmpty()) {
            EXPECT_FALSE(taken.contains(mnemonic))
                << "\"" << mnemonic.toStdString() << "\" twice: " << where.toStdString() << " and "
                << taken.value(mnemonic).toStdString();
            taken.insert(mnemonic, a->text());
        }
        if (const QMenu *menu = a->menu()) {
            const Reserved kept = reserved.value(menu->objectName());
            for (const QAction *item : menu->actions())
                EXPECT_TRUE(kept.letter.isEmpty() || item->objectName() == kept.item ||
                            mnemonicOf(item->text()) != kept.letter)
                    << "\"" << kept.letter.toStdString() << "\" is kept for "
                    << kept.item.toStdString() << " in " << where.toStdString() << ": "
                    << item->text().toStdString();
            expectUniqueMnemonics(menu->actions(), where + " → ", reserved);
        }
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

// Alt and a letter reach each menu item; a new item whose letter is taken, or that has none,
// fails here. Вид keeps "В" for an item that brings back an undone write.
TEST_F(Help, EveryMenuItemHasAMnemonicOfItsOwnInItsMenu)
{
    TForm1 &w = f.create();
    const QHash<QString, Reserved> reserved{
        {QStringLiteral("N20Menu"), {QStringLiteral("в"), QStringLiteral("NRedo")}}};
    expectUniqueMnemonics(w.menuBar()->actions(), QString(), reserved);
    expectUniqueMnemonics(w.PopupMenuAdd->actions(), QStringLiteral("Меню строки → "), reserved);
    ASSERT_EQ(mnemonicOf(QStringLiteral("В форме &таблицы")), "т");
    ASSERT_EQ(mnemonicOf(QStringLiteral("A && B")), "");
}

// The options a text names ("--get", "--dry-run", ...).
QSet<QString> optionsIn(const QString &text)
{
    QSet<QString> options;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*"));
    for (auto it = option.globalMatch(text); it.hasNext();)
        options.insert(it.next().captured());
    return options;
}

// The command line's --help and the help window name the same options: an option added to one
// and not to the other fails here.
TEST(HelpCommandLine, HelpWindowAndHelpOptionNameTheSameOptions)
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ASSERT_TRUE(out && err);
    EXPECT_EQ(CommandLine::run({"branvik-configurator", "--help"}, QString(), out, err), 0);
    QFile printed;
    std::rewind(out);
    ASSERT_TRUE(printed.open(out, QIODevice::ReadOnly));
    const QSet<QString> help = optionsIn(QString::fromUtf8(printed.readAll()));
    printed.close();
    std::fclose(out);
    std::fclose(err);
    ASSERT_GE(help.size(), 10);

    const QSet<QString> window = optionsIn(HelpWindow::helpText());
    for (const QString &o : help - window)
        ADD_FAILURE() << "--help names " << o.toStdString() << ", the help window does not";
    for (const QString &o : window - help)
        ADD_FAILURE() << "the help window names " << o.toStdString() << ", --help does not";
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
