#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "profile/ProfileFile.h"
#include "settings/MessageLevel.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

TEST(Settings, FirstStartFileListsGamedataPathThenEveryDefaultInOrder)
{
    TempDir dir;
    ProfileFile file(dir.bytePath("Setting.ini"));
    ASSERT_TRUE(file.writeString("Setting", "Gamedata_Path", "/games/gamedata/"));
    ASSERT_TRUE(writeDefaultSettings(file));

    const QByteArray expected = cp1251::encode(QStringLiteral(
        "[Setting]\r\nGamedata_Path=/games/gamedata/\r\nВерсия=0.6\r\nForm_Width=800\r\n"
        "Form_Height=600\r\nWarning=1\r\nTableMode=0\r\nDouble=0\r\nDouble_Path=\r\n"
        "Inheritance=1\r\n[Коэффициенты]\r\nTopAdd=45\r\nLeftAdd=148\r\nMemoWidth=100\r\n"));
    EXPECT_EQ(TempDir::read(dir.path("Setting.ini")), expected);

    const ProgramSettings s = readSettings(file);
    EXPECT_TRUE(s.versionMatches());
    EXPECT_EQ(s.messageLevel, 1);
    EXPECT_EQ(s.columnLimit, 350);
    EXPECT_FALSE(s.duplicationOn());
    EXPECT_TRUE(s.duplicationFolder.isEmpty());
    EXPECT_TRUE(s.inheritanceOn());
}

TEST(Settings, MissingFileAndGarbageValuesReadAsDefaults)
{
    TempDir dir;
    const ProgramSettings missing = readSettings(ProfileFile(dir.bytePath("none.ini")));
    EXPECT_FALSE(missing.versionMatches());
    EXPECT_EQ(missing.formWidth, 800);
    EXPECT_EQ(missing.formHeight, 600);
    EXPECT_EQ(missing.topAdd, 45);
    EXPECT_EQ(missing.leftAdd, 148);
    EXPECT_EQ(missing.memoWidth, 100);
    EXPECT_TRUE(missing.inheritanceOn()) << "on unless switched off";

    dir.write("Setting.ini",
              cp1251::encode(QStringLiteral(
                  "[Setting]\r\nВерсия=0.60\r\nForm_Height=300\r\nWarning=x2\r\n"
                  "TableMode=1\r\nDouble=\r\nDouble_Path=/dup/\r\n"
                  "[коэффициенты]\r\nTopAdd=abc\r\nLeftAdd=0x10\r\nMemoWidth=-5\r\n")));
    const ProgramSettings s = readSettings(ProfileFile(dir.bytePath("Setting.ini")));
    EXPECT_FALSE(s.versionMatches()) << "the version is compared byte for byte";
    EXPECT_EQ(s.formHeight, 300);
    EXPECT_EQ(s.columnLimit, 50);
    EXPECT_EQ(s.messageLevel, 1);
    EXPECT_EQ(s.tableMode, 1);
    EXPECT_EQ(s.duplication, 0);
    EXPECT_EQ(s.duplicationFolder, "/dup/");
    EXPECT_EQ(s.topAdd, 45);
    EXPECT_EQ(s.leftAdd, 16);
    EXPECT_EQ(s.memoWidth, -5);
}

TEST(Settings, MessageLevelRule)
{
    for (int level : {-1, 0, 1, 2, 3}) {
        EXPECT_EQ(messageShown(MessageKind::Information, level), level == 1) << level;
        EXPECT_EQ(messageShown(MessageKind::Error, level), level == 0 || level == 1) << level;
        EXPECT_TRUE(messageShown(MessageKind::Always, level)) << level;
    }
}

TEST(SettingsLocation, TheProgramFolderUnlessItCannotBeWrittenThenAUserCopy)
{
    struct Case
    {
        const char *name;
        bool programSetting;   // the program has a "Setting" folder
        bool writable;         // Setting.ini may be written there
        bool userCopyBefore;   // an earlier start made the user's copy
        bool userFolderIsFile; // the copy cannot be made
        bool perUser;
        bool problem;
    };
    const Case cases[] = {
        {"portable copy", true, true, false, false, false, false},
        {"no Setting folder", false, false, false, false, false, false},
        {"first start read-only", true, false, false, false, true, false},
        {"later start read-only", true, false, true, false, true, false},
        {"copy impossible", true, false, false, true, false, true},
    };
    for (const Case &c : cases) {
        TempDir dir;
        if (c.programSetting) {
            dir.write("program/Setting/Pages.ini", "[Global Pages]\r\n");
            dir.write("program/Setting/Images/pm.jpg", "\xFF\xD8 picture");
        } else {
            QDir().mkpath(dir.path("program"));
        }
        if (c.userCopyBefore)
            dir.write("user/Setting/Pages.ini", "edited by the user");
        if (c.userFolderIsFile)
            dir.write("user", "a file");
        QStringList asked;
        const SettingsLocation where =
            locateSettings(dir.path("program"), dir.path("user"), [&](const QString &folder) {
                asked << folder;
                return c.writable;
            });
        EXPECT_EQ(where.perUser, c.perUser) << c.name;
        EXPECT_EQ(where.folder, dir.path(c.perUser ? "user/" : "program/")) << c.name;
        EXPECT_EQ(where.problem.isEmpty(), !c.problem) << c.name;
        if (c.programSetting) {
            EXPECT_EQ(asked, QStringList{dir.path("program/Setting")}) << c.name;
        }
        if (c.perUser && !c.userCopyBefore) {
            EXPECT_EQ(TempDir::read(dir.path("user/Setting/Pages.ini")), "[Global Pages]\r\n");
            EXPECT_EQ(TempDir::read(dir.path("user/Setting/Images/pm.jpg")), "\xFF\xD8 picture");
            EXPECT_EQ(QDir(dir.path("user")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      QStringList{"Setting"})
                << "no partial copy left";
        }
        if (c.userCopyBefore) {
            EXPECT_EQ(TempDir::read(dir.path("user/Setting/Pages.ini")), "edited by the user")
                << "an earlier copy is never replaced";
        }
        if (!c.perUser) {
            EXPECT_FALSE(QFileInfo::exists(dir.path("user/Setting"))) << c.name;
        }
    }
}

TEST(SettingsLocation, WritableMeansSettingIniCanBeSavedThereRootIncluded)
{
    TempDir dir;
    QDir().mkpath(dir.path("Setting"));
    EXPECT_TRUE(settingFolderWritable(dir.path("Setting")));
    dir.write("Setting/Setting.ini", "[Setting]\r\n");
    QFile::setPermissions(dir.path("Setting/Setting.ini"), QFile::ReadOwner);
    EXPECT_FALSE(settingFolderWritable(dir.path("Setting"))) << "a read-only settings file";
    QFile::remove(dir.path("Setting/Setting.ini"));
    testsys::setFolderWritable(dir.path("Setting"), false);
    EXPECT_FALSE(settingFolderWritable(dir.path("Setting"))) << "a read-only folder";
    testsys::setFolderWritable(dir.path("Setting"), true);
    EXPECT_FALSE(settingFolderWritable(dir.path("missing")));
}

TEST(SettingsFile, WritesChangeTheFileAndOnlySettingsThatTakeEffectAtOnceChangeTheRun)
{
    TempDir dir;
    SettingsFile file;
    QString error;
    EXPECT_FALSE(file.write(settingkeys::Warning, "2", &error)) << "nothing open";
    EXPECT_EQ(file.run().messageLevel, 1) << "every message shows before the file is read";
    file.open(dir.bytePath("Setting.ini"));
    EXPECT_EQ(file.gamedataPath(), settingkeys::AbsentGamedataPath);
    ASSERT_TRUE(file.writeFirstStart("/games/gamedata/", &error)) << error.toStdString();
    file.read();
    struct Case
    {
        const char *key;
        QByteArray value;
        bool atOnce;
    };
    for (const Case &c :
         {Case{settingkeys::Warning, "0", true}, Case{settingkeys::Double, "1", true},
          Case{settingkeys::DoublePath, "/dup/", true}, Case{settingkeys::TableMode, "1", false},
          Case{settingkeys::Inheritance, "0", true}}) {
        ASSERT_TRUE(file.write(c.key, c.value, &error)) << c.key;
        EXPECT_EQ(SettingsFile::takesEffectAtOnce(c.key), c.atOnce) << c.key;
    }
    EXPECT_EQ(file.run().messageLevel, 0);
    EXPECT_TRUE(file.run().duplicationOn());
    EXPECT_EQ(file.run().duplicationFolder, "/dup/");
    EXPECT_FALSE(file.run().inheritanceOn());
    EXPECT_EQ(file.run().tableMode, 0) << "at the next start";
    EXPECT_EQ(file.stored().tableMode, 1);
    ASSERT_TRUE(file.writeWindowSize(QSize(700, 500), &error));
    EXPECT_EQ(file.windowSize(), QSize(700, 500));
    EXPECT_EQ(file.run().columnLimit, 350) << "fixed for the run";
}
