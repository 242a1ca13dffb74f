// Start-up with a large catalogue: 20 pages x 10 sub-tabs x 25 entries = 5,000 entries over
// 100 game files of 2,000 lines each.
//   BM_CatalogueWalkAndLookups: the catalogue walk with every value looked up and divided.
//   BM_WholeStartup: the main window's start-up sequence up to the ready state (offscreen),
//   including the events it leaves for the event loop, with an empty registry store.
//   BM_WholeStartupWithAllValues: the same until every row has its value (the rows not on
//   screen are read on another thread after the window is shown).
//   BM_TabStrips/N: what the tab strips alone cost for a catalogue of N entries (N / 250 pages
//   of 10 sub-tabs, each a plain page), built out of sight as the start-up builds them: what
//   remains of the start-up per sub-tab once nothing else is made for it.
//   BM_WholeStartupWithSavedState: the same with a registry store holding the outer tabs' colour
//   and moved positions (Top and Left of caption, value box and apply button) of 500 rows, all
//   restored at the end of the start-up.
//   BM_FirstShowOfASubTab: switching to a sub-tab never shown, whose rows get their controls.
//   BM_Paste100KIntoAValueBox, BM_KeystrokeInA100KValue: editing a long value without blanks.
//   BM_LoadComponentState: that restoring alone (store read, walk over every component), repeated
//   on a window that has started.
//   BM_StartupWithManyPages/N: the start-up with N pages switched on, each of one empty sub-tab;
//   the program builds at most CatalogueReader::MaxEnabledPages of them.
//   BM_StartupWithManySubTabs/N: the start-up with one page of N empty sub-tabs.
// Each iteration starts with an empty parsed-file cache, as a new run of the program does.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <benchmark/benchmark.h>

#include "LargeCatalogue.h"
#include "app/window/TForm1.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/CatalogueVisitor.h"
#include "editor/window/ValueBox.h"
#include <memory>

#include "gamefiles/ParameterLookup.h"
#include "prefs/RegistryStore.h"
#include "prefs/window/TStateSaver.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"

namespace {

class LookupVisitor : public CatalogueVisitor
{
public:
    std::unique_ptr<GameValues> values;
    int rows = 0;
    bool beginPage(const CataloguePage &) override { return true; }
    bool beginSubTab(const CatalogueSubTab &) override { return true; }
    bool entry(const CatalogueEntry &e) override
    {
        benchmark::DoNotOptimize(
            ParameterLookup::rowValueOf(*values, e.file, e.section, e.param, e.trade, e.hasFull));
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
        visitor.values = std::make_unique<GameValues>(cp1251::encode(c.gamedata()), true);
        CatalogueReader(program).walk(visitor);
        if (visitor.rows != Pages * SubTabs * Entries)
            state.SkipWithError("not every entry was walked");
    }
}
BENCHMARK(BM_CatalogueWalkAndLookups)->Unit(benchmark::kMillisecond);

using bench::SilentDialogs;

constexpr int MovedRows = 500;

// A registry store as the program leaves it after rows were moved on every tenth row.
QString savedStateFolder()
{
    LargeCatalogue &c = catalogue();
    const QString folder = c.dir.path() + "/registry-saved";
    RegistryStore store(folder, "HKEY_LOCAL_MACHINE");
    RegistryStore::Key *key =
        store.openKey("SOFTWARE\\Tessaly_and_Quenby\\BRANVIK Configurator", true);
    const QByteArray prefix = cp1251::encode(QStringLiteral("Главное окно_Form1."));
    key->writeInteger(prefix + "PageControl1.Color", 0x00D0E0F0);
    for (int i = 0; i < MovedRows; ++i) {
        const QByteArray row =
            "Name_" + QByteArray::number(i * (Pages * SubTabs * Entries) / MovedRows);
        for (const QByteArray &control : {row + "_V", row, row + "_"}) {
            key->writeInteger(prefix + control + ".TOP", 300 + i % 7);
            key->writeInteger(prefix + control + ".LEFT", 400 + i % 5);
        }
    }
    store.save();
    return folder;
}

void wholeStartup(benchmark::State &state, const QString &registryFolder, bool restored,
                  bool allValues = false)
{
    LargeCatalogue &c = catalogue();
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = registryFolder;
    options.dialogs = &dialogs;
    for (auto _ : state) {
        ProfileCache::instance().clear();
        auto window = std::make_unique<TForm1>(options);
        window->show();
        QCoreApplication::processEvents(); // runs the start-up sequence
        QCoreApplication::processEvents(); // what it posted, before the window answers input
        if (allValues)
            window->waitForRowValues();
        if (!window->isReady() || window->rowCounter() != Pages * SubTabs * Entries)
            state.SkipWithError("start-up did not finish");
        const auto *moved = qobject_cast<QWidget *>(window->findComponent("Name_0_V"));
        if (restored && (!moved || moved->pos() != QPoint(400, 300)))
            state.SkipWithError("the saved state was not restored");
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

void BM_WholeStartup(benchmark::State &state)
{
    wholeStartup(state, catalogue().dir.path() + "/registry", false);
}
BENCHMARK(BM_WholeStartup)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WholeStartupWithAllValues(benchmark::State &state)
{
    wholeStartup(state, catalogue().dir.path() + "/registry", false, true);
}
BENCHMARK(BM_WholeStartupWithAllValues)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TabStrips(benchmark::State &state)
{
    const int pages = int(state.range(0)) / (SubTabs * Entries);
    for (auto _ : state) {
        QTabWidget outer;
        outer.hide();
        for (int p = 0; p < pages; ++p) {
            auto *page = new QWidget;
            outer.addTab(page, QStringLiteral("Page %1").arg(p + 1));
            auto *layout = new QVBoxLayout(page);
            layout->setContentsMargins(0, 0, 0, 0);
            auto *inner = new QTabWidget(page);
            layout->addWidget(inner);
            for (int j = 0; j < SubTabs; ++j) {
                QCoreApplication::sendPostedEvents();
                inner->addTab(new QWidget, QStringLiteral("Sub %1").arg(j + 1));
            }
        }
        outer.show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        outer.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TabStrips)->Arg(1000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_WholeStartupWithSavedState(benchmark::State &state)
{
    wholeStartup(state, savedStateFolder(), true);
}
BENCHMARK(BM_WholeStartupWithSavedState)->Unit(benchmark::kMillisecond)->Iterations(3);

// pages switched on, each of subTabs empty sub-tabs.
void startupWith(benchmark::State &state, int pages, int subTabs)
{
    QTemporaryDir dir;
    QByteArray index = "[Global Pages]\r\nKol-vo=" + QByteArray::number(pages) + "\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        index += n + "=Page " + n + "\r\n" + n + "_file=P\r\n" + n + "_Enabled=true\r\n";
    }
    bench::writeFile(dir.path() + "/program/Setting/Pages.ini", index);
    QByteArray page = "[Pages]\r\nKol-vo=" + QByteArray::number(subTabs) + "\r\n";
    for (int j = 1; j <= subTabs; ++j)
        page += QByteArray::number(j) + "=Sub " + QByteArray::number(j) + "\r\n";
    bench::writeFile(dir.path() + "/program/Setting/P.ini", page);
    QDir().mkpath(dir.path() + "/gamedata");
    bench::writeFile(dir.path() + "/program/Setting/Setting.ini",
                     cp1251::encode("[Setting]\r\nGamedata_Path=" + dir.path() +
                                    "/gamedata/\r\nВерсия=0.6\r\nWarning=2\r\n"));
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = dir.path() + "/program";
    options.registryFolder = dir.path() + "/registry";
    options.dialogs = &dialogs;
    for (auto _ : state) {
        ProfileCache::instance().clear();
        auto window = std::make_unique<TForm1>(options);
        window->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        const bool built = window->isReady() && window->pages()->count() ==
                                                    qMin(pages, CatalogueReader::MaxEnabledPages);
        if (!built) {
            state.SkipWithError(QStringLiteral("start-up did not finish: %1 pages")
                                    .arg(window->pages()->count())
                                    .toStdString()
                                    .c_str());
            break;
        }
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
void BM_StartupWithManyPages(benchmark::State &state)
{
    startupWith(state, int(state.range(0)), 1);
}
BENCHMARK(BM_StartupWithManyPages)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_StartupWithManySubTabs(benchmark::State &state)
{
    startupWith(state, 1, int(state.range(0)));
}
BENCHMARK(BM_StartupWithManySubTabs)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_LoadComponentState(benchmark::State &state)
{
    LargeCatalogue &c = catalogue();
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = savedStateFolder();
    options.dialogs = &dialogs;
    TForm1 window(options);
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        if (!window.StateSaver1->LoadComponentState(&window, QStringLiteral("Главное окно_"), {}))
            state.SkipWithError("loading failed");
    }
}
BENCHMARK(BM_LoadComponentState)->Unit(benchmark::kMillisecond);

// Switching to a sub-tab never shown (25 rows): its rows' controls created, restored from the
// store and painted. Each iteration takes the next sub-tab of the started window.
void BM_FirstShowOfASubTab(benchmark::State &state)
{
    LargeCatalogue &c = catalogue();
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = savedStateFolder();
    options.dialogs = &dialogs;
    TForm1 window(options);
    window.show();
    QCoreApplication::processEvents();
    window.waitForRowValues();
    int next = 1; // sub-tab 0 of page 0 is on screen already
    for (auto _ : state) {
        auto *inner = window.PageControl1->widget(next / SubTabs)->findChild<QTabWidget *>();
        window.PageControl1->setCurrentIndex(next / SubTabs);
        inner->setCurrentIndex(next % SubTabs);
        window.repaint();
        QCoreApplication::processEvents();
        if (!window.findComponent(QStringLiteral("Name_%1").arg(next * Entries)))
            state.SkipWithError("the sub-tab has no rows");
        ++next;
    }
}
BENCHMARK(BM_FirstShowOfASubTab)->Unit(benchmark::kMillisecond)->Iterations(Pages *SubTabs - 1);

// Pasting 100 KB without blanks into a row's value box, and a keystroke at the end of such a
// value: the editor's layout and the pending text follow each change.
void valueBoxEdit(benchmark::State &state, bool paste)
{
    LargeCatalogue &c = catalogue();
    SilentDialogs dialogs;
    MainWindowOptions options;
    options.programFolder = c.program();
    options.registryFolder = c.dir.path() + "/registry";
    options.dialogs = &dialogs;
    TForm1 window(options);
    window.show();
    QCoreApplication::processEvents();
    auto *box = qobject_cast<ValueBox *>(window.findComponent(QStringLiteral("Name_0")));
    if (!box) {
        state.SkipWithError("no row");
        return;
    }
    const QString value(100 * 1024, QLatin1Char('x'));
    if (!paste)
        box->editor()->setPlainText(value);
    for (auto _ : state) {
        if (paste) {
            state.PauseTiming();
            box->editor()->clear();
            QCoreApplication::processEvents();
            state.ResumeTiming();
            box->editor()->insertPlainText(value);
        } else {
            box->editor()->moveCursor(QTextCursor::End);
            box->editor()->insertPlainText(QStringLiteral("y"));
        }
        box->repaint();
        QCoreApplication::processEvents();
    }
}

void BM_Paste100KIntoAValueBox(benchmark::State &state)
{
    valueBoxEdit(state, true);
}
BENCHMARK(BM_Paste100KIntoAValueBox)->Unit(benchmark::kMillisecond);

void BM_KeystrokeInA100KValue(benchmark::State &state)
{
    valueBoxEdit(state, false);
}
BENCHMARK(BM_KeystrokeInA100KValue)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
