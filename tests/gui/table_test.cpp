#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"
#include "support/WindowFixture.h"
#include "table/GridCellStore.h"
#include "table/window/GridModel.h"
#include "table/window/TForm7.h"
#include "table/window/TableView.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"

namespace {

const QString Refusal = "Эту вкладку невозможно представить в табличном виде!";
const QString Wait = "Внимание! Это займет некоторое время! Пожалуйста, подождите!";
const QString Saved = "Данные сохранены!";
const QString Reloaded = "Значения перечитаны из файлов игры.";
const QByteArray Weapons = WindowFixture::ini("[pm]\nhit = 0.45 ; урон\nrpm = 300\n"
                                              "[ak]\nhit = 0.6\nrpm = 600\n");

// Page 1 "Оружие" is a table of two sub-tabs with two entries each (rows Name_0..Name_3); page
// 2 "Актёр" is no table (row Name_4).
class Table : public ::testing::Test
{
protected:
    WindowFixture f;
    int opened = 0;

    void SetUp() override
    {
        f.writeSetting("Pages.ini", "[Global Pages]\nKol-vo=2\n1=Оружие\n1_file=Weapons\n"
                                    "1_Enabled=true\n1_Tabl=1\n2=Актёр\n2_file=Actor\n"
                                    "2_Enabled=true\n");
        QString weapons = "[Pages]\nKol-vo=2\n1=ПМ\n2=АК\n";
        for (const char *s : {"pm", "ak"})
            weapons += QString("[%1]\nKol-vo=2\n1_Caption=Урон\n1_File=config\\w.ltx\n"
                               "1_Section=%2\n1_Param=hit\n2_Caption=Темп\n2_File=config\\w.ltx\n"
                               "2_Section=%2\n2_Param=rpm\n")
                           .arg(s == QStringLiteral("pm") ? "ПМ" : "АК", s);
        f.writeSetting("Weapons.ini", weapons);
        f.writeSetting("Actor.ini", "[Pages]\nKol-vo=1\n1=А\n[А]\nKol-vo=1\n1_Caption=Рост\n"
                                    "1_File=config\\w.ltx\n1_Section=pm\n1_Param=hit\n");
        f.dir.write("gamedata/config/w.ltx", Weapons);
    }

    TForm1 &start(const QString &settings = QString())
    {
        f.writeSettings(settings);
        TForm1 &w = f.start();
        f.dialogs.messages.clear();
        return w;
    }

    // Runs body while the table window is open, then closes it with result.
    void whileOpen(std::function<void(TForm7 &)> body, int result = QDialog::Rejected)
    {
        f.dialogs.whileOpen = [this, body](QDialog *d) {
            auto *table = qobject_cast<TForm7 *>(d);
            if (!table) {
                // The review of the cells an apply writes: confirmed.
                f.dialogs.dialogResults.prepend(QDialog::Accepted);
                return;
            }
            ++opened;
            body(*table);
        };
        f.dialogs.dialogResults.enqueue(result);
    }

    QByteArray gameFile() const { return TempDir::read(f.gameFolder() + "/config/w.ltx"); }
    void click(const QString &box)
    {
        auto *b = qobject_cast<ValueBox *>(f.window->findComponent(box));
        QTest::mouseClick(b->editor()->viewport(), Qt::LeftButton);
    }
    static QString cell(QTableView *grid, int column, int row)
    {
        return grid->model()->index(row, column).data().toString();
    }
    // Types text into a cell through its editor and leaves it with key.
    static void type(QTableView *grid, int column, int row, const QString &text,
                     Qt::Key key = Qt::Key_Return)
    {
        const QModelIndex index = grid->model()->index(row, column);
        grid->setCurrentIndex(index);
        grid->edit(index);
        // Editors closed before are deleted later: the newest is this cell's.
        const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
        ASSERT_FALSE(editors.isEmpty());
        QLineEdit *editor = editors.last();
        editor->setText(text);
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents(); // Return commits from the event loop
    }
};

} // namespace

TEST_F(Table, PagesThatAreNoTablesAndNoSelectionAreRefused)
{
    TForm1 &w = start("Warning=2\n"); // shown at every level
    whileOpen([](TForm7 &) {});
    w.N21->trigger(); // before any click: page 0
    click("Name_4");
    w.N21->trigger();
    EXPECT_EQ(f.dialogs.messages, QStringList({Refusal, Refusal}));
    EXPECT_EQ(opened, 0);
}

TEST_F(Table, TheWindowShowsThePageAsTwoGrids)
{
    TForm1 &w = start("Warning=2\n");
    click("Name_2"); // page 1, sub-tab 2
    whileOpen([](TForm7 &t) {
        EXPECT_EQ(t.windowTitle(), "Табличный вид");
        EXPECT_EQ(t.size(), QSize(690, 469));
        EXPECT_FALSE(t.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(t.SG->isHidden());
        EXPECT_TRUE(t.SG2->isHidden());
        struct Button
        {
            QPushButton *button;
            QString caption;
            int left;
        };
        for (const Button &b : {Button{t.Button1, "Применить", 0},
                                {t.Button3, "Сохранить", 176},
                                {t.Button4, "Загрузить", 352},
                                {t.Button2, "Отмена", 526}}) {
            EXPECT_EQ(QString(b.button->text()).remove('&'), b.caption);
            EXPECT_FALSE(QKeySequence::mnemonic(b.button->text()).isEmpty()) << "Alt+letter";
            EXPECT_EQ(b.button->geometry(), QRect(b.left, 440, 165, 27));
        }
        const QStringList rows[] = {
            {"Имя", "Урон", "Темп"}, {"ПМ", "0.45", "300"}, {"АК", "0.6", "600"}};
        ASSERT_EQ(t.SG->model()->rowCount(), 3);
        ASSERT_EQ(t.SG->model()->columnCount(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(cell(t.SG, c, r), rows[r][c]);
                const bool editable =
                    t.SG->model()->flags(t.SG->model()->index(r, c)) & Qt::ItemIsEditable;
                EXPECT_EQ(editable, r > 0 && c > 0) << r << "," << c;
            }
        EXPECT_EQ(cell(t.SG2, 1, 1), " ; урон");
        EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(1, 1));
        const QFontMetrics m(t.SG->font());
        EXPECT_EQ(t.SG->columnWidth(0),
                  qMax(m.horizontalAdvance("Имя"), m.horizontalAdvance("ПМ")) + 5);
    });
    w.N21->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(f.dialogs.messages, QStringList{Wait}) << "shown at every level";
}

TEST_F(Table, ApplyWritesTheEditedCellsAndCancelWritesNothing)
{
    for (const int result : {int(QDialog::Rejected), int(QDialog::Accepted)}) {
        TForm1 &w = start("Warning=0\n");
        click("Name_0");
        whileOpen(
            [](TForm7 &t) {
                type(t.SG, 1, 1, "0.5", Qt::Key_Tab);
                EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(1, 2)) << "Tab moves on";
                type(t.SG, 2, 2, "☃");
                EXPECT_EQ(cell(t.SG, 2, 2), "600") << "text Windows-1251 cannot hold is refused";
            },
            result);
        w.N21->trigger();
        ASSERT_EQ(f.dialogs.messages.size(), result == QDialog::Accepted ? 3 : 2);
        EXPECT_EQ(f.dialogs.messages[0], Wait);
        EXPECT_TRUE(f.dialogs.messages[1].contains("Windows-1251"));
        if (result == QDialog::Accepted) {
            EXPECT_EQ(f.dialogs.messages[2], Saved);
            EXPECT_TRUE(gameFile().contains(WindowFixture::ini("hit= 0.5 ; урон\n")));
        } else {
            EXPECT_EQ(gameFile(), Weapons);
        }
        f.window.reset();
    }
}

TEST_F(Table, ClosingTheWindowCancels)
{
    TForm1 &w = start();
    w.Form7->open();
    w.Form7->close();
    EXPECT_EQ(w.Form7->result(), QDialog::Rejected);
}

TEST_F(Table, TheTableButtonSelectsItsPageAndSubTabAndOpens)
{
    TForm1 &w = start("TableMode=1\n");
    f.showEverySubTab(); // a sub-tab gets its button when first shown
    QList<QPushButton *> buttons;
    for (const QPointer<QObject> &c : w.components())
        if (auto *b = qobject_cast<QPushButton *>(c.data()); b && dataslot::hint(b) == "1")
            buttons.append(b);
    ASSERT_EQ(buttons.size(), 2) << "one per sub-tab of the table page";
    whileOpen([](TForm7 &t) { EXPECT_EQ(cell(t.SG, 1, 2), "0.6"); });
    QTest::mouseClick(buttons[1], Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(dataslot::tag(w.N11), 1);
    EXPECT_EQ(dataslot::tag(w.N13), 2);
}

TEST_F(Table, TableModeIsWrittenAtOnceAndTakesEffectAtTheNextStart)
{
    for (const char *level : {"1", "2"}) {
        TForm1 &w = start(QString("Warning=%1\n").arg(level));
        w.N27->trigger();
        EXPECT_TRUE(w.N27->isChecked());
        EXPECT_TRUE(TempDir::read(f.settingPath("Setting.ini")).contains("TableMode=1"));
        EXPECT_EQ(f.dialogs.messages.size(), level == QStringLiteral("1") ? 1 : 0);
        EXPECT_EQ(w.settings().tableMode, 0) << "this run keeps its mode";
        w.N28->trigger();
        EXPECT_TRUE(w.N28->isChecked());
        EXPECT_TRUE(TempDir::read(f.settingPath("Setting.ini")).contains("TableMode=0"));
        EXPECT_EQ(f.dialogs.messages.size(), level == QStringLiteral("1") ? 1 : 0);
        f.window.reset();
    }
}

TEST_F(Table, SaveAndLoadTakeTheFormatFromTheChosenFileType)
{
    TForm1 &w = start();
    click("Name_0");
    const QString table = "TableSave (*.tsv)", sheet = "Excel Table (*.xls)";
    QStringList calls;
    TableView::Formats &formats = w.tableView().formats;
    auto saver = [&calls](const char *what) {
        return [&calls, what](const QString &path, const GridCellStore &, QString *) {
            calls << QString(what) + " " + path;
            return true;
        };
    };
    formats.saveTableFile = saver("table");
    formats.saveSpreadsheet = saver("sheet");
    formats.loadTableFile = [&calls](const QString &path, GridCellStore &grid, QString *) {
        calls << "load " + path;
        grid.setRowCount(4);
        grid.setCell(1, 1, "0.9");
        return true;
    };
    struct Step
    {
        QPushButton *TForm7::*button;
        QString file, filter, call;
    };
    const Step steps[] = {
        {&TForm7::Button3, "/t/a", table, "table /t/a.tsv"},
        {&TForm7::Button3, "/t/b.tsv", sheet, "sheet /t/b.tsv.xls"},
        {&TForm7::Button3, "/t/c.xls", table, "table /t/c.xls.tsv"},
        // A file that is not there is read by its suffix, whatever the file type.
        {&TForm7::Button4, "/t/d.tsv", sheet, "load /t/d.tsv"},
    };
    whileOpen(
        [&](TForm7 &t) {
            for (const Step &s : steps) {
                (s.button == &TForm7::Button3 ? f.dialogs.saveFiles : f.dialogs.openFiles)
                    .enqueue(s.file);
                f.dialogs.selectedFilters.enqueue(s.filter);
                (t.*s.button)->click();
            }
            EXPECT_EQ(t.SG->model()->rowCount(), 4) << "the load changed the counts";
            EXPECT_EQ(t.SG2->model()->rowCount(), 3) << "and left the remainder grid alone";
            EXPECT_EQ(cell(t.SG, 1, 1), "0.9");
            t.Button4->click(); // cancelled
        },
        QDialog::Accepted);
    w.N21->trigger();

    QStringList expected;
    for (const Step &s : steps)
        expected << s.call;
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(f.dialogs.fileTitles,
              QStringList({"Выберите файл для сохранения", "Выберите файл для сохранения",
                           "Выберите файл для сохранения", "Выберите файл для загрузки",
                           "Выберите файл для загрузки"}));
    EXPECT_EQ(f.dialogs.fileFilters.value(0), table + ";;" + sheet);
    EXPECT_EQ(f.dialogs.offeredFilters, QStringList({table, table, sheet, table, sheet}))
        << "each dialog offers the file type chosen last in it";
    EXPECT_EQ(f.dialogs.messages,
              QStringList({Wait, "Данные сохранены!", "Данные сохранены!", "Данные сохранены!",
                           "Данные загружены!", Saved, Reloaded}));
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("hit= 0.9 ; урон\n")))
        << "a loaded cell is written with the comment part of the opening";
}

TEST_F(Table, FailedSavesAndLoadsSayWhy)
{
    TForm1 &w = start();
    click("Name_0");
    struct Step
    {
        bool save;
        QString filter, says;
    };
    // Saves into a folder that does not exist, loads of a file that does not exist: each says
    // its format's message, and the reason on the next line.
    const Step steps[] = {
        {true, "TableSave (*.tsv)", "Ошибка сохранения таблицы!"},
        {true, "Excel Table (*.xls)", "Ошибка сохранения в Excel-формат!"},
        {false, "TableSave (*.tsv)", "Ошибка загрузки таблицы!"},
        {false, "Excel Table (*.xls)", "Ошибка импортирования!"},
    };
    whileOpen([&](TForm7 &t) {
        for (const Step &s : steps) {
            (s.save ? f.dialogs.saveFiles : f.dialogs.openFiles).enqueue(f.dir.path("none/x"));
            f.dialogs.selectedFilters.enqueue(s.filter);
            (s.save ? t.Button3 : t.Button4)->click();
        }
    });
    w.N21->trigger();
    QStringList expected{Wait};
    for (const Step &s : steps)
        expected << s.says;
    QStringList firstLines;
    for (const QString &m : std::as_const(f.dialogs.messages)) {
        firstLines << m.section('\n', 0, 0);
        if (m != Wait) {
            EXPECT_FALSE(m.section('\n', 1).isEmpty()) << m;
        }
    }
    EXPECT_EQ(firstLines, expected);
}

TEST(TableGrid, EachColumnIsAsWideAsItsWidestShapedTextPlusFive)
{
    // Narrow and wide letters, many short against few long ones, Cyrillic, an empty column, and
    // texts whose character advances add up to nearly the same width.
    const QList<QList<QByteArray>> columns = {
        {"iiiiiiiiiiii", "WWWW", "ffffffffff", "lllllllllll"},
        {"1", "22", "333", "4444", "55555", "666666", "7777777"},
        {cp1251::encode(QStringLiteral("Щит")), cp1251::encode(QStringLiteral("жёлтый")), "AVAVAV",
         "To To To"},
        {"", "", ""},
        {"Te", "Ta", "Yo", "fi", "ff", "Te ", "LT"},
    };
    TForm7 t;
    t.beginChange();
    t.values().setColumnCount(int(columns.size()));
    t.values().setRowCount(8);
    for (int c = 0; c < columns.size(); ++c)
        for (int r = 0; r < columns[c].size(); ++r)
            t.values().setCell(c, r, columns[c][r]);
    t.endChange();
    t.fitColumns();
    const QFontMetrics m(t.SG->font());
    for (int c = 0; c < columns.size(); ++c) {
        int widest = 0;
        for (const QByteArray &text : columns[c])
            widest = qMax(widest, m.horizontalAdvance(cp1251::toUnicode(text)));
        EXPECT_EQ(t.SG->columnWidth(c), widest + 5) << c;
    }
}

// A long caption widens its column only so far; it ends in "…" and its tool tip holds it whole.
// Values are never cut: a wide one widens its column.
TEST(TableGrid, ALongCaptionGetsACappedColumnAndItsWholeTextInTheToolTip)
{
    const QString longCaption = QString("Очень длинное название параметра ").repeated(20);
    const QByteArray wideValue = QByteArray("0.55, 0.55, 0.6, 0.65, ").repeated(10);
    TForm7 t;
    t.beginChange();
    t.values().setColumnCount(4);
    t.values().setRowCount(2);
    t.values().setCell(0, 1, cp1251::encode(QStringLiteral("ПМ")));
    t.values().setCell(1, 0, cp1251::encode(longCaption));
    t.values().setCell(1, 1, "0.5");
    t.values().setCell(2, 0, cp1251::encode(QStringLiteral("Урон")));
    t.values().setCell(2, 1, "100");
    t.values().setCell(3, 0, cp1251::encode(longCaption));
    t.values().setCell(3, 1, wideValue);
    t.endChange();
    t.fitColumns();
    const QFontMetrics m(t.SG->font());
    EXPECT_EQ(t.SG->columnWidth(1), 160 + 5) << "capped";
    EXPECT_EQ(t.SG->columnWidth(2),
              qMax(m.horizontalAdvance("Урон"), m.horizontalAdvance("100")) + 5);
    EXPECT_EQ(t.SG->columnWidth(3), m.horizontalAdvance(QString::fromLatin1(wideValue)) + 5);
    const QAbstractItemModel *model = t.SG->model();
    EXPECT_EQ(model->index(0, 1).data(Qt::ToolTipRole).toString(), longCaption);
    EXPECT_EQ(model->index(1, 0).data(Qt::ToolTipRole).toString(), "ПМ");
    EXPECT_FALSE(model->index(1, 1).data(Qt::ToolTipRole).isValid()) << "a value has none";
    for (const char *overlay : {"FixedRow", "FixedColumn", "FixedCorner"})
        EXPECT_EQ(t.SG->findChild<QTableView *>(overlay)->textElideMode(), Qt::ElideRight)
            << overlay;
}

TEST(TableGrid, TheHeaderRowAndColumnStayInViewWhileTheCellsScroll)
{
    TForm7 t;
    t.beginChange();
    t.values().setColumnCount(30);
    t.values().setRowCount(40);
    for (int c = 0; c < 30; ++c)
        for (int r = 0; r < 40; ++r)
            t.values().setCell(c, r, QByteArray::number(c * 100 + r));
    t.endChange();
    t.fitColumns();
    t.show();
    QCoreApplication::processEvents();
    auto *row = t.SG->findChild<QTableView *>("FixedRow");
    auto *column = t.SG->findChild<QTableView *>("FixedColumn");
    ASSERT_TRUE(row && column);
    EXPECT_EQ(column->width(), t.SG->columnWidth(0) + 1);
    EXPECT_EQ(row->height(), t.SG->rowHeight(0) + 1);

    struct Case
    {
        int row, column;
    };
    for (const Case &c : {Case{35, 25}, Case{20, 1}, Case{1, 29}, Case{39, 1}}) {
        const QModelIndex index = t.SG->model()->index(c.row, c.column);
        t.SG->setCurrentIndex(index);
        QCoreApplication::processEvents();
        EXPECT_EQ(row->horizontalScrollBar()->value(), t.SG->horizontalScrollBar()->value());
        EXPECT_EQ(column->verticalScrollBar()->value(), t.SG->verticalScrollBar()->value());
        const QRect cell = t.SG->visualRect(index);
        EXPECT_GE(cell.left(), t.SG->columnWidth(0)) << c.row << "," << c.column;
        EXPECT_GE(cell.top(), t.SG->rowHeight(0)) << c.row << "," << c.column;
        EXPECT_EQ(column->indexAt(QPoint(2, cell.center().y())).row(), c.row)
            << "the fixed column shows the row's label beside it";
    }

    // Choosing a label keeps the columns where they are; the wheel over the labels scrolls.
    t.SG->setCurrentIndex(t.SG->model()->index(1, 29));
    const int left = t.SG->horizontalScrollBar()->value();
    t.SG->setCurrentIndex(t.SG->model()->index(30, 0));
    EXPECT_EQ(t.SG->horizontalScrollBar()->value(), left);
    const int top = t.SG->verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(5, 50), column->viewport()->mapToGlobal(QPointF(5, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(column->viewport(), &wheel);
    EXPECT_LT(t.SG->verticalScrollBar()->value(), top);
    EXPECT_EQ(column->verticalScrollBar()->value(), t.SG->verticalScrollBar()->value());
}

// The grid saved as a table file and as a spreadsheet file, edited, and loaded back: the saved
// texts return, and no empty rows come with them.
TEST_F(Table, AGridSavedInEitherFormatLoadsBack)
{
    TForm1 &w = start("Warning=2\n");
    click("Name_0");
    struct Format
    {
        QString filter, suffix;
        int rowsAfterLoad;
    };
    const Format formats[] = {{"TableSave (*.tsv)", ".tsv", 3}, {"Excel Table (*.xls)", ".xls", 3}};
    whileOpen([&](TForm7 &t) {
        for (const Format &format : formats) {
            const QString path = f.dir.path("saved");
            f.dialogs.saveFiles.enqueue(path);
            f.dialogs.selectedFilters.enqueue(format.filter);
            t.Button3->click();
            type(t.SG, 1, 1, "9.99");
            ASSERT_EQ(cell(t.SG, 1, 1), "9.99");
            f.dialogs.openFiles.enqueue(path + format.suffix);
            f.dialogs.selectedFilters.enqueue(format.filter);
            t.Button4->click();
            EXPECT_EQ(cell(t.SG, 1, 1), "0.45") << format.suffix.toStdString();
            EXPECT_EQ(cell(t.SG, 0, 2), "АК") << format.suffix.toStdString();
            EXPECT_EQ(t.SG->model()->rowCount(), format.rowsAfterLoad)
                << format.suffix.toStdString();
        }
    });
    w.N21->trigger();
    EXPECT_EQ(f.dialogs.messages, QStringList({Wait, "Данные сохранены!", "Данные загружены!",
                                               "Данные сохранены!", "Данные загружены!"}));
    EXPECT_EQ(gameFile(), Weapons) << "cancelled: nothing written";
}

// A load reads a file as what its first bytes say it is, whatever file type the dialog had
// selected and whatever its name; a workbook's empty rows at the end do not arrive.
TEST_F(Table, ALoadReadsTheFileAsWhatItIs)
{
    TForm1 &w = start("Warning=2\n");
    click("Name_0");
    const QString table = "TableSave (*.tsv)", sheet = "Excel Table (*.xls)";
    QFile::copy(BRANVIK_TEST_DATA "/xls/own-grid.xls", f.dir.path("own.tsv"));
    QFile::copy(BRANVIK_TEST_DATA "/xls/sample.xls", f.dir.path("mod.xls"));
    QFile::copy(BRANVIK_TEST_DATA "/xls/sample.xls", f.dir.path("workbook"));
    struct Case
    {
        const char *file;
        QString filter;
        int column, row;
        QString text; // of that cell after the load
        int rows;
    };
    const Case cases[] = {
        // A table file under the other file type.
        {"saved.tsv", sheet, 0, 2, "АК", 3},
        // The editor's own spreadsheet save (3 × 2) named as a table file; the row below it
        // keeps the grid's texts.
        {"own.tsv", table, 2, 0, "abc", 3},
        // Saved by a spreadsheet program: its five rows, none of the empty ones after them.
        {"mod.xls", table, 0, 1, "Нож", 5},
        {"workbook", table, 4, 4, "Ёлка №1 «ёж»", 5},
    };
    whileOpen([&](TForm7 &t) {
        f.dialogs.saveFiles.enqueue(f.dir.path("saved"));
        f.dialogs.selectedFilters.enqueue(table);
        t.Button3->click();
        for (const Case &c : cases) {
            f.dialogs.openFiles.enqueue(f.dir.path(c.file));
            f.dialogs.selectedFilters.enqueue(c.filter);
            t.Button4->click();
            EXPECT_EQ(cell(t.SG, c.column, c.row), c.text) << c.file;
            EXPECT_EQ(t.SG->model()->rowCount(), c.rows) << c.file;
        }
    });
    w.N21->trigger();
    EXPECT_EQ(f.dialogs.messages,
              QStringList({Wait, Saved, "Данные загружены!", "Данные загружены!",
                           "Данные загружены!", "Данные загружены!"}));
}

TEST_F(Table, ApplyListsTheCellsToWriteAndCancellingTheReviewReturnsToTheGrid)
{
    TForm1 &w = start("Warning=0\n");
    click("Name_0");
    int openings = 0;
    QList<QStringList> reviewed;
    f.dialogs.whileOpen = [&](QDialog *d) {
        if (auto *t = qobject_cast<TForm7 *>(d)) {
            if (++openings == 1) {
                type(t->SG, 1, 1, "0.5");
                type(t->SG, 2, 2, "700");
            } else {
                EXPECT_EQ(cell(t->SG, 1, 1), "0.5") << "the edits are kept";
                EXPECT_EQ(cell(t->SG, 2, 2), "700");
            }
            return;
        }
        QStringList lines;
        auto *list = d->findChild<QTreeWidget *>("ReviewList");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList columns;
            for (int c = 0; c < list->columnCount(); ++c)
                columns << list->topLevelItem(i)->text(c);
            lines << columns.join('|');
        }
        reviewed << lines;
        EXPECT_EQ(gameFile(), Weapons) << "nothing is written before the review is confirmed";
    };
    // Apply, cancel the review, apply again, confirm.
    f.dialogs.dialogResults << QDialog::Accepted << QDialog::Rejected << QDialog::Accepted
                            << QDialog::Accepted;
    w.N21->trigger();
    EXPECT_EQ(openings, 2);
    const QStringList expected{"ПМ|Урон|0.45 ; урон|0.5 ; урон|config\\w.ltx",
                               "АК|Темп|600|700|config\\w.ltx"};
    EXPECT_EQ(reviewed, QList<QStringList>({expected, expected}));
    EXPECT_EQ(gameFile(), WindowFixture::ini("[pm]\nhit= 0.5 ; урон\nrpm = 300\n"
                                             "[ak]\nhit = 0.6\nrpm= 700\n"));
    EXPECT_EQ(f.dialogs.shownDialogs,
              QStringList({"Form7", "TableReview", "Form7", "TableReview"}));
}

// As in a spreadsheet, dragging a column's right edge in row 0 (or a row's lower edge in column
// 0) resizes it; the edited cells are not touched.
TEST(TableGrid, TheMouseResizesColumnsAndRowsAtTheirEdges)
{
    TForm7 t;
    t.beginChange();
    t.values().setColumnCount(4);
    t.values().setRowCount(4);
    t.endChange();
    t.show();
    QCoreApplication::processEvents();
    auto *row = t.SG->findChild<QTableView *>("FixedRow");
    auto *column = t.SG->findChild<QTableView *>("FixedColumn");
    ASSERT_TRUE(row && column);
    struct Case
    {
        QTableView *overlay;
        Qt::Orientation orientation;
        int section, by;
    };
    for (const Case &c : {Case{row, Qt::Horizontal, 1, 30}, Case{row, Qt::Horizontal, 2, -20},
                          Case{column, Qt::Vertical, 2, 15}}) {
        const bool columns = c.orientation == Qt::Horizontal;
        const int before = columns ? t.SG->columnWidth(c.section) : t.SG->rowHeight(c.section);
        const int edge = columns ? t.SG->columnViewportPosition(c.section) + before
                                 : t.SG->rowViewportPosition(c.section) + before;
        const QPoint from = columns ? QPoint(edge, 5) : QPoint(5, edge);
        const QPoint to = from + (columns ? QPoint(c.by, 0) : QPoint(0, c.by));
        QWidget *viewport = c.overlay->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        EXPECT_EQ(columns ? t.SG->columnWidth(c.section) : t.SG->rowHeight(c.section),
                  before + c.by)
            << c.section;
    }
}

// Escape (or "Отмена", or the close command) with edited cells asks first: "Отмена" stays in
// the grid, "Не применять" closes, "Применить" goes on to the apply. Without edits: no question.
TEST_F(Table, ClosingWithEditedCellsAsksFirst)
{
    TForm1 &w = start();
    click("Name_0");
    whileOpen([&](TForm7 &t) {
        t.show();
        QApplication::setActiveWindow(&t);
        auto escape = [&] {
            t.SG->setFocus();
            QTest::keyClick(t.SG, Qt::Key_Escape);
        };
        escape();
        EXPECT_TRUE(f.dialogs.questions.isEmpty()) << "nothing edited: closed at once";
        EXPECT_FALSE(t.isVisible());
        EXPECT_EQ(t.result(), QDialog::Rejected);

        t.show();
        type(t.SG, 1, 1, "0.5");
        f.dialogs.answers << 2 << 1;
        escape(); // "Отмена": back to the grid
        ASSERT_EQ(f.dialogs.questions.size(), 1);
        EXPECT_EQ(f.dialogs.questions[0], "Изменённых ячеек: 1.\nПрименить их?");
        EXPECT_TRUE(t.isVisible());
        EXPECT_EQ(cell(t.SG, 1, 1), "0.5");
        t.Button2->click(); // "Не применять"
        EXPECT_EQ(f.dialogs.questions.size(), 2);
        EXPECT_FALSE(t.isVisible());
        EXPECT_EQ(t.result(), QDialog::Rejected);

        t.show();
        f.dialogs.answers << 0;
        t.close(); // "Применить"
        EXPECT_EQ(f.dialogs.questions.size(), 3);
        EXPECT_EQ(t.result(), QDialog::Accepted);
    });
    w.N21->trigger();
    EXPECT_EQ(gameFile(), Weapons) << "the scripted window was cancelled after all";
}

// The file type's suffix is added unless the name ends with it, and the question before
// replacing a file is about the file really written; a load finds the file by either name.
TEST_F(Table, SavesAddTheSuffixOnceAndAskAboutTheFileWritten)
{
    TForm1 &w = start("Warning=2\n");
    click("Name_0");
    const QString table = "TableSave (*.tsv)", sheet = "Excel Table (*.xls)";
    f.dir.write("old/grid", "not a table, never asked about");
    whileOpen([&](TForm7 &t) {
        auto save = [&](const QString &name, const QString &filter) {
            f.dialogs.saveFiles.enqueue(f.dir.path(name));
            f.dialogs.selectedFilters.enqueue(filter);
            t.Button3->click();
        };
        save("old/grid", table);
        EXPECT_TRUE(f.dialogs.questions.isEmpty());
        EXPECT_TRUE(TempDir::read(f.dir.path("old/grid.tsv")).startsWith("3\r\n3\r\n"));
        EXPECT_EQ(TempDir::read(f.dir.path("old/grid")), "not a table, never asked about");

        type(t.SG, 1, 1, "0.7");
        f.dialogs.answers << 1 << 0; // "Отмена", then "Заменить"
        save("old/grid.tsv", table);
        ASSERT_EQ(f.dialogs.questions.size(), 1);
        EXPECT_EQ(f.dialogs.questions[0], "Файл «grid.tsv» уже есть.\nЗаменить его?");
        EXPECT_FALSE(TempDir::read(f.dir.path("old/grid.tsv")).contains("0.7"));
        save("old/grid.tsv", table);
        EXPECT_EQ(f.dialogs.questions.size(), 2);
        EXPECT_TRUE(TempDir::read(f.dir.path("old/grid.tsv")).contains("\r\n0.7\r\n"));
        EXPECT_FALSE(QFile::exists(f.dir.path("old/grid.tsv.tsv")));

        save("old/tbl2.xls", sheet);
        EXPECT_TRUE(QFile::exists(f.dir.path("old/tbl2.xls")));
        EXPECT_FALSE(QFile::exists(f.dir.path("old/tbl2.xls.xls")));

        type(t.SG, 1, 1, "0.8");
        f.dialogs.openFiles.enqueue(f.dir.path("old/tbl2"));
        f.dialogs.selectedFilters.enqueue(sheet);
        t.Button4->click();
        EXPECT_EQ(cell(t.SG, 1, 1), "0.7") << "tbl2 loads tbl2.xls";
    });
    w.N21->trigger();
    EXPECT_EQ(f.dialogs.messages, QStringList({Wait, "Данные сохранены!", "Данные сохранены!",
                                               "Данные сохранены!", "Данные загружены!"}));
}

// After an apply the main window's rows show the files' values; the review lists a missing key's
// old value as absent.
TEST_F(Table, AnApplyReReadsTheRowsAndListsAMissingKeyAsAbsent)
{
    TForm1 &w = start("Warning=0\n");
    click("Name_0");
    f.dir.write("gamedata/config/w.ltx", WindowFixture::ini("[pm]\nhit = 0.45 ; урон\n"
                                                            "[ak]\nhit = 0.6\nrpm = 600\n"));
    QStringList old;
    f.dialogs.whileOpen = [&](QDialog *d) {
        if (auto *t = qobject_cast<TForm7 *>(d)) {
            type(t->SG, 1, 1, "0.5");
            type(t->SG, 2, 1, "350");
            return;
        }
        auto *list = d->findChild<QTreeWidget *>("ReviewList");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            old << list->topLevelItem(i)->text(2);
    };
    f.dialogs.dialogResults << QDialog::Accepted << QDialog::Accepted;
    w.N21->trigger();
    EXPECT_EQ(old, QStringList({"0.45 ; урон", "(нет в файле)"}));
    EXPECT_TRUE(gameFile().contains(WindowFixture::ini("rpm= 350\n")));
    EXPECT_EQ(f.dialogs.messages, QStringList({Wait, Saved}));
    auto *box = qobject_cast<ValueBox *>(f.window->findComponent("Name_0"));
    EXPECT_EQ(box->text(), "0.5") << "the row was read again";
}

namespace {

// A shown table window of 4 × 4 cells, (c, r) holding "c,r", data cells as given.
void fillShown(TForm7 &t, const QStringList &data = {})
{
    t.beginChange();
    t.values().setColumnCount(4);
    t.values().setRowCount(4);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            t.values().setCell(c, r, QByteArray::number(c) + ',' + QByteArray::number(r));
    for (int i = 0; i < data.size(); ++i)
        t.values().setCell(1 + i % 3, 1 + i / 3, data[i].toLatin1());
    t.endChange();
    t.show();
    QApplication::setActiveWindow(&t);
    t.showFromStart();
    t.SG->setFocus();
}

} // namespace

// Typing at once after a click into the selected cell: the whole text goes into that cell, not
// into a cell that a keyboard search found (here "100" and "9" start with the typed keys).
TEST(TableGrid, TypingRightAfterAClickIntoTheSelectedCellGoesWholeIntoIt)
{
    for (const QString typed : {"120", "95"}) {
        TForm7 t;
        fillShown(t, {"5", "x", "y", "100", "9", "z"});
        const QModelIndex first = t.SG->model()->index(1, 1);
        ASSERT_TRUE(t.SG->selectionModel()->isSelected(first));
        QTest::mouseClick(t.SG->viewport(), Qt::LeftButton, {}, t.SG->visualRect(first).center());
        // Keys go where the keyboard is: the grid, or its cell editor once one is open. A busy
        // machine may leave the window without focus for a moment: the grid then takes them.
        const auto keyboard = [&t] {
            QWidget *focus = QApplication::focusWidget();
            return focus ? focus : static_cast<QWidget *>(t.SG);
        };
        for (const QChar c : typed)
            QTest::keyClick(keyboard(), c.toLatin1());
        QTest::keyClick(keyboard(), Qt::Key_Return);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        EXPECT_EQ(t.values().cell(1, 1), typed.toLatin1());
        EXPECT_EQ(t.values().cell(1, 2), "100");
        EXPECT_EQ(t.values().cell(2, 2), "9");
        EXPECT_EQ(QApplication::focusWidget(), t.SG) << "no editor opened late";
    }
    // Without typing, the click opens the cell's editor once no double click can follow.
    TForm7 t;
    fillShown(t);
    const QModelIndex first = t.SG->model()->index(1, 1);
    QTest::mouseClick(t.SG->viewport(), Qt::LeftButton, {}, t.SG->visualRect(first).center());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_TRUE(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
}

// Tab after the last cell and Ctrl+Tab leave the grid for the buttons; Ctrl+Home goes to the
// first data cell, not to the corner under the fixed row and column.
TEST(TableGrid, TheKeyboardReachesTheButtonsAndTheFirstDataCell)
{
    TForm7 t;
    fillShown(t);
    QTest::keyClick(t.SG, Qt::Key_Tab);
    EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(1, 2)) << "Tab moves between cells";
    QTest::keyClick(t.SG, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), t.Button1);

    t.SG->setFocus();
    t.SG->setCurrentIndex(t.SG->model()->index(3, 3));
    QTest::keyClick(t.SG, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(1, 1));
    t.SG->setCurrentIndex(t.SG->model()->index(3, 2));
    QTest::keyClick(t.SG, Qt::Key_Tab);
    EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(3, 3));
    QTest::keyClick(t.SG, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), t.Button1) << "after the last cell";
    EXPECT_EQ(t.SG->currentIndex(), t.SG->model()->index(3, 3));
}
