// Start-up with a large catalogue: 20 pages x 10 sub-tabs x 25 entries = 5,000 entries over
// 100 game files of 2,000 lines each.
//   BM_CatalogueWalkAndLookups: the catalogue walk with every value looked up and divided.
//   BM_WholeStartup: the main window's start-up sequence up to the ready state (offscreen),
//   including the events it leaves for the event loop.
// Each iteration starts with an empty parsed-file cache, as a new run of the program does.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"
#include "ui/Dialogs.h"

namespace {

constexpr int Pages = 20, SubTabs = 10, Entries = 25, GameFiles = 100, Sections = 100,
              KeysPerSection = 19;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

struct LargeCatalogue
{
    QTemporaryDir dir;
    QString program() const { return dir.path() + "/program"; }
    QString gamedata() const { return dir.path() + "/gamedata/"; }

    LargeCatalogue()
    {
        for (int g = 0; g < GameFiles; ++g) {
            QByteArray text = "; generated game file\r\n";
            for (int s = 0; s < Sections; ++s) {
                text += "[section_" + QByteArray::number(s) + "]:base\r\n";
                for (int k = 0; k < KeysPerSection; ++k)
                    text += "key_" + QByteArray::number(k) + " = " + QByteArray::number(k * 1.5) +
                            " ; comment of the key\r\n";
            }
            writeFile(gamedata() + QString("config/file_%1.ltx").arg(g), text);
        }
        QByteArray pages = "[Global Pages]\r\nKol-vo=" + QByteArray::number(Pages) + "\r\n";
        int e = 0;
        for (int p = 1; p <= Pages; ++p) {
            const QByteArray n = QByteArray::number(p);
            pages +=
                n + "=Page " + n + "\r\n" + n + "_file=Page" + n + "\r\n" + n + "_Enabled=true\r\n";
            QByteArray page = "[Pages]\r\nKol-vo=" + QByteArray::number(SubTabs) + "\r\n";
            for (int j = 1; j <= SubTabs; ++j)
                page += QByteArray::number(j) + "=Sub " + QByteArray::number(j) + "\r\n";
            for (int j = 1; j <= SubTabs; ++j) {
                page += "[Sub " + QByteArray::number(j) +
                        "]\r\nKol-vo=" + QByteArray::number(Entries) + "\r\n";
                for (int k = 1; k <= Entries; ++k, ++e) {
                    const QByteArray key = QByteArray::number(k);
                    page += key + "_Caption=Parameter " + QByteArray::number(e) + "\r\n";
                    page += key + "_File=config\\file_" + QByteArray::number(e % GameFiles) +
                            ".ltx\r\n";
                    page += key + "_Section=section_" +
                            QByteArray::number((e / GameFiles) % Sections) + "\r\n";
                    page += key + "_Param=key_" + QByteArray::number(e % KeysPerSection) + "\r\n";
                    page += key + "_Help=Help text of the parameter\r\n";
                }
            }
            writeFile(program() + "/Setting/Page" + n + ".ini", page);
        }
        writeFile(program() + "/Setting/Pages.ini", pages);
        writeFile(program() + "/Setting/Setting.ini",
                  cp1251::encode("[Setting]\r\nGamedata_Path=" + gamedata() +
                                 "\r\nВерсия=0.6\r\nWarning=2\r\n"));
    }
};

LargeCatalogue &catalogue()
{
    static LargeCatalogue c;
    return c;
}

class LookupVisitor : public CatalogueVisitor
{
public:
    QByteArray gamedata;
    int rows = 0;
    bool beginPage(const CataloguePage &) override { return true; }
    bool beginSubTab(const CatalogueSubTab &) override { return true; }
    bool entry(const CatalogueEntry &e) override
    {
        const QByteArray v = ParameterLookup::lookUp(gamedata, e.file, e.section, e.param);
        benchmark::DoNotOptimize(ParameterLookup::rowValueFor(e.trade, e.hasFull, v));
        ++rows;
        return true;
    }
};

void BM_CatalogueWalkAndLookups(benchmark::State &state)
{
    LargeCatalogue &c = catalogue();
    const QByteArray program = cp1251::encode(c.program() + "/");
    for (auto _ : state) {
        ProfileCache::instance().clear();
        LookupVisitor visitor;
        visitor.gamedata = cp1251::encode(c.gamedata());
        CatalogueReader(program).walk(visitor);
        if (visitor.rows != Pages * SubTabs * Entries)
            state.SkipWithError("not every entry was walked");
    }
}
BENCHMARK(BM_CatalogueWalkAndLookups)->Unit(benchmark::kMillisecond);

class SilentDialogs : public Dialogs
{
public:
    void message(QWidget *, const QString &) override {}
    int ask(QWidget *, const QString &, const QStringList &) override { return -1; }
    bool openUrl(const QUrl &) override { return false; }
    QString chooseFolder(QWidget *, const QString &) override { return {}; }
    QString openFileName(QWidget *, const QString &, const QString &, QString *) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, QString *) override
    {
        return {};
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return {}; }
    int exec(QDialog *) override { return 0; }
};

void BM_WholeStartup(benchmark::State &state)
{
    LargeCatalogue &c = catalogue();
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = c.dir.path() + "/registry";
    options.dialogs = &dialogs;
    for (auto _ : state) {
        ProfileCache::instance().clear();
        auto window = std::make_unique<TForm1>(options);
        window->show();
        QCoreApplication::processEvents(); // runs the start-up sequence
        QCoreApplication::processEvents(); // what it posted, before the window answers input
        if (!window->isReady() || window->rowCounter() != Pages * SubTabs * Entries)
            state.SkipWithError("start-up did not finish");
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WholeStartup)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
