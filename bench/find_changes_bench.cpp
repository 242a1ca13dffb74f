// The find command and the change list on the large catalogue (LargeCatalogue.h).
//   BM_FindKeystroke: one keystroke in the find window of a started main window with 5,000
//   rows: the search over every row and the refilled result list. The queries cycle through
//   the prefixes of "parameter 4321", so most of them list the most rows the window shows.
//   BM_FindOpen20k, BM_FindKeystroke20k: opening the find window and a keystroke in it at
//   20,000 rows (80 pages), most of them on sub-tabs never shown.
//   BM_ParameterSearch: the search alone, per query length.
//   BM_ChangeList: the change list of the 100 game files against their backups (each file with
//   ten keys changed).
//   BM_ReadAndParseFilesAndBackups: reading and parsing those 100 files and their backups once,
//   the measure the change list is held to.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>

#include "LargeCatalogue.h"
#include "app/window/TForm1.h"
#include "changes/ChangeList.h"
#include "gamefiles/ParameterSearch.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/SafeFile.h"
#include "ui/window/Dialogs.h"

namespace {

const QString Query = QStringLiteral("parameter 4321");

void BM_FindKeystroke(benchmark::State &state)
{
    LargeCatalogue &c = catalogue();
    bench::SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = c.dir.path() + "/registry";
    options.dialogs = &dialogs;
    TForm1 window(options);
    window.show();
    QCoreApplication::processEvents();
    window.waitForRowValues();
    if (window.rowCounter() != Pages * SubTabs * Entries) {
        state.SkipWithError("start-up did not finish");
        return;
    }
    dialogs.whileOpen = [&](QDialog *d) {
        auto *field = d->findChild<QLineEdit *>(QStringLiteral("FindText"));
        int length = 0;
        for (auto _ : state) {
            length = length % Query.size() + 1;
            field->setText(Query.left(length));
        }
    };
    window.FindClick();
}
BENCHMARK(BM_FindKeystroke)->Unit(benchmark::kMillisecond);

// The same at the 20,000 rows of a catalogue of 80 pages, most of whose sub-tabs were never
// shown: opening the find window (rows read, search index made, first results listed) and a
// keystroke in it.
struct Catalogue20k
{
    QTemporaryDir dir;
    Catalogue20k() { writeLargeCatalogue(dir.path(), 80); }
};

void find20k(benchmark::State &state, bool opening)
{
    static Catalogue20k c;
    bench::SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.dir.path() + "/program";
    options.registryFolder = c.dir.path() + "/registry";
    options.dialogs = &dialogs;
    TForm1 window(options);
    window.show();
    QCoreApplication::processEvents();
    window.waitForRowValues();
    if (window.rowCounter() != 80 * SubTabs * Entries) {
        state.SkipWithError("start-up did not finish");
        return;
    }
    if (opening) {
        for (auto _ : state)
            window.FindClick();
        return;
    }
    dialogs.whileOpen = [&](QDialog *d) {
        auto *field = d->findChild<QLineEdit *>(QStringLiteral("FindText"));
        int length = 0;
        for (auto _ : state) {
            length = length % Query.size() + 1;
            field->setText(Query.left(length));
        }
    };
    window.FindClick();
}

void BM_FindOpen20k(benchmark::State &state)
{
    find20k(state, true);
}
BENCHMARK(BM_FindOpen20k)->Unit(benchmark::kMillisecond);

void BM_FindKeystroke20k(benchmark::State &state)
{
    find20k(state, false);
}
BENCHMARK(BM_FindKeystroke20k)->Unit(benchmark::kMillisecond);

void BM_ParameterSearch(benchmark::State &state)
{
    ParameterSearch search;
    for (int e = 0; e < Pages * SubTabs * Entries; ++e)
        search.add({"Parameter " + QByteArray::number(e),
                    "key_" + QByteArray::number(e % KeysPerSection),
                    "section_" + QByteArray::number((e / GameFiles) % Sections),
                    "config\\file_" + QByteArray::number(e % GameFiles) + ".ltx",
                    "Help text of the parameter", QByteArray::number(e % 19 * 1.5) + ", 1, 2, 3"});
    const QByteArray query = cp1251::encode(Query.left(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(search.find(query));
}
BENCHMARK(BM_ParameterSearch)->Arg(1)->Arg(10)->Arg(14)->Unit(benchmark::kMicrosecond);

// The game files of the large catalogue with backups: each backup is the file as generated, and
// the file has ten keys changed.
QByteArrayList filesWithBackups()
{
    static QByteArrayList files;
    if (!files.isEmpty())
        return files;
    LargeCatalogue &c = catalogue();
    for (int g = 0; g < GameFiles; ++g) {
        const QString path = c.gamedata() + QString("config/file_%1.ltx").arg(g);
        QByteArray bytes;
        readRegularFile(QFile::encodeName(path), &bytes);
        writeFile(path + ".bak", bytes);
        for (int s = 0; s < 10; ++s)
            bytes.replace("[section_" + QByteArray::number(s * 10) + "]:base\r\nkey_0 = 0",
                          "[section_" + QByteArray::number(s * 10) + "]:base\r\nkey_0 = 7");
        writeFile(path, bytes);
        files.append("config\\file_" + QByteArray::number(g) + ".ltx");
    }
    return files;
}

void BM_ChangeList(benchmark::State &state)
{
    const QByteArrayList files = filesWithBackups();
    const QByteArray gamedata = cp1251::encode(catalogue().gamedata());
    for (auto _ : state) {
        const QList<LineChange> changes = ChangeList::changes(gamedata, files);
        if (changes.size() != GameFiles * 10)
            state.SkipWithError("unexpected change count");
    }
}
BENCHMARK(BM_ChangeList)->Unit(benchmark::kMillisecond);

void BM_ReadAndParseFilesAndBackups(benchmark::State &state)
{
    const QByteArrayList files = filesWithBackups();
    const QString gamedata = catalogue().gamedata();
    for (auto _ : state) {
        for (const QByteArray &file : files) {
            QString path = gamedata + QString::fromLatin1(file);
            path.replace('\\', '/');
            for (const QString &p : {path, path + ".bak"}) {
                QByteArray bytes;
                readRegularFile(QFile::encodeName(p), &bytes);
                benchmark::DoNotOptimize(IniDocument::parse(bytes));
            }
        }
    }
}
BENCHMARK(BM_ReadAndParseFilesAndBackups)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
