#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "prefs/RegistryStore.h"
#include "prefs/window/TStateSaver.h"
#include "profile/ProfileFile.h"
#include "support/TestSystem.h"
#include "support/WindowFixture.h"
#include "ui/window/DataSlots.h"

namespace {

const QByteArray ProgramKey = "SOFTWARE\\Tessaly_and_Quenby\\BRANVIK Configurator";
const QString Deleted = QStringLiteral("Ключи реестра удалены!");
const QColor SkyBlue(0xA6, 0xCA, 0xF0);

QByteArray cp(const QString &text)
{
    return cp1251::encode(text);
}

QColor colourOf(const QWidget *w)
{
    return w->palette().color(QPalette::Window);
}

// The store of a root, read afresh.
struct Store
{
    RegistryStore store;
    Store(const WindowFixture &f, const QByteArray &root = "HKEY_LOCAL_MACHINE")
        : store(f.dir.path("registry"), root)
    {
        store.read();
    }
    RegistryStore::Key *key(const QByteArray &path = ProgramKey)
    {
        return store.openKey(path, false);
    }
    QByteArrayList names(const QByteArray &path = ProgramKey)
    {
        QByteArrayList out;
        if (RegistryStore::Key *k = key(path))
            for (const RegistryStore::Value &v : k->values())
                out << v.name;
        return out;
    }
};

// A saver of the window's own kind, on the fixture's store, every switch as given.
std::unique_ptr<TStateSaver> saverFor(WindowFixture &f, bool allSwitches)
{
    auto saver = std::make_unique<TStateSaver>(*f.window, f.dir.path("registry"));
    saver->setRegistryRoot("HKEY_LOCAL_MACHINE");
    saver->RegistryPath = cp1251::toUnicode(ProgramKey);
    for (bool *s : {&saver->WriteTop, &saver->WriteLeft, &saver->WriteWidth, &saver->WriteHeight,
                    &saver->WriteCaption, &saver->WriteText, &saver->WriteColor, &saver->WriteTag,
                    &saver->WriteEnabled, &saver->WriteVisible, &saver->WriteChecked})
        *s = allSwitches;
    return saver;
}

class Prefs : public ::testing::Test
{
protected:
    WindowFixture f;
    void SetUp() override
    {
        f.writeSettings();
        f.writeSetting("Pages.ini",
                       "[Global Pages]\nKol-vo=1\n1=Page\n1_file=Page\n1_Enabled=true\n");
        f.writeSetting("Page.ini", "[Pages]\nKol-vo=1\n1=Sub\n[Sub]\nKol-vo=2\n"
                                   "1_Caption=One\n1_File=a.ltx\n1_Section=s\n1_Param=k\n"
                                   "2_Caption=Two\n2_File=a.ltx\n2_Section=s\n2_Param=k\n");
    }
    // Closes the current window and starts the next run on the same folders.
    TForm1 &restart()
    {
        f.window->close();
        f.window.reset();
        f.dialogs.messages.clear();
        return f.start();
    }
    QByteArray setting(const char *key)
    {
        return ProfileFile(cp(f.settingPath("Setting.ini"))).readString("Setting", key, "absent");
    }
};

} // namespace

TEST(StateSaver, SavesEachSwitchedOnValueInItsOrderUnderItsName)
{
    WindowFixture f;
    TForm1 &w = f.create();
    auto saver = saverFor(f, true);
    w.Panel1->setGeometry(3, 4, 50, 20);
    dataslot::setTag(w.Panel1, 7);
    ASSERT_TRUE(saver->SaveComponentState(w.Panel1, "P.", "!"));

    Store s(f);
    const QByteArray text = cp(w.Panel1->text());
    struct Expected
    {
        const char *name;
        RegistryStore::Type type;
        qint32 integer;
        QByteArray text;
    };
    using T = RegistryStore::Type;
    const Expected expected[] = {
        {"P.Panel1.TOP!", T::Integer, 4, {}},        {"P.Panel1.Enabled!", T::Boolean, 1, {}},
        {"P.Panel1.Visible!", T::Boolean, 1, {}},    {"P.Panel1.LEFT!", T::Integer, 3, {}},
        {"P.Panel1.TAG!", T::Integer, 7, {}},        {"P.Panel1.HEIGHT!", T::Integer, 20, {}},
        {"P.Panel1.WIDTH!", T::Integer, 50, {}},     {"P.Panel1.Text!", T::String, 0, text},
        {"P.Panel1.Color!", T::Integer, 0xFFFF, {}}, // yellow as 0x00BBGGRR
        {"P.Panel1.Caption!", T::String, 0, text},
    };
    ASSERT_NE(s.key(), nullptr);
    const QList<RegistryStore::Value> &values = s.key()->values();
    ASSERT_EQ(values.size(), std::size(expected));
    for (qsizetype i = 0; i < values.size(); ++i) {
        const Expected &e = expected[i];
        EXPECT_EQ(values[i], (RegistryStore::Value{e.name, e.type, e.integer, e.text})) << e.name;
    }
}

TEST(StateSaver, WalksTheWindowsComponentsAndLetsEventsSkipOne)
{
    WindowFixture f;
    TForm1 &w = f.create();
    auto saver = saverFor(f, false);
    saver->WriteTop = true;
    auto *unnamed = new QWidget(w.centralWidget());
    unnamed->move(0, 11);
    w.addComponent(unnamed);
    int visited = 0;
    saver->OnNewComponentSaving = [&](TStateSaver *sender, QObject *target, bool &doIt) {
        EXPECT_EQ(sender, saver.get());
        ++visited;
        doIt = target != &w && target != w.TMP;
    };
    ASSERT_TRUE(saver->SaveComponentState(&w, "Главное окно_", ""));
    EXPECT_EQ(visited, w.components().size() + 1);
    EXPECT_EQ(Store(f).names(),
              (QByteArrayList{cp("Главное окно_Form1.Panel1.TOP"),
                              cp("Главное окно_Form1.PageControl1.TOP"),
                              cp("Главное окно_Form1.Help.TOP"), cp("Главное окно_Form1..TOP")}))
        << "the window and TMP skipped, menus and actions have no values";

    // Loading: missing values and values of another type leave the control alone.
    {
        Store s(f);
        s.key()->writeString(cp("главное окно_form1.panel1.top"), "not a number");
        s.key()->writeInteger(cp("Главное окно_Form1.Help.TOP"), 77);
        s.key()->writeInteger(cp("Главное окно_Form1.PageControl1.LEFT"), 5);
        ASSERT_TRUE(s.store.save());
    }
    w.Panel1->move(1, 2);
    w.Help->move(3, 4);
    w.PageControl1->move(6, 7);
    saver->WriteLeft = true;
    saver->OnNewComponentLoading = [&](TStateSaver *, QObject *target, bool &doIt) {
        doIt = target != w.PageControl1;
    };
    ASSERT_TRUE(saver->LoadComponentState(&w, "Главное окно_", ""));
    EXPECT_EQ(w.Panel1->pos(), QPoint(1, 2));
    EXPECT_EQ(w.Help->pos(), QPoint(3, 77));
    EXPECT_EQ(w.PageControl1->pos(), QPoint(6, 7)) << "skipped by the event";
    EXPECT_EQ(unnamed->pos(), QPoint(0, 11));
}

TEST(StateSaver, LoadingCreatesNoKeyAndAMissingRootSavesNothing)
{
    WindowFixture f;
    TForm1 &w = f.create();
    auto saver = saverFor(f, true);
    bool called = false;
    saver->OnNewComponentLoading = [&](TStateSaver *, QObject *, bool &) { called = true; };
    EXPECT_TRUE(saver->LoadComponentState(&w, "P", ""));
    EXPECT_TRUE(called);
    EXPECT_FALSE(QFile::exists(f.dir.path("registry/HKEY_LOCAL_MACHINE")));

    TStateSaver fresh(w, f.dir.path("registry"));
    EXPECT_EQ(fresh.RegistryRootHKEY(), 0u);
    fresh.WriteTop = true;
    EXPECT_TRUE(fresh.SaveComponentState(&w, "P", ""));
    EXPECT_FALSE(QDir(f.dir.path("registry")).exists());
}

TEST(StateSaver, RootSettersTakeAnyCaseAndRefuseUnknownRoots)
{
    WindowFixture f;
    f.writeSettings("Warning=2\n");
    TForm1 &w = f.start();
    f.dialogs.messages.clear();
    TStateSaver saver(w, f.dir.path("registry"));
    saver.setRegistryRoot("hkey_current_user");
    EXPECT_EQ(saver.RegistryRoot(), "HKEY_CURRENT_USER");
    EXPECT_EQ(saver.RegistryRootHKEY(), 0x80000001u);
    saver.setRegistryRoot("HKEY_NOWHERE");
    saver.setRegistryRootHKEY(0x80000007);
    EXPECT_EQ(f.dialogs.messages, (QStringList{"Invalid registry key.", "Unknown registry key."}))
        << "at every message level";
    EXPECT_EQ(saver.RegistryRoot(), "HKEY_CURRENT_USER");
    saver.setRegistryRootHKEY(0x80000006);
    EXPECT_EQ(saver.RegistryRoot(), "HKEY_DYN_DATA");
}

TEST(StateSaver, PopupMenuItemsAreKeptAndABadOneEndsTheLoad)
{
    WindowFixture f;
    TForm1 &w = f.create();
    auto saver = saverFor(f, true);
    ASSERT_TRUE(saver->SaveComponentState(w.PopupMenuAdd, "M.", ""));
    QByteArrayList names = Store(f).names();
    ASSERT_EQ(names.size(), 5 * 4) << "items and separators, four values each";
    EXPECT_EQ(names.mid(8, 4),
              (QByteArrayList{"M.PopupMenuAdd.Item[2].Caption", "M.PopupMenuAdd.Item[2].Enabled",
                              "M.PopupMenuAdd.Item[2].Visible", "M.PopupMenuAdd.Item[2].Checked"}));
    {
        Store s(f);
        s.key()->writeBoolean("M.Form1.PopupMenuAdd.Item[0].Enabled", false);
        s.key()->writeString("M.Form1.PopupMenuAdd.Item[2].Visible", "yes");
        s.key()->writeInteger("M.Form1.Panel1.TOP", 40);
        ASSERT_TRUE(s.store.save());
    }
    QString error;
    EXPECT_FALSE(saver->LoadComponentState(&w, "M.", "", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(w.N9->isEnabled()) << "read before the bad value";
    EXPECT_NE(w.Panel1->y(), 40) << "Panel1 comes after the pop-up menu: not reached";
}

TEST_F(Prefs, MenuSettingsAreWrittenAndTakeEffectAtOnce)
{
    TForm1 &w = f.start();
    struct Case
    {
        QAction *item;
        const char *key;
        const char *value;
        int level, duplication;
    };
    const Case cases[] = {
        {w.N25, "Warning", "0", 0, 0}, {w.N26, "Warning", "2", 2, 0}, {w.N30, "Double", "1", 2, 1},
        {w.N24, "Warning", "1", 1, 1}, {w.N31, "Double", "0", 1, 0},
    };
    for (const Case &c : cases) {
        c.item->trigger();
        EXPECT_TRUE(c.item->isChecked()) << c.key << c.value;
        EXPECT_EQ(setting(c.key), c.value);
        EXPECT_EQ(w.settings().messageLevel, c.level) << c.key << c.value;
        EXPECT_EQ(w.settings().duplication, c.duplication) << c.key << c.value;
        f.dialogs.messages.clear();
        w.showMessage(MessageKind::Information, "info");
        w.showMessage(MessageKind::Error, "error");
        EXPECT_EQ(f.dialogs.messages.size(), c.level == 1 ? 2 : c.level == 0 ? 1 : 0);
    }
}

TEST_F(Prefs, DuplicationFolderIsWrittenWithoutSwitchingDuplicationOn)
{
    TForm1 &w = f.start();
    f.dialogs.messages.clear();
    w.N32->trigger(); // cancelled
    EXPECT_EQ(setting("Double_Path"), "absent");
    const QString folder = f.dir.path("копия");
    f.dialogs.folders.enqueue(folder);
    w.N32->trigger();
    EXPECT_EQ(f.dialogs.folderTitles.last(), "Пожалуйста, выберите папку для Дублирования");
    EXPECT_EQ(f.dialogs.messages, QStringList{"Папка для дублирования: " + folder + "/"});
    EXPECT_EQ(setting("Double_Path"), cp(folder + "/"));
    EXPECT_EQ(w.settings().duplicationFolder, cp(folder + "/"));
    EXPECT_EQ(setting("Double"), "absent");

    w.N25->trigger(); // errors only: the information is not shown
    f.dialogs.messages.clear();
    f.dialogs.folders.enqueue(f.dir.path());
    w.N32->trigger();
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_EQ(setting("Double_Path"), cp(f.dir.path() + "/"));
}

TEST_F(Prefs, AFailedSettingsWriteIsShownAndChangesNothing)
{
    TForm1 &w = f.start();
    f.dialogs.messages.clear();
    QFile::setPermissions(f.settingPath("Setting.ini"), QFile::ReadOwner);
    w.N26->trigger();
    w.N30->trigger();
    f.dialogs.folders.enqueue(f.dir.path());
    w.N32->trigger();
    QFile::setPermissions(f.settingPath("Setting.ini"), QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(f.dialogs.messages.size(), 3) << "each failure said, none announced as done";
    EXPECT_TRUE(f.dialogs.messages[0].contains("Setting.ini"));
    EXPECT_TRUE(w.N24->isChecked()) << "the check mark shows the level in effect";
    EXPECT_TRUE(w.N31->isChecked());
    EXPECT_EQ(w.settings().messageLevel, 1);
    EXPECT_EQ(w.settings().duplicationFolder, "");
    EXPECT_EQ(setting("Warning"), "absent");
}

TEST_F(Prefs, RegistryClearingIsAskedOnceAndUndoneByASecondChoice)
{
    for (const char *level : {"1", "0", "2"}) {
        WindowFixture g;
        g.writeSettings(QString("Warning=") + level + "\n");
        g.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=0\n");
        TForm1 &w = g.start();
        g.dialogs.messages.clear();
        w.N14->trigger();
        EXPECT_TRUE(w.N14->isChecked());
        EXPECT_EQ(g.dialogs.messages.size(), QByteArray(level) == "2" ? 0 : 1) << level;
        w.N14->trigger();
        EXPECT_FALSE(w.N14->isChecked());
        EXPECT_EQ(g.dialogs.messages.size(), QByteArray(level) == "2" ? 0 : 1) << level;
    }
}

TEST_F(Prefs, AChosenColourComesBackAtTheNextStartUntilTheRegistryIsCleared)
{
    TForm1 &first = f.start();
    f.dialogs.colors.enqueue(QColor(10, 20, 30));
    first.N7->trigger();
    EXPECT_EQ(colourOf(&first), QColor(10, 20, 30));
    EXPECT_EQ(colourOf(first.PageControl1), QColor(10, 20, 30)) << "follows the window";
    EXPECT_EQ(colourOf(first.Panel1), QColor(0xC0, 0xC0, 0xC0)) << "keeps its own";
    first.N7->trigger(); // cancelled: nothing changes
    EXPECT_EQ(colourOf(&first), QColor(10, 20, 30));
    first.Panel1->move(5, 66);

    TForm1 &second = restart();
    {
        Store s(f);
        qint32 value = 0;
        ASSERT_NE(s.key(), nullptr);
        EXPECT_TRUE(s.key()->readInteger(cp("Главное окно_Form1.PageControl1.Color"), &value));
        EXPECT_EQ(value, 0x001E140A);
        EXPECT_EQ(s.names().size(), 1) << "the colour only, no positions";
    }
    EXPECT_EQ(colourOf(&second), SkyBlue) << "the window's own colour is never kept";
    EXPECT_EQ(colourOf(second.PageControl1), QColor(10, 20, 30));
    auto *page = second.PageControl1->widget(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(colourOf(page), QColor(10, 20, 30)) << "its pages follow it";

    // A colour chosen in a run that started with a saved one is the one kept.
    f.dialogs.colors.enqueue(QColor(200, 100, 50));
    second.N7->trigger();
    EXPECT_EQ(colourOf(second.PageControl1), QColor(200, 100, 50));
    TForm1 &third = restart();
    EXPECT_EQ(colourOf(third.PageControl1), QColor(200, 100, 50));

    // Clearing: the colour chosen in the same run is lost with the key.
    f.dialogs.colors.enqueue(QColor(1, 2, 3));
    third.N7->trigger();
    third.N14->trigger();
    third.close();
    EXPECT_EQ(f.dialogs.messages.last(), Deleted);
    EXPECT_EQ(Store(f).key(), nullptr);
    EXPECT_TRUE(Store(f).key("SOFTWARE\\Tessaly_and_Quenby")) << "the key above it stays";
    TForm1 &fourth = restart();
    EXPECT_EQ(colourOf(fourth.PageControl1), SkyBlue);
}

TEST_F(Prefs, SavedRowPositionsAreRestoredAtStart)
{
    f.start();
    Store s(f);
    RegistryStore::Key *key = s.store.openKey(ProgramKey, true);
    key->writeInteger(cp("Главное окно_Form1.Name_1_V.TOP"), 120);
    key->writeInteger(cp("Главное окно_Form1.Name_1_V.LEFT"), 240);
    ASSERT_TRUE(s.store.save());
    TForm1 &w = restart();
    auto *caption = qobject_cast<QLabel *>(w.findComponent("Name_1_V"));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->pos(), QPoint(240, 120));
    EXPECT_EQ(qobject_cast<QLabel *>(w.findComponent("Name_0_V"))->pos(), QPoint(8, 8))
        << "no value, no change";
}

TEST_F(Prefs, ClearingAtCloseReportsOnlyWhatHappened)
{
    // No key: nothing to say.
    TForm1 &w = f.start();
    w.N14->trigger();
    f.dialogs.messages.clear();
    w.close();
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(f.dir.path("registry/HKEY_LOCAL_MACHINE")));

    // A store that cannot be written.
    f.window.reset();
    f.start();
    TForm1 &second = restart(); // the close before saved the colour
    second.N14->trigger();
    testsys::setFolderWritable(f.dir.path("registry"), false);
    second.close();
    testsys::setFolderWritable(f.dir.path("registry"), true);
    ASSERT_FALSE(f.dialogs.messages.isEmpty());
    EXPECT_TRUE(f.dialogs.messages.last().startsWith("EXCEPT\n"));
    EXPECT_NE(Store(f).key(), nullptr) << "the key is still there";

    // Saving the colour into a store that cannot be written.
    f.window.reset();
    TForm1 &third = f.start();
    f.dialogs.colors.enqueue(QColor(1, 2, 3));
    third.N7->trigger();
    testsys::setFolderWritable(f.dir.path("registry"), false);
    third.close();
    testsys::setFolderWritable(f.dir.path("registry"), true);
    EXPECT_TRUE(f.dialogs.messages.last().startsWith("EXCEPT\n"));
}

TEST_F(Prefs, AStartThatEndsEarlyKeepsTheSavedState)
{
    f.start();
    f.dialogs.colors.enqueue(QColor(10, 20, 30));
    f.window->N7->trigger();
    f.window->close();
    const QByteArray saved = TempDir::read(f.dir.path("registry/HKEY_LOCAL_MACHINE"));
    ASSERT_FALSE(saved.isEmpty());
    f.writeSetting("Setting.ini", "[Setting]\n"); // the next start asks for the folder: cancelled
    f.window.reset();
    TForm1 &w = f.start();
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(TempDir::read(f.dir.path("registry/HKEY_LOCAL_MACHINE")), saved);
}

TEST_F(Prefs, ADamagedStoreIsReadAsEmptyAndKeptAsideAtClose)
{
    const QString path = f.dir.write("registry/HKEY_LOCAL_MACHINE", "\x01\x02 not a store");
    TForm1 &w = f.start();
    EXPECT_TRUE(w.isReady());
    EXPECT_EQ(colourOf(w.PageControl1), SkyBlue);
    f.dialogs.messages.clear();
    w.close();
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_EQ(TempDir::read(path + ".damaged"), "\x01\x02 not a store");
    EXPECT_NE(Store(f).key(), nullptr);
}
