// The core session that the window and the command line both open: where the settings live,
// the history beside them, and writes that are recorded and announced.

#include <gtest/gtest.h>

#include <QFileInfo>

#include "history/ApplyHistory.h"
#include "session/Session.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

TEST(SessionLocation, TheSettingsFolderFollowsOneRuleForEveryCaller)
{
    struct Case
    {
        const char *name;
        bool programWritable;
        const char *given;      // --settings, or null
        bool located;           // false: refused
        const char *settingsIn; // folder expected to hold Setting.ini
    };
    const Case cases[] = {
        {"portable: beside the program", true, nullptr, true, "program/Setting/"},
        {"installed: the user's copy, made once", false, nullptr, true, "user/Setting/"},
        {"given and there", true, "other", true, "other/"},
        {"given and missing: refused, nothing made", true, "nowhere", false, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("program/Setting/Setting.ini", "[Setting]\r\nDouble=0\r\n");
        dir.write("program/Setting/Pages.ini", "[Global Pages]\r\nKol-vo=0\r\n");
        dir.write("other/Setting.ini", "[Setting]\r\n");
        Session::Options options;
        options.programFolder = dir.path("program");
        options.userFolder = dir.path("user");
        options.writable = [&](const QString &folder) {
            return c.programWritable || !folder.startsWith(dir.path("program"));
        };
        if (c.given)
            options.settingsFolder = dir.path(c.given);
        Session session(options);
        QString problem;
        EXPECT_EQ(session.locate(&problem), c.located) << problem.toStdString();
        if (!c.located) {
            EXPECT_TRUE(problem.contains(dir.path(c.given)));
            EXPECT_FALSE(QFileInfo::exists(dir.path(c.given)));
            continue;
        }
        EXPECT_EQ(session.settingsFolder(), dir.path(c.settingsIn));
        EXPECT_EQ(session.history().path(), dir.path(c.settingsIn) + "History.log");
        if (c.given)
            continue;
        // The catalogue is read from the folder holding Setting/, copied along.
        EXPECT_TRUE(QFileInfo::exists(session.settingsFolder() + "Pages.ini"));
        EXPECT_EQ(cp1251::toUnicode(session.programFolder()) + "Setting/",
                  session.settingsFolder());
    }
}

TEST(SessionWrites, AWriteIsRecordedAndAnnouncedOnce)
{
    TempDir dir;
    dir.write("gamedata/config/a.ltx", "#include \"b.ltx\"\r\n[own]\r\nk = 1\r\n");
    dir.write("gamedata/config/b.ltx", "[far]\r\nk = 2 ; note\r\n");
    dir.write("Setting/Setting.ini", "[Setting]\r\n");
    Session::Options options;
    options.settingsFolder = dir.path("Setting");
    Session session(options);
    ASSERT_TRUE(session.locate(nullptr));
    session.openSettings();
    session.setGamedataFolder(dir.bytePath("gamedata") + '/');
    QList<QByteArrayList> written;
    QObject::connect(&session, &Session::filesWritten,
                     [&](const QByteArrayList &files) { written.append(files); });

    // [far] stands in the included file: the write goes there, the comment stays.
    ASSERT_TRUE(session.applyValue("config\\a.ltx", "far", "k", " 3 ; note"));
    EXPECT_EQ(TempDir::read(dir.path("gamedata/config/b.ltx")), "[far]\r\nk= 3 ; note\r\n");
    ASSERT_EQ(written.count(), 1);
    EXPECT_EQ(written.at(0), QByteArrayList{"config/b.ltx"});
    const QList<HistoryRecord> records = session.history().read().records;
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].change.file, "config/b.ltx");

    // The same value again changes nothing: no record, no announcement.
    ASSERT_TRUE(session.applyValue("config\\a.ltx", "far", "k", " 3 ; note"));
    EXPECT_EQ(written.count(), 1);
    EXPECT_EQ(session.history().read().records.size(), 1);
}
