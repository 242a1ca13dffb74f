#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "profile/ProfileFile.h"
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
}

TEST_F(Startup, FirstStartCancelledEndsWithoutRememberingAFolder)
{
    TForm1 &w = f.start();
    EXPECT_EQ(f.dialogs.messages, QStringList{FirstStart});
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(settingValue(f, "Gamedata_Path"), "absent");
}

TEST_F(Startup, SettingsFileThatCannotBeWrittenEndsTheProgram)
{
    QDir(f.programFolder() + "/Setting").removeRecursively();
    f.dialogs.folders.enqueue(f.gameFolder());
    TForm1 &w = f.start();
    EXPECT_EQ(f.dialogs.messages,
              (QStringList{FirstStart, "Папка с файлами: " + f.gameFolder() + "/", NoSettings}));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFile::exists(f.settingPath("Setting.ini")));
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
        {"N18", "Включить\\отключить вкладки", "F3"},
        {"N19", "&Заменять запятые точками", "F4"},
        {"N24", "Выводить &все сообщения", ""},
        {"N27", "&Включить при следующей загрузке", ""},
        {"N32", "Выбрать &папку", ""},
        {"N8", "&Помощь", "F1"},
        {"N9", "Свойства", "Alt+Backspace"},
        {"N11", "Добавить", "Ctrl+Ins"},
        {"N13", "Удалить", "Ctrl+Del"},
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
