// The program run from a shell: each command's output and exit code on a small gamedata folder,
// with no display, through both executables (the window's and the command line's alone).

#include <gtest/gtest.h>

#include <functional>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "support/TempDir.h"
#include "support/TestSystem.h"

namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

class CommandLineRun : public ::testing::TestWithParam<const char *>
{
protected:
    CommandLineRun()
    {
        dir.write("gd/config/creatures/actor.ltx",
                  "#include \"base.ltx\"\r\n[actor]\r\nwalk = 5 ; \xF8\xE0\xE3\r\nrun = 2\r\n"
                  "[hero]:actor\r\n");
        dir.write("gd/config/creatures/base.ltx", "[base]\r\nrun = 3\r\n");
        dir.write("set/Setting.ini", "[Setting]\r\nDouble=0\r\n");
    }

    // Runs the program with the gamedata and settings folders of the test before the arguments.
    Result run(QStringList args, bool withFolders = true) const
    {
        if (withFolders)
            args = QStringList{"--settings", dir.path("set"), "--gamedata", dir.path("gd")} + args;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(QString::fromUtf8(GetParam()), args);
        EXPECT_TRUE(process.waitForFinished(20000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(testsys::consoleText(process.readAllStandardOutput())),
                QString::fromUtf8(testsys::consoleText(process.readAllStandardError()))};
    }
    QByteArray actor() const { return TempDir::read(dir.path("gd/config/creatures/actor.ltx")); }

    TempDir dir;
};

} // namespace

TEST_P(CommandLineRun, EveryCommandGivesItsExitCodeAndOutput)
{
    const QString file = QStringLiteral("config\\creatures\\actor.ltx");
    struct Step
    {
        QStringList args;
        int code;
        const char *out; // part of standard output (UTF-8), or nothing
        const char *err; // part of standard error, or nothing
    };
    const Step steps[] = {
        // What a row shows: the value part; the whole line on request.
        {{"--get", file, "actor", "walk"}, 0, "5\n", nullptr},
        {{"--get", file, "actor", "walk", "--line"}, 0, "walk = 5 ; шаг\n", nullptr},
        {{"--get", file, "actor", "jump"}, 1, nullptr, "Параметр не найден"},
        {{"--get", "../outside.ltx", "a", "k"}, 2, nullptr, "за пределы папки gamedata"},
        // Inherited through the include and the parent, with its origin on standard error.
        {{"--get", file, "hero", "walk"}, 0, "5\n", "унаследовано из [actor]"},
        {{"--get", file, "hero", "walk", "--no-inherit"}, 1, nullptr, "Параметр не найден"},
        {{"--get", file, "base", "run"}, 0, "3\n", nullptr},
        // A set keeps the comment behind the value, as a row's apply does.
        {{"--set", file, "actor", "walk", "-7"}, 0, nullptr, nullptr},
        {{"--get", file, "actor", "walk", "--line"}, 0, "walk= -7 ; шаг\n", nullptr},
        {{"--set", "../outside.ltx", "a", "k", "1"}, 2, nullptr, "за пределы папки gamedata"},
        // A name with a typo makes nothing unasked.
        {{"--set", file, "actr", "walk", "1"}, 1, nullptr, "Раздела [actr] нет"},
        {{"--set", file, "actor", "wlak", "1"}, 1, nullptr, "Ключа wlak нет"},
        {{"--changes"}, 0, "config\\creatures\\actor.ltx [actor] walk: изменён: walk = 5", nullptr},
        {{"--changes", "config\\other.ltx"}, 1, nullptr, "Изменений нет"},
        {{"--make-tweak", "TWEAK"}, 0, nullptr, "Твик сохранён"},
        {{"--make-tweak", "TWEAK"}, 2, nullptr, "--force"},
        {{"--make-tweak", "TWEAK", "--force"}, 0, nullptr, "Твик сохранён"},
        {{"--history"}, 0, "строка  config\\creatures\\actor.ltx [actor] walk: walk = 5", nullptr},
        // Undo steps back, redo goes forward again, and the history says which is undone.
        {{"--undo-last"}, 0, nullptr, "Отменена запись"},
        {{"--history"}, 0, "→ walk= -7 ; шаг  — отменена", nullptr},
        {{"--redo"}, 0, nullptr, "Возвращена запись"},
        {{"--redo"}, 1, nullptr, "Возвращать нечего"},
        {{"--undo-last"}, 0, nullptr, "Отменена запись"},
        {{"--undo-last"}, 1, nullptr, "Отменять нечего"},
        {{"--apply-tweak", "TWEAK", "--dry-run"},
         0,
         "отличается: walk = 5 ; шаг → walk= -7 ; шаг",
         nullptr},
        {{"--apply-tweak", "TWEAK"}, 0, "отличается", "Записано строк: 1, файлов: 1"},
        {{"--apply-tweak", "TWEAK"}, 1, "уже совпадает", "Нечего записывать"},
        {{"--remove-tweak", "TWEAK"}, 0, nullptr, "Твик удалён"},
        {{"--remove-tweak", "TWEAK"}, 1, nullptr, "Этот твик не применён"},
        {{"--remove-tweak", "OTHER"}, 1, nullptr, "Этот твик не применён"},
        {{"--remove-tweak", "MISSING"}, 2, nullptr, "Файл твика не читается"},
        {{"--set", "config\\none.ltx", "s", "k", "1"}, 1, nullptr, "Файла config\\none.ltx нет"},
        {{"--set", "config\\none.ltx", "s", "k", "1", "--create"}, 0, nullptr, nullptr},
        {{"--get", file, "actor"}, 64, nullptr, "три аргумента"},
        {{"--bogus"}, 64, nullptr, "Неизвестный параметр: bogus"},
        {{"--get", file, "actor", "walk", "--changes"}, 64, nullptr, "больше одной команды"},
        {{"--changes", "--line"}, 64, nullptr, "--line относится только к --get"},
        {{}, 64, nullptr, "Не указана команда"},
    };
    dir.write("other.ltx", ";> config\\creatures\\actor.ltx\r\n[actor]\r\nrun = 9\r\n");
    for (const Step &step : steps) {
        QStringList args = step.args;
        args.replaceInStrings("TWEAK", dir.path("tweak.ltx"));
        args.replaceInStrings("OTHER", dir.path("other.ltx"));
        args.replaceInStrings("MISSING", dir.path("missing.ltx"));
        const Result r = run(args);
        const QString what = args.join(' ');
        EXPECT_EQ(r.code, step.code) << qPrintable(what) << "\n" << qPrintable(r.err);
        if (step.out) {
            EXPECT_TRUE(r.out.contains(QString::fromUtf8(step.out))) << qPrintable(what) << "\n"
                                                                     << qPrintable(r.out);
        }
        if (step.err) {
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(step.err))) << qPrintable(what) << "\n"
                                                                     << qPrintable(r.err);
        }
    }
    // After the tweak's removal, the file is as the undo left it: the original.
    EXPECT_EQ(actor(), "#include \"base.ltx\"\r\n[actor]\r\nwalk = 5 ; \xF8\xE0\xE3\r\nrun = 2\r\n"
                       "[hero]:actor\r\n");
}

// A tweak is written whole or not at all, and removed by its content wherever its file lies.
TEST_P(CommandLineRun, ATweakIsWrittenWholeOrNotAtAllAndKnownByItsContent)
{
    const QByteArray base = TempDir::read(dir.path("gd/config/creatures/base.ltx"));
    const QByteArray tweak = ";> config\\creatures\\actor.ltx\r\n[actor]\r\nrun = 4\r\n"
                             ";> config\\creatures\\base.ltx\r\n[base]\r\nrun = 5\r\n"
                             ";> config\\new\\made.ltx\r\n[made]\r\nk = 1\r\n";
    dir.write("tweak.ltx", tweak);
    dir.write("moved/tweak.ltx", "; moved here\n" + QByteArray(tweak).replace("\r\n", "\n"));
    const QString baseFile = dir.path("gd/config/creatures/base.ltx");
    const QFile::Permissions writable = QFileInfo(baseFile).permissions();
    const auto readOnly = [&] { QFile::setPermissions(baseFile, QFile::ReadOwner); };
    const auto makeWritable = [&] { QFile::setPermissions(baseFile, writable); };
    const struct
    {
        std::function<void()> before;
        QStringList args;
        int code;
        const char *out, *err;
    } steps[] = {
        {readOnly,
         {"--apply-tweak", "TWEAK", "--create", "--dry-run"},
         2,
         "только для чтения",
         "нельзя применить: 1"},
        {{}, {"--apply-tweak", "TWEAK", "--create"}, 2, nullptr, "Твик не записан"},
        {makeWritable,
         {"--apply-tweak", "TWEAK", "--dry-run"},
         2,
         "создавать его не разрешено",
         nullptr},
        {{}, {"--apply-tweak", "TWEAK", "--create", "--dry-run"}, 0, "будут созданы", nullptr},
        {{}, {"--apply-tweak", "TWEAK", "--create"}, 0, nullptr, "Записано строк: 3, файлов: 3"},
        {{}, {"--remove-tweak", "MOVED"}, 0, nullptr, "Твик удалён"},
        {{}, {"--remove-tweak", "TWEAK"}, 1, nullptr, "Этот твик не применён"},
    };
    const QByteArray actorBefore = actor();
    for (const auto &step : steps) {
        if (step.before)
            step.before();
        QStringList args = step.args;
        args.replaceInStrings("TWEAK", dir.path("tweak.ltx"));
        args.replaceInStrings("MOVED", dir.path("moved/tweak.ltx"));
        const Result r = run(args);
        const QString what = args.join(' ');
        EXPECT_EQ(r.code, step.code) << qPrintable(what) << "\n" << qPrintable(r.err);
        if (step.out) {
            EXPECT_TRUE(r.out.contains(QString::fromUtf8(step.out))) << qPrintable(what) << "\n"
                                                                     << qPrintable(r.out);
        }
        if (step.err) {
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(step.err))) << qPrintable(what) << "\n"
                                                                     << qPrintable(r.err);
        }
        if (step.code != 0) {
            EXPECT_EQ(actor(), actorBefore) << qPrintable(what);
            EXPECT_EQ(TempDir::read(baseFile), base) << qPrintable(what);
        }
    }
    EXPECT_EQ(actor(), actorBefore);
    EXPECT_EQ(TempDir::read(baseFile), base);
}

TEST_P(CommandLineRun, TheGamedataFolderComesFromTheSettingsFileAndHelpNeedsNone)
{
    dir.write("set/Setting.ini", "[Setting]\r\nGamedata_Path=" + dir.bytePath("gd") + "/\r\n");
    Result r =
        run({"--settings", dir.path("set"), "--get", "config/creatures/actor.ltx", "actor", "run"},
            false);
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out, "2\n");

    dir.write("set/Setting.ini", "[Setting]\r\n");
    r = run({"--settings", dir.path("set"), "--changes"}, false);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Папка gamedata не указана")));

    r = run({"--help"}, false);
    EXPECT_EQ(r.code, 0);
    for (const char *option : {"--gamedata", "--get", "--set", "--apply-tweak", "--dry-run",
                               "--changes", "--version", "Коды выхода"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(option))) << option;
    // A settings folder that is not there is named, and nothing is made there.
    r = run({"--settings", dir.path("nowhere"), "--history"}, false);
    EXPECT_EQ(r.code, 64);
    EXPECT_TRUE(r.err.contains(dir.path("nowhere"))) << qPrintable(r.err);
    EXPECT_FALSE(QFileInfo::exists(dir.path("nowhere")));

    r = run({"--version"}, false);
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("BRANVIK Configurator "));
}

INSTANTIATE_TEST_SUITE_P(Executables, CommandLineRun,
                         ::testing::Values(BRANVIK_PROGRAM, BRANVIK_CLI),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return info.index == 0 ? "Program" : "CommandLineAlone";
                         });

// Without arguments the program opens its window; without a display it says where to turn and
// ends with the wrong-arguments code instead of aborting. A platform that needs no display
// server is no reason to stop (the window tests run on one).
TEST(ProgramWithoutDisplay, SaysSoAndEndsWithCode64)
{
    if (const QString why = testsys::displayAlwaysThere(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (const QStringList &environment :
         {QStringList{}, QStringList{"QT_QPA_PLATFORM=xcb"}, QStringList{"DISPLAY="}}) {
        QProcessEnvironment env; // nothing else: no DISPLAY, no WAYLAND_DISPLAY
        for (const QString &variable : environment)
            env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BRANVIK_PROGRAM), {});
        ASSERT_TRUE(process.waitForFinished(20000)) << environment.join(' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "no abort";
        EXPECT_EQ(process.exitCode(), 64);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("Нет дисплея"))) << err.toStdString();
        EXPECT_TRUE(err.contains("--help")) << err.toStdString();
    }
}

// The command line alone does not start without a command either: it names the missing command.
TEST(CommandLineAlone, WithoutArgumentsSaysThatACommandIsMissing)
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment());
    process.start(QStringLiteral(BRANVIK_CLI), {});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 64);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("Не указана команда"));
}
