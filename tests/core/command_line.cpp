// The program run from a shell: each command's output and exit code on a small gamedata folder,
// with no display.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "support/TempDir.h"

namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

class CommandLineRun : public ::testing::Test
{
protected:
    CommandLineRun()
    {
        dir.write("gd/config/creatures/actor.ltx",
                  "[actor]\r\nwalk = 5 ; \xF8\xE0\xE3\r\nrun = 2\r\n");
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
        process.start(QStringLiteral(BRANVIK_PROGRAM), args);
        EXPECT_TRUE(process.waitForFinished(20000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    QByteArray actor() const { return TempDir::read(dir.path("gd/config/creatures/actor.ltx")); }

    TempDir dir;
};

} // namespace

TEST_F(CommandLineRun, EveryCommandGivesItsExitCodeAndOutput)
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
        {{"--get", file, "actor", "walk"}, 0, "5 ; шаг\n", nullptr},
        {{"--get", file, "actor", "jump"}, 1, nullptr, "Параметр не найден"},
        {{"--set", file, "actor", "walk", "-7"}, 0, nullptr, nullptr},
        {{"--get", file, "actor", "walk"}, 0, "-7\n", nullptr},
        {{"--set", "../outside.ltx", "a", "k", "1"}, 2, nullptr, "за пределы папки gamedata"},
        {{"--changes"}, 0, "config\\creatures\\actor.ltx [actor] walk: изменён: walk = 5", nullptr},
        {{"--changes", "config\\other.ltx"}, 1, nullptr, "Изменений нет"},
        {{"--make-tweak", "TWEAK"}, 0, nullptr, "Твик сохранён"},
        {{"--history"}, 0, "row", nullptr},
        {{"--undo-last"}, 0, nullptr, "Отменено записей: 1"},
        {{"--apply-tweak", "TWEAK", "--dry-run"},
         0,
         "отличается: walk = 5 ; шаг → walk= -7",
         nullptr},
        {{"--apply-tweak", "TWEAK"}, 0, "отличается", "Записано строк: 1, файлов: 1"},
        {{"--apply-tweak", "TWEAK"}, 1, "уже совпадает", "Нечего записывать"},
        {{"--remove-tweak", "TWEAK"}, 0, nullptr, "Твик удалён"},
        {{"--remove-tweak", "OTHER"}, 1, nullptr, "нет записи этого твика"},
        {{"--get", file, "actor"}, 64, nullptr, "три аргумента"},
        {{"--bogus"}, 64, nullptr, "Неизвестный параметр: bogus"},
        {{"--get", file, "actor", "walk", "--changes"}, 64, nullptr, "больше одной команды"},
        {{}, 64, nullptr, "Не указана команда"},
    };
    for (const Step &step : steps) {
        QStringList args = step.args;
        args.replaceInStrings("TWEAK", dir.path("tweak.ltx"));
        args.replaceInStrings("OTHER", dir.path("other.ltx"));
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
    EXPECT_EQ(actor(), "[actor]\r\nwalk = 5 ; \xF8\xE0\xE3\r\nrun = 2\r\n");
}

TEST_F(CommandLineRun, TheGamedataFolderComesFromTheSettingsFileAndHelpNeedsNone)
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
    r = run({"--version"}, false);
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("BRANVIK Configurator "));
}

// Without arguments the program opens its window; without a display it says where to turn and
// ends with the wrong-arguments code instead of aborting. A platform that needs no display
// server is no reason to stop (the window tests run on one).
TEST(ProgramWithoutDisplay, SaysSoAndEndsWithCode64)
{
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
