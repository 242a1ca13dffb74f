// The table view of a large page: 40 sub-tabs x 50 entries = 2,000 cells over 50 game files of
// 2,000 lines each.
//   BM_ReadFloor: reading and parsing the page file and the 50 game files once each, the least
//   an opening can cost.
//   BM_TableFill: filling the two grids (TablePage::fill), starting from an empty parsed-file
//   cache, as the first opening of a run does.
//   BM_TableFillWithWindow: the same into the table window, with its models reset and its
//   column widths measured.
//   BM_TableOpenShown: what the program does to open the table view: the fill into the window,
//   the column widths, the first cell current, and the window shown and painted (offscreen).
//   BM_TableApply: the apply of a table with 100 changed cells over 10 game files (every one of
//   the 2,000 cells compared, 100 keys written, each write a checked, flushed save).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "session/Session.h"
#include "table/GridCellStore.h"
#include "table/TableApply.h"
#include "table/TablePage.h"
#include "table/window/TForm7.h"
#include "textcodec/Cp1251.h"

namespace {

constexpr int SubTabs = 40, Entries = 50, GameFiles = 50, Sections = 100, KeysPerSection = 19;

using bench::writeFile;

QByteArray gameFileName(int g)
{
    return "config\\file_" + QByteArray::number(g) + ".ltx";
}

struct LargeTable
{
    QTemporaryDir dir;
    QByteArray program() const { return cp1251::encode(dir.path() + "/program/"); }
    QByteArray gamedata() const { return cp1251::encode(dir.path() + "/gamedata/"); }
    QByteArray pageFile() const { return program() + "Setting/Table.ini"; }

    LargeTable()
    {
        for (int g = 0; g < GameFiles; ++g) {
            const QByteArray text = bench::generatedGameFile(Sections, KeysPerSection);
            writeFile(dir.path() + QString("/gamedata/config/file_%1.ltx").arg(g), text);
        }
        writeFile(dir.path() + "/program/Setting/Pages.ini",
                  "[Global Pages]\r\nKol-vo=1\r\n1=Table\r\n1_file=Table\r\n1_Enabled=true\r\n"
                  "1_Tabl=1\r\n");
        // Entry k of every sub-tab lives in file k % 50, sub-tab j in section j.
        QByteArray page = "[Pages]\r\nKol-vo=" + QByteArray::number(SubTabs) + "\r\n";
        for (int j = 1; j <= SubTabs; ++j)
            page += QByteArray::number(j) + "=Sub " + QByteArray::number(j) + "\r\n";
        for (int j = 1; j <= SubTabs; ++j) {
            page += "[Sub " + QByteArray::number(j) + "]\r\nKol-vo=" + QByteArray::number(Entries) +
                    "\r\n";
            for (int k = 1; k <= Entries; ++k) {
                const QByteArray key = QByteArray::number(k);
                page += key + "_Caption=Parameter " + key + "\r\n";
                page += key + "_File=" + gameFileName(k % GameFiles) + "\r\n";
                page += key + "_Section=section_" + QByteArray::number(j) + "\r\n";
                page += key + "_Param=key_" + QByteArray::number(k % KeysPerSection) + "\r\n";
                page += key + "_Help=Help text of the parameter\r\n";
            }
        }
        writeFile(dir.path() + "/program/Setting/Table.ini", page);
    }
};

LargeTable &table()
{
    static LargeTable t;
    return t;
}

void BM_ReadFloor(benchmark::State &state)
{
    LargeTable &t = table();
    for (auto _ : state) {
        ProfileCache::instance().clear();
        benchmark::DoNotOptimize(ProfileFile(t.pageFile()).readString("Pages", "1", ""));
        for (int g = 0; g < GameFiles; ++g)
            benchmark::DoNotOptimize(
                ProfileFile(t.gamedata() + gameFileName(g)).readString("section_1", "key_1", ""));
    }
}
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond);

void BM_TableFill(benchmark::State &state)
{
    LargeTable &t = table();
    const TablePage page(t.program(), t.gamedata());
    for (auto _ : state) {
        ProfileCache::instance().clear();
        GridCellStore values, remainders;
        const TableLayout layout = page.fill(1, values, remainders);
        if (layout.subTabs != SubTabs || values.cell(Entries, SubTabs).isEmpty()) {
            state.SkipWithError("the table was not filled");
            break;
        }
    }
}
BENCHMARK(BM_TableFill)->Unit(benchmark::kMillisecond);

void BM_TableFillWithWindow(benchmark::State &state)
{
    LargeTable &t = table();
    const TablePage page(t.program(), t.gamedata());
    TForm7 form;
    for (auto _ : state) {
        ProfileCache::instance().clear();
        form.beginChange();
        page.fill(1, form.values(), form.remainders());
        form.endChange();
        form.fitColumns();
    }
}
BENCHMARK(BM_TableFillWithWindow)->Unit(benchmark::kMillisecond);

void BM_TableOpenShown(benchmark::State &state)
{
    LargeTable &t = table();
    const TablePage page(t.program(), t.gamedata());
    TForm7 form;
    for (auto _ : state) {
        ProfileCache::instance().clear();
        form.beginChange();
        page.fill(1, form.values(), form.remainders());
        form.endChange();
        form.fitColumns();
        form.showFromStart();
        form.show();
        QApplication::processEvents();
        form.hide();
    }
}
BENCHMARK(BM_TableOpenShown)->Unit(benchmark::kMillisecond);

void BM_TableApply(benchmark::State &state)
{
    LargeTable &t = table();
    const TablePage page(t.program(), t.gamedata());
    GridCellStore values, remainders;
    page.fill(1, values, remainders);
    Session::Options options;
    options.settingsFolder = cp1251::toUnicode(t.program() + "Setting");
    Session session(options);
    session.locate(nullptr);
    session.setGamedataFolder(t.gamedata());
    const TableApply apply(session, t.pageFile());
    static int round = 0; // over every run of the benchmark: each round writes new values
    for (auto _ : state) {
        state.PauseTiming();
        // 100 cells: entries 1..10 (files 1..10) of sub-tabs 1..10, new values every round.
        ++round;
        for (int j = 1; j <= 10; ++j)
            for (int k = 1; k <= 10; ++k)
                values.setCell(k, j, QByteArray::number(round * 1000 + j * 10 + k));
        state.ResumeTiming();
        const TableApplyReport report = apply.apply(values, remainders);
        if (!report.complete || report.written != 100) {
            state.SkipWithError(report.message().toStdString().c_str());
            break;
        }
    }
}
BENCHMARK(BM_TableApply)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
