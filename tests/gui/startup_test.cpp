#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "profile/ProfileFile.h"
#include "support/TestSystem.h"
#include "support/WindowFixture.h"

namespace {

const QString FirstStart = QStringLiteral("Для начала вы должны указать папку с редактируемыми "
                                          "файлами.");
const QString NoSettings = QStringLiteral("Ошибка! Не найден файл настроек.");
const QString Loaded = QStringLiteral("Данные загружены. Можете начинать редактирование.");
const QString VersionWarning =
    QStringLiteral("ВНИМАНИЕ! Возможно у вас не совместимая версия файла настроек.");

QByteArray settingValue(const WindowFixture &f, const char *key, const QByteArray &def = "absent")
{
    return ProfileFile(cp1251::encode(f.settingPath("Setting.ini")))
        .readString("Setting", key, def);
}

class Startup : public ::testing::Test
{
protected:
    WindowFixture f;
    void SetUp() override
    {
        QDir().mkpath(f.programFolder() + "/Setting");
        QDir().mkpath(f.gameFolder());
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=0\n");
    }
};

} // namespace

TEST_F(Startup, FirstStartAsksForTheFolderAndWritesTheSettingsFile)
{
    f.dialogs.folders.enqueue(f.gameFolder());
    TForm1 &w = f.start();

    ASSERT_EQ(f.dialogs.folderTitles, QStringList{"Пожалуйста, выберите папку gamedata"});
    const QString folder = f.gameFolder() + "/";
    EXPECT_EQ(f.dialogs.messages,
              (QStringList{FirstStart, "Папка с файлами: " + folder,
                           "Редактируемая папка: " + folder +
                               " Сейчас будут загружены настройки. Это займет некоторое время. "
                               "Пожалуйста, дождитесь окончания загрузки.",
                           Loaded}));
    EXPECT_EQ(w.gamedataFolder(), cp1251::encode(folder));
    EXPECT_EQ(settingValue(f, "Gamedata_Path"), cp1251::encode(folder));
    EXPECT_EQ(settingValue(f, "Double_Path", "absent"), "") << "present with an empty value";

    // The ready state.
    EXPECT_TRUE(w.isReady());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.PageControl1->isEnabled());
    EXPECT_EQ(w.Panel1->text(), "Можете редактировать файлы!");
    EXPECT_EQ(w.Panel1->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(w.TMP->toPlainText(), "Выберите параметр!");
    EXPECT_TRUE(w.Form5.isNull()) << "the loading window is gone";
    EXPECT_EQ(w.N24->isChecked(), true);
    EXPECT_EQ(w.N28->isChecked(), true);
    EXPECT_EQ(w.N31->isChecked(), true);
    EXPECT_EQ(w.exitCode(), 0);
    EXPECT_EQ(w.settingsFolder(), f.programFolder() + "/Setting/");
    EXPECT_FALSE(QFileInfo::exists(f.dir.path("user"))) << "a writable program folder is used";
}

TEST_F(Startup, FirstStartCancelledEndsWithoutRememberingAFolder)
{
    TForm1 &w = f.start();
    EXPECT_EQ(f.dialogs.messages, QStringList{FirstStart});
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(settingValue(f, "Gamedata_Path"), "absent");
    EXPECT_EQ(w.exitCode(), 1);
}

TEST_F(Startup, SettingsFileThatCannotBeWrittenEndsTheProgram)
{
    QDir(f.programFolder() + "/Setting").removeRecursively();
    f.dialogs.folders.enqueue(f.gameFolder());
    TForm1 &w = f.start();
    ASSERT_EQ(f.dialogs.messages.size(), 3);
    EXPECT_EQ(f.dialogs.messages.mid(0, 2),
              (QStringList{FirstStart, "Папка с файлами: " + f.gameFolder() + "/"}));
    EXPECT_TRUE(f.dialogs.messages[2].startsWith(NoSettings + "\n")) << "the file and the reason";
    EXPECT_TRUE(f.dialogs.messages[2].contains(f.settingPath("Setting.ini")));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFile::exists(f.settingPath("Setting.ini")));
    EXPECT_EQ(w.exitCode(), 1) << "a start that cannot go on is a failure";
}

TEST_F(Startup, MessageLevelsGateInformationAndErrors)
{
    struct Case
    {
        const char *warning;
        int expectedMessages;
    };
    for (const Case &c : {Case{"1", 2}, Case{"0", 0}, Case{"2", 0}, Case{"3", 0}}) {
        WindowFixture g;
        QDir().mkpath(g.gameFolder());
        g.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=0\n");
        g.writeSettings(QString("Warning=") + c.warning + "\n");
        TForm1 &w = g.start();
        EXPECT_EQ(g.dialogs.messages.size(), c.expectedMessages) << c.warning;
        EXPECT_TRUE(w.isReady());
    }
}

TEST_F(Startup, VersionWarningShowsAtEveryLevelAndMenusFollowTheSettings)
{
    f.writeSetting("Setting.ini", "[Setting]\nGamedata_Path=" + f.gameFolder() +
                                      "/\nWarning=2\nTableMode=1\nDouble=1\n");
    TForm1 &w = f.start();
    EXPECT_EQ(f.dialogs.messages, QStringList{VersionWarning});
    EXPECT_TRUE(w.N26->isChecked());
    EXPECT_TRUE(w.N27->isChecked());
    EXPECT_TRUE(w.N30->isChecked());
    EXPECT_EQ(w.settings().tableMode, 1);
}

TEST_F(Startup, WindowSizeComesFromTheSettingsAndColumnLimitStaysAsRead)
{
    f.writeSettings("Form_Height=800\nForm_Width=700\n");
    TForm1 &w = f.start();
    EXPECT_EQ(w.frameGeometry().height(), 800);
    EXPECT_EQ(w.frameGeometry().width(), 700);
    w.resize(640, 480);
    EXPECT_EQ(w.settings().columnLimit, 550);
    EXPECT_EQ(w.PageControl1->width(), w.frameGeometry().width() - 6);
    EXPECT_EQ(w.PageControl1->height(), w.frameGeometry().height() - 140);
}

TEST_F(Startup, CloseWritesTheWindowSizeUnlessTheRegistryIsCleared)
{
    f.writeSettings();
    TForm1 &w = f.start();
    w.resize(900, 700);
    const QSize whole = w.frameGeometry().size(); // the whole window, frame included
    w.close();
    EXPECT_EQ(settingValue(f, "Form_Width"), QByteArray::number(whole.width()));
    EXPECT_EQ(settingValue(f, "Form_Height"), QByteArray::number(whole.height()));

    WindowFixture g;
    QDir().mkpath(g.gameFolder());
    g.writeSettings();
    TForm1 &v = g.start();
    v.N14->setChecked(true);
    v.resize(900, 700);
    v.close();
    EXPECT_EQ(settingValue(g, "Form_Width"), "absent");
}

TEST_F(Startup, ChoosingAnotherGamedataFolderSavesItAndCloses)
{
    f.writeSettings();
    TForm1 &w = f.start();
    f.dialogs.messages.clear();

    w.N6->trigger(); // cancelled: nothing happens
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(f.dialogs.messages.isEmpty());

    const QString other = f.dir.path("other");
    QDir().mkpath(other);
    f.dialogs.folders.enqueue(other);
    w.N6->trigger();
    EXPECT_EQ(f.dialogs.messages,
              (QStringList{"Папка с файлами: " + other + "/",
                           "Чтобы изменения вступили в силу нужно перезапустить программу! Я "
                           "закрываюсь."}));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(settingValue(f, "Gamedata_Path"), cp1251::encode(other + "/"));
}

TEST_F(Startup, ChoosingAnotherFolderAtLevelTwoShowsNothingButStillCloses)
{
    f.writeSettings("Warning=2\n");
    TForm1 &w = f.start();
    f.dialogs.folders.enqueue(f.dir.path());
    w.N6->trigger();
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Startup, MainMenuHasEveryItemWithItsShortcut)
{
    TForm1 &w = f.create();
    struct Item
    {
        const char *name;
        const char *caption;
        const char *shortcut;
    };
    const Item items[] = {
        {"N6", "&Указать папку gamedata", "Ctrl+O"},
        {"N4", "&Выход", "Ctrl+Q"},
        {"N21", "В форме &таблицы", "F5"},
        {"N7", "&Цвет окна", "F2"},
        {"N14", "Очистить &реестр от параметров программы", ""},
        {"N18", "Включить\\отключить в&кладки", "F3"},
        {"N19", "&Заменять запятые точками", "F4"},
        {"N24", "Выводить &все сообщения", ""},
        {"N27", "&Включить при следующей загрузке", ""},
        {"N32", "Выбрать &папку", ""},
        {"N8", "&Помощь", "F1"},
        {"NUndoLast", "&Отменить последнюю запись", "Ctrl+Z"},
        {"NRedo", "&Вернуть отменённую запись", "Ctrl+Y"},
        {"N9", "&Свойства", "Alt+Backspace"},
        {"N11", "&Добавить", "Ctrl+Ins"},
        {"N13", "&Удалить", "Ctrl+Del"},
    };
    for (const Item &item : items) {
        auto *a = qobject_cast<QAction *>(w.findComponent(item.name));
        ASSERT_NE(a, nullptr) << item.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(item.caption)) << item.name;
        EXPECT_EQ(a->shortcut().toString(), item.shortcut) << item.name;
    }
    EXPECT_FALSE(w.N14->isChecked());
    EXPECT_FALSE(w.N19->isChecked());
    // Radio items: checking one clears the others of its submenu.
    w.N25->setChecked(true);
    EXPECT_FALSE(w.N24->isChecked());
}

TEST_F(Startup, AGamedataFolderThatHasGoneIsOfferedForChoosing)
{
    struct Case
    {
        const char *name;
        bool choose;
    };
    for (const Case c : {Case{"chosen", true}, Case{"cancelled", false}}) {
        WindowFixture g;
        QDir().mkpath(g.programFolder() + "/Setting");
        g.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=0\n");
        g.writeSetting("Setting.ini", QStringLiteral("[Setting]\nGamedata_Path=") +
                                          g.dir.path("gone") + "/\nВерсия=0.6\nWarning=2\n");
        const QString other = g.dir.path("other");
        QDir().mkpath(other);
        if (c.choose)
            g.dialogs.folders.enqueue(other);
        TForm1 &w = g.start();
        ASSERT_FALSE(g.dialogs.messages.isEmpty()) << c.name << ": said at every message level";
        EXPECT_TRUE(g.dialogs.messages[0].contains(g.dir.path("gone"))) << c.name;
        EXPECT_EQ(g.dialogs.folderTitles.size(), 1) << c.name;
        const QString expected = (c.choose ? other : g.dir.path("gone")) + "/";
        EXPECT_EQ(w.gamedataFolder(), cp1251::encode(expected)) << c.name;
        EXPECT_EQ(settingValue(g, "Gamedata_Path"), cp1251::encode(expected)) << c.name;
        EXPECT_TRUE(w.isReady()) << c.name;
        EXPECT_EQ(w.Panel1->text().startsWith("Папка gamedata не найдена"), !c.choose)
            << c.name << ": " << w.Panel1->text();
    }
}

// A gamedata folder the program cannot write is said at once, before any edit. The example
// beside the program (installed in a system folder) is offered as a copy in the user's data
// folder, which the program then uses; another folder, or read-only game files, are named.
TEST_F(Startup, AReadOnlyGamedataFolderIsSaidAtOnceAndTheExampleIsOfferedAsACopy)
{
    struct Case
    {
        const char *name;
        bool example;    // the folder beside the program
        bool fileOnly;   // the folder may be written, the row's file not
        int answer;      // to the offer of a copy
        bool copyBefore; // a copy made at an earlier start, edited since
        bool usesCopy;
    };
    const Case cases[] = {
        {"example, copied", true, false, 0, false, true},
        {"example, kept", true, false, 1, false, false},
        {"example, earlier copy", true, false, 0, true, true},
        {"another folder", false, false, -1, false, false},
        {"a read-only file", false, true, -1, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WindowFixture g;
        g.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=1\n1=Актёр\n1_file=Actor\n"
                                    "1_Enabled=true\n");
        g.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=Основное\n[Основное]\nKol-vo=1\n"
                                    "1_Caption=Высота\n1_File=config\\a.ltx\n1_Section=s\n"
                                    "1_Param=k\n");
        const QString relative = c.example ? "program/example-gamedata" : "gamedata";
        const QString folder = g.dir.path(relative);
        g.dir.write(relative + "/config/a.ltx", "[s]\r\nk = 1\r\n");
        const QString copy = g.dir.path("data/example-gamedata");
        if (c.copyBefore)
            g.dir.write("data/example-gamedata/config/a.ltx", "[s]\r\nk = 7\r\n");
        g.writeSetting("Setting.ini", QStringLiteral("[Setting]\nGamedata_Path=") + folder +
                                          "/\nВерсия=0.6\nWarning=2\n");
        const QString locked = c.fileOnly ? folder + "/config/a.ltx" : folder;
        if (c.fileOnly)
            ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner));
        else
            ASSERT_EQ(testsys::setFolderWritable(locked, false), QString());
        if (c.answer >= 0)
            g.dialogs.answers.enqueue(c.answer);
        TForm1 &w = g.start();

        EXPECT_EQ(g.dialogs.questions.size(), c.example ? 1 : 0);
        const QString said = c.example ? g.dialogs.questions.value(0) : g.dialogs.messages.value(0);
        EXPECT_TRUE(said.contains(c.fileOnly ? "Файлы игры недоступны для записи (1): " + folder +
                                                   "/config/a.ltx"
                                             : "Папка gamedata недоступна для записи: " + folder))
            << said;
        if (c.example)
            EXPECT_TRUE(said.contains(copy)) << said;
        else
            EXPECT_EQ(g.dialogs.messages.size(), 1) << "said at every message level";
        EXPECT_EQ(w.gamedataFolder(), cp1251::encode((c.usesCopy ? copy : folder) + "/"));
        EXPECT_EQ(settingValue(g, "Gamedata_Path"), w.gamedataFolder());
        EXPECT_EQ(w.Panel1->text().contains("только для чтения"), !c.usesCopy) << w.Panel1->text();
        EXPECT_EQ(QFileInfo::exists(copy), c.usesCopy);
        if (c.usesCopy) {
            auto *box = qobject_cast<ValueBox *>(w.findComponent("Name_0"));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), c.copyBefore ? "7" : "1") << "the copy's value";
            box->editor()->setPlainText("5");
            QTest::keyClick(box->editor(), Qt::Key_Return);
            EXPECT_EQ(TempDir::read(copy + "/config/a.ltx"), "[s]\r\nk= 5\r\n");
            EXPECT_EQ(TempDir::read(folder + "/config/a.ltx"), "[s]\r\nk = 1\r\n");
            EXPECT_TRUE(g.dialogs.messages.isEmpty()) << g.dialogs.messages.join('|');
        }
        if (c.fileOnly)
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
        else
            testsys::setFolderWritable(locked, true);
    }
}

TEST_F(Startup, AProgramFolderThatCannotBeWrittenKeepsSettingsAndCatalogueInTheUserFolder)
{
    struct Case
    {
        const char *name;
        bool permissionBits; // the folder's write bits are off, else the check says no
    };
    for (const Case c : {Case{"write check", false}, Case{"permission bits", true}}) {
        WindowFixture g;
        QDir().mkpath(g.gameFolder());
        g.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=0\n");
        g.dir.write("program/Setting/Images/pm.jpg", "picture");
        const QString setting = g.programFolder() + "/Setting";
        const QString userSetting = g.dir.path("user/Setting/");
        for (int run = 0; run < 2; ++run) {
            g.window.reset();
            MainWindowOptions options;
            options.programFolder = g.programFolder();
            options.registryFolder = g.dir.path("registry");
            options.userFolder = g.dir.path("user");
            options.dialogs = &g.dialogs;
            if (!c.permissionBits)
                options.settingFolderWritable = [](const QString &) { return false; };
            else
                testsys::setFolderWritable(setting, false);
            g.window = std::make_unique<TForm1>(options);
            if (run == 0)
                g.dialogs.folders.enqueue(g.gameFolder());
            TForm1 &w = g.start();
            testsys::setFolderWritable(setting, true);
            EXPECT_TRUE(w.isReady()) << c.name << run;
            EXPECT_EQ(w.settingsFolder(), userSetting) << c.name << run;
            EXPECT_EQ(w.programFolder(), cp1251::encode(g.dir.path("user/"))) << c.name << run;
            w.N27->trigger(); // a setting written from the menu
            w.close();
            EXPECT_EQ(w.exitCode(), 0) << c.name << run;
            EXPECT_FALSE(QFile::exists(setting + "/Setting.ini")) << c.name << run;
            const ProfileFile settings(cp1251::encode(userSetting + "Setting.ini"));
            EXPECT_EQ(settings.readString("Setting", "Gamedata_Path", "absent"),
                      cp1251::encode(g.gameFolder() + "/"))
                << c.name << run;
            EXPECT_EQ(settings.readString("Setting", "TableMode", "absent"), "1") << c.name << run;
            EXPECT_EQ(TempDir::read(userSetting + "Images/pm.jpg"), "picture") << c.name << run;
            // The second start finds its settings: no first-start question.
            EXPECT_EQ(g.dialogs.folderTitles.size(), 1) << c.name << run;
            g.dir.write("user/Setting/Pages.ini", "[Global Pages]\r\nKol-vo=0\r\n; kept\r\n");
        }
        EXPECT_TRUE(TempDir::read(userSetting + "Pages.ini").endsWith("; kept\r\n"))
            << c.name << ": the user's copy is never replaced";
    }
}

TEST_F(Startup, ASettingsFolderThatCanBeNeitherWrittenNorCopiedIsExplained)
{
    f.dir.write("user", "a file where the folder should be");
    testsys::setFolderWritable(f.programFolder() + "/Setting", false);
    f.dialogs.folders.enqueue(f.gameFolder());
    TForm1 &w = f.start();
    testsys::setFolderWritable(f.programFolder() + "/Setting", true);
    ASSERT_FALSE(f.dialogs.messages.isEmpty());
    EXPECT_TRUE(f.dialogs.messages[0].contains(f.dir.path("user"))) << "where the copy failed";
    EXPECT_TRUE(f.dialogs.messages.last().startsWith(NoSettings + "\n"));
    EXPECT_EQ(w.settingsFolder(), f.programFolder() + "/Setting/");
    EXPECT_EQ(w.exitCode(), 1);
}
