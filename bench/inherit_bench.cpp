// The catalogue walk with every value looked up, as the start-up does it, on the large catalogue
// of startup_bench (5,000 entries over 100 game files), in three game folders:
//   BM_WalkFlat: every key in its own section (no value is resolved).
//   BM_WalkInheriting: every game file includes one file of parents, and 5 of the 19 keys of
//     each section are inherited two levels deep ([section_s]:mid_s, [mid_s]:base_s), so about
//     a quarter of the entries take their value from a parent.
//   BM_WalkInheritingOff: the same folder with inheritance off (those entries read as missing).
//   BM_WholeStartupFlat, BM_WholeStartupInheriting: the main window's start-up sequence up to
//   the ready state (offscreen), as startup_bench's BM_WholeStartup, in the first two folders.
// Each iteration starts with an empty parsed-file cache, as a new run of the program does.

#include <QApplication>
#include <QDirIterator>
#include <benchmark/benchmark.h>

#include <memory>

#include "LargeCatalogue.h"
#include "app/window/TForm1.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileCache.h"

namespace {

constexpr int Inherited = 5; // key_0 .. key_4 come from the parents

QString inheritingGamedata()
{
    static const QString folder = [] {
        const QString root = catalogue().dir.path() + "/inheriting/";
        QByteArray parents = "; parents of every section\r\n";
        for (int s = 0; s < Sections; ++s) {
            const QByteArray n = QByteArray::number(s);
            parents += "[mid_" + n + "]:base_" + n + "\r\n";
            for (int k = 0; k < 3; ++k)
                parents += "key_" + QByteArray::number(k) + " = " + QByteArray::number(k) +
                           ", 1, 2, 3 ; from mid\r\n";
            parents += "[base_" + n + "]\r\n";
            for (int k = 3; k < Inherited; ++k)
                parents += "key_" + QByteArray::number(k) + " = " + QByteArray::number(k) +
                           " ; from base\r\n";
        }
        bench::writeFile(root + "config/parents.ltx", parents);
        for (int g = 0; g < GameFiles; ++g) {
            QByteArray text = "#include \"parents.ltx\"\r\n";
            for (int s = 0; s < Sections; ++s) {
                text +=
                    "[section_" + QByteArray::number(s) + "]:mid_" + QByteArray::number(s) + "\r\n";
                for (int k = Inherited; k < KeysPerSection; ++k)
                    text += "key_" + QByteArray::number(k) + " = " + QByteArray::number(k * 1.5) +
                            " ; comment of the key\r\n";
            }
            bench::writeFile(root + QString("config/file_%1.ltx").arg(g), text);
        }
        return root;
    }();
    return folder;
}

class LookupVisitor : public CatalogueVisitor
{
public:
    std::unique_ptr<GameValues> values;
    int rows = 0, inherited = 0;
    bool beginPage(const CataloguePage &) override { return true; }
    bool beginSubTab(const CatalogueSubTab &) override { return true; }
    bool entry(const CatalogueEntry &e) override
    {
        const ParameterLookup::RowValue v =
            ParameterLookup::rowValueOf(*values, e.file, e.section, e.param, e.trade, e.hasFull);
        inherited += v.inherited;
        ++rows;
        return true;
    }
};

void walk(benchmark::State &state, const QString &gamedata, bool inheritance, int expected)
{
    LargeCatalogue &c = catalogue();
    const QByteArray program = cp1251::encode(c.program() + "/");
    for (auto _ : state) {
        ProfileCache::instance().clear();
        const ProfileCache::WalkScope scope;
        LookupVisitor visitor;
        visitor.values = std::make_unique<GameValues>(cp1251::encode(gamedata), inheritance);
        CatalogueReader(program).walk(visitor);
        if (visitor.rows != Pages * SubTabs * Entries)
            state.SkipWithError("not every entry was walked");
        if ((expected == 0) != (visitor.inherited == 0))
            state.SkipWithError("unexpected inherited values");
        state.counters["inherited"] = visitor.inherited;
    }
}

void BM_WalkFlat(benchmark::State &state)
{
    walk(state, catalogue().gamedata(), true, 0);
}
BENCHMARK(BM_WalkFlat)->Unit(benchmark::kMillisecond);

void BM_WalkInheriting(benchmark::State &state)
{
    walk(state, inheritingGamedata(), true, 1);
}
BENCHMARK(BM_WalkInheriting)->Unit(benchmark::kMillisecond);

void BM_WalkInheritingOff(benchmark::State &state)
{
    walk(state, inheritingGamedata(), false, 0);
}
BENCHMARK(BM_WalkInheritingOff)->Unit(benchmark::kMillisecond);

// A program folder with the large catalogue whose settings name the given game folder.
QString programFor(const QString &name, const QString &gamedata)
{
    LargeCatalogue &c = catalogue();
    const QString program = c.dir.path() + "/" + name;
    QDir().mkpath(program + "/Setting");
    QDirIterator it(c.program() + "/Setting", {"*.ini"}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::copy(path, program + "/Setting/" + QFileInfo(path).fileName());
    }
    QFile::remove(program + "/Setting/Setting.ini");
    bench::writeFile(program + "/Setting/Setting.ini",
                     cp1251::encode("[Setting]\r\nGamedata_Path=" + gamedata +
                                    "\r\nВерсия=0.6\r\nWarning=2\r\n"));
    return program;
}

void wholeStartup(benchmark::State &state, const QString &program)
{
    bench::SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = program;
    options.registryFolder = program + "/registry";
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

void BM_WholeStartupFlat(benchmark::State &state)
{
    static const QString program = programFor("program-flat", catalogue().gamedata());
    wholeStartup(state, program);
}
BENCHMARK(BM_WholeStartupFlat)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WholeStartupInheriting(benchmark::State &state)
{
    static const QString program = programFor("program-inheriting", inheritingGamedata());
    wholeStartup(state, program);
}
BENCHMARK(BM_WholeStartupInheriting)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
