// Trade rows: an unticked presence box deletes the key's line, a ticked one writes it back.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "gamefiles/ParameterWriter.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

QByteArray dataFile(const char *name)
{
    return TempDir::read(QStringLiteral(BRANVIK_TEST_DATA "/writeback/") + QLatin1String(name));
}

} // namespace

TEST(WritebackTrade, DeleteAndAddBackChangeOnlyTheKeysLine)
{
    TempDir dir;
    const QString path = dir.write("gamedata/config/misc/trade.ltx", dataFile("trade.ltx"));
    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});

    ASSERT_TRUE(writer.writeTrade("config\\misc\\trade.ltx", "trader_generic", "wpn_ak74", false,
                                  " 0.5, 0.8"));
    EXPECT_EQ(TempDir::read(path), cp("[trader_generic]\n"
                                      "wpn_pm = 1, 1 ; пистолет\n"
                                      "ammo_9x18_fmj = 1, 1\n"
                                      "\n"
                                      "[trader_special]\n"
                                      "wpn_ak74 = 1, 1\n"));
    // The backup holds the file from before the delete.
    EXPECT_EQ(TempDir::read(path + ".bak"), dataFile("trade.ltx"));

    // Deleting a key that is gone already changes nothing and is no failure.
    const QByteArray afterDelete = TempDir::read(path);
    EXPECT_TRUE(
        writer.writeTrade("config\\misc\\trade.ltx", "trader_generic", "wpn_ak74", false, {}));
    EXPECT_EQ(TempDir::read(path), afterDelete);

    // Ticked again: the key comes back at the end of its section.
    ASSERT_TRUE(writer.writeTrade("config\\misc\\trade.ltx", "trader_generic", "wpn_ak74", true,
                                  " 0.6, 0.9"));
    EXPECT_EQ(TempDir::read(path), cp("[trader_generic]\n"
                                      "wpn_pm = 1, 1 ; пистолет\n"
                                      "ammo_9x18_fmj = 1, 1\n"
                                      "wpn_ak74= 0.6, 0.9\n"
                                      "\n"
                                      "[trader_special]\n"
                                      "wpn_ak74 = 1, 1\n"));
    EXPECT_EQ(TempDir::read(path + ".bak"), dataFile("trade.ltx"));
}

TEST(WritebackTrade, DeleteThatCannotChangeAReadOnlyFileIsReported)
{
    TempDir dir;
    const QString path = dir.write("gamedata/trade.ltx", dataFile("trade.ltx"));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});

    QString error;
    EXPECT_FALSE(writer.writeTrade("trade.ltx", "trader_generic", "wpn_pm", false, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(TempDir::read(path), dataFile("trade.ltx"));

    error.clear();
    EXPECT_FALSE(writer.writeTrade("trade.ltx", "trader_generic", "wpn_pm", true, " 2, 2", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(TempDir::read(path), dataFile("trade.ltx"));
}

TEST(WritebackTrade, DeleteIgnoresTheUnusedValueText)
{
    TempDir dir;
    const QString path = dir.write("gamedata/trade.ltx", "[t]\na = 1\nb = 2\n");
    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});
    // The value box may hold anything while the key is being deleted.
    EXPECT_TRUE(writer.writeTrade("trade.ltx", "t", "a", false, " 1\n2"));
    EXPECT_EQ(TempDir::read(path), QByteArray("[t]\nb = 2\n"));
    EXPECT_FALSE(writer.writeTrade("trade.ltx", "t", "a", true, " 1\n2"));
    EXPECT_EQ(TempDir::read(path), QByteArray("[t]\nb = 2\n"));
}
