// Writes that are refused leave every file as it was, no backup included, and every failure
// says which file and why; a failed duplication is told apart from a failed write.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <functional>
#include <optional>

#include "gamefiles/ParameterWriter.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

namespace {

using Outcome = WriteResult::Outcome;

// Every entry below a folder with its bytes; entries that are no regular file are never read.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo entry(path);
        const bool regular = entry.isFile() && !entry.isSymLink();
        entries.insert(path.mid(folder.size()), regular ? TempDir::read(path) : "(other)");
    }
    return entries;
}

class WritebackRefusal : public ::testing::Test
{
protected:
    WritebackRefusal()
    {
        dir.write("gamedata/actor.ltx", "[actor]\r\nhealth = 1.0 ; full\r\n");
        const QString locked = dir.write("gamedata/locked.ltx", "[actor]\r\nhealth = 1.0\r\n");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QDir().mkpath(dir.path("gamedata/folder.ltx"));
        const auto made = [&](const char *file, const QString &why) {
            if (!why.isEmpty())
                unavailable << file;
        };
        made("pipe.ltx", testsys::makeFifo(dir.path("gamedata/pipe.ltx")));
        dir.write("gamedata/lockeddir/actor.ltx", "[actor]\r\nhealth = 1.0\r\n");
        testsys::setFolderWritable(dir.path("gamedata/lockeddir"), false);
        dir.write("outside.ltx", "[actor]\r\nhealth = 1.0\r\n");
        // Links out of the folder, as an unpacked archive can carry them: a file and a folder.
        dir.write("outdir/actor.ltx", "[actor]\r\nhealth = 1.0\r\n");
        made("linked.ltx",
             testsys::makeSymlink(dir.path("outside.ltx"), dir.path("gamedata/linked.ltx")));
        made("linkeddir\\actor.ltx",
             testsys::makeSymlink(dir.path("outdir"), dir.path("gamedata/linkeddir")));
        QDir().mkpath(dir.path("gamedata/linkeddir2"));
        made("linkeddir2\\rel.ltx",
             testsys::makeSymlink("../../outside.ltx", dir.path("gamedata/linkeddir2/rel.ltx")));
        made("dangling.ltx",
             testsys::makeSymlink(dir.path("gone.ltx"), dir.path("gamedata/dangling.ltx")));
        QDir().mkpath(dir.path("dup"));
        target = WriteTarget{dir.bytePath("gamedata") + '/', true, dir.bytePath("dup") + '/'};
    }
    ~WritebackRefusal() override
    {
        testsys::setFolderWritable(dir.path("gamedata/lockeddir"), true);
        testsys::setFolderWritable(dir.path("dup"), true);
    }

    TempDir dir;
    WriteTarget target;
    // The game files of cases whose entries this system cannot make (FIFOs, links).
    QStringList unavailable;
};

} // namespace

TEST_F(WritebackRefusal, RefusedWritesTouchNothingAndSayWhy)
{
    const QByteArray outside = dir.bytePath("outside.ltx");
    struct Case
    {
        const char *reason;
        QByteArray file, section, key, value;
        std::optional<Outcome> write, remove; // nullopt: the case does not apply
        QStringList says;                     // parts of the error text
    };
    const std::optional<Outcome> refused = Outcome::Refused;
    const std::optional<Outcome> nothingToDo = Outcome::Written;
    const Case cases[] = {
        {"line break in the value",
         "actor.ltx",
         "actor",
         "health",
         " 1\n[x]",
         refused,
         std::nullopt,
         {"actor.ltx", "перевод строки"}},
        {"line break in the key",
         "actor.ltx",
         "actor",
         "hea\r\nlth",
         " 1",
         refused,
         refused,
         {"actor.ltx", "перевод строки"}},
        {"line break in the file",
         "actor.ltx\n",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"actor.ltx", "перевод строки"}},
        {"\"=\" in the key",
         "actor.ltx",
         "actor",
         "a=b",
         " 1",
         refused,
         refused,
         {"actor.ltx", "«=»"}},
        {"\"]\" in the section",
         "actor.ltx",
         "act]or",
         "health",
         " 1",
         refused,
         refused,
         {"actor.ltx", "«]»"}},
        {"key that reads as a comment",
         "actor.ltx",
         "actor",
         ";health",
         " 1",
         refused,
         refused,
         {"actor.ltx", "«;»"}},
        {"empty key", "actor.ltx", "actor", "", " 1", refused, refused, {"actor.ltx", "ключ"}},
        {"blank key", "actor.ltx", "actor", "  ", " 1", refused, refused, {"actor.ltx", "ключ"}},
        {"empty section",
         "actor.ltx",
         "",
         "health",
         " 1",
         refused,
         refused,
         {"actor.ltx", "раздел"}},
        {"empty file", "", "actor", "health", " 1", refused, refused, {"не указан файл"}},
        {"climbing out",
         "..\\outside.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"..\\outside.ltx", "gamedata"}},
        {"absolute path",
         outside,
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"outside.ltx", "gamedata"}},
        {"a link to a file outside",
         "linked.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"linked.ltx", "gamedata"}},
        {"a folder on the way linked outside",
         "linkeddir\\actor.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"linkeddir\\actor.ltx", "gamedata"}},
        {"a relative link climbing out",
         "linkeddir2\\rel.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"rel.ltx", "gamedata"}},
        {"a link to a missing file outside",
         "dangling.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"dangling.ltx", "gamedata"}},
        {"read-only file",
         "locked.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"gamedata/locked.ltx", "только для чтения"}},
        {"missing folder",
         "config\\missing.ltx",
         "actor",
         "health",
         " 1",
         refused,
         nothingToDo,
         {"gamedata/config", "не найдена"}},
        {"a folder",
         "folder.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"gamedata/folder.ltx", "папка"}},
        {"a pipe",
         "pipe.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"gamedata/pipe.ltx", "не обычный файл"}},
        {"file in a read-only folder",
         "lockeddir\\actor.ltx",
         "actor",
         "health",
         " 1",
         refused,
         refused,
         {"lockeddir/actor.ltx", "папка только для чтения"}},
        {"new file in a read-only folder",
         "lockeddir\\new.ltx",
         "actor",
         "health",
         " 1",
         refused,
         nothingToDo,
         {"lockeddir/new.ltx", "папка только для чтения"}},
        {"deleting a key that is not there",
         "actor.ltx",
         "actor",
         "missing",
         " 1",
         std::nullopt,
         nothingToDo,
         {}},
    };

    const QMap<QString, QByteArray> before = snapshot(dir.path());
    ParameterWriter writer(target);
    for (const Case &c : cases) {
        if (unavailable.contains(QString::fromLatin1(c.file)))
            continue;
        struct Call
        {
            const char *kind;
            std::optional<Outcome> expected;
            std::function<WriteResult(QString *)> run;
        };
        const Call calls[] = {
            {"write", c.write,
             [&](QString *e) {
                 return writer.writeParameter(c.file, c.section, c.key, c.value, e);
             }},
            {"trade write", c.write,
             [&](QString *e) {
                 return writer.writeTrade(c.file, c.section, c.key, true, c.value, e);
             }},
            {"delete", c.remove,
             [&](QString *e) {
                 return writer.writeTrade(c.file, c.section, c.key, false, c.value, e);
             }},
        };
        for (const Call &call : calls) {
            if (!call.expected)
                continue;
            const std::string label = std::string(c.reason) + ", " + call.kind;
            QString error;
            const WriteResult result = call.run(&error);
            EXPECT_EQ(result.outcome(), *call.expected) << label;
            EXPECT_EQ(snapshot(dir.path()), before) << label;
            if (*call.expected != Outcome::Refused)
                continue;
            EXPECT_FALSE(result.gameFileWritten()) << label;
            for (const QString &part : c.says)
                EXPECT_TRUE(error.contains(part)) << label << ": " << error.toStdString();
        }
    }
}

TEST_F(WritebackRefusal, NoOrMissingGamedataFolderSaysSo)
{
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    QString error;
    EXPECT_EQ(ParameterWriter(WriteTarget{})
                  .writeParameter("actor.ltx", "actor", "health", " 1", &error)
                  .outcome(),
              Outcome::Refused);
    EXPECT_TRUE(error.contains("gamedata не указана")) << error.toStdString();

    error.clear();
    const WriteTarget gone{dir.bytePath("gone") + '/', false, {}};
    EXPECT_EQ(ParameterWriter(gone)
                  .writeParameter("actor.ltx", "actor", "health", " 1", &error)
                  .outcome(),
              Outcome::Refused);
    EXPECT_TRUE(error.contains(dir.path("gone"))) << error.toStdString();
    EXPECT_TRUE(error.contains("не найдена")) << error.toStdString();
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(WritebackRefusal, FailedDuplicationIsAnAppliedRowThatSaysSo)
{
    const QString prefix = "Значение записано в файл игры, но не продублировано: ";
    const QString table = dir.path("dup/!FileTable!.table");
    struct Case
    {
        const char *reason;
        std::function<void()> prepare;
        QStringList says;
    };
    const Case cases[] = {
        {"no duplication folder",
         [&] { target.duplicationFolder.clear(); },
         {"папка для дублирования не указана"}},
        {"missing duplication folder",
         [&] { target.duplicationFolder = dir.bytePath("missing") + '/'; },
         {dir.path("missing"), "не найдена"}},
        {"read-only duplication folder",
         [&] { testsys::setFolderWritable(dir.path("dup"), false); },
         {dir.path("dup/actor.ltx"), "папка только для чтения"}},
        {"read-only file table",
         [&] {
             dir.write("dup/!FileTable!.table", "[table]\r\n");
             QFile::setPermissions(table, QFile::ReadOwner | QFile::ReadGroup);
         },
         {table, "только для чтения"}},
    };
    int value = 2;
    for (const Case &c : cases) {
        const WriteTarget kept = target;
        c.prepare();
        const QByteArray text = " " + QByteArray::number(value++);
        QString error;
        const WriteResult result =
            ParameterWriter(target).writeParameter("actor.ltx", "actor", "health", text, &error);
        target = kept;
        testsys::setFolderWritable(dir.path("dup"), true);

        EXPECT_EQ(result.outcome(), Outcome::NotDuplicated) << c.reason;
        EXPECT_TRUE(result.gameFileWritten()) << c.reason;
        EXPECT_FALSE(result) << c.reason;
        EXPECT_EQ(TempDir::read(dir.path("gamedata/actor.ltx")),
                  "[actor]\r\nhealth=" + text + "\r\n")
            << c.reason;
        EXPECT_TRUE(error.startsWith(prefix)) << c.reason << ": " << error.toStdString();
        for (const QString &part : c.says)
            EXPECT_TRUE(error.contains(part)) << c.reason << ": " << error.toStdString();
    }

    // Duplicated in full: no error text.
    QFile::setPermissions(table, QFile::ReadOwner | QFile::WriteOwner);
    QString error;
    const WriteResult result =
        ParameterWriter(target).writeParameter("actor.ltx", "actor", "health", " 9", &error);
    EXPECT_EQ(result.outcome(), Outcome::Written);
    EXPECT_TRUE(result);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}
