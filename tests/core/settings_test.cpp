#include <gtest/gtest.h>

#include "profile/ProfileFile.h"
#include "settings/MessageLevel.h"
#include "settings/ProgramSettings.h"
#include "support/TempDir.h"
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
        "[Коэффициенты]\r\nTopAdd=45\r\nLeftAdd=148\r\nMemoWidth=100\r\n"));
    EXPECT_EQ(TempDir::read(dir.path("Setting.ini")), expected);

    const ProgramSettings s = readSettings(file);
    EXPECT_TRUE(s.versionMatches());
    EXPECT_EQ(s.messageLevel, 1);
    EXPECT_EQ(s.columnLimit, 350);
    EXPECT_FALSE(s.duplicationOn());
    EXPECT_TRUE(s.duplicationFolder.isEmpty());
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
