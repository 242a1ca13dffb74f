#include "table/window/TForm7.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include "table/window/GridModel.h"
#include "table/window/GridView.h"
#include "textcodec/Cp1251.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr int GridHeight = 409;
constexpr int RowHeight = 20;

// Grids start with the five rows and columns of an empty grid.
constexpr int InitialCount = 5;

// A parameter's caption (row 0) widens its column up to this; a longer one ends in "…" and its
// tool tip shows it whole, so one long caption does not push the values beside it out of view.
constexpr int CaptionWidthCap = 160;
// Of a caption, the characters measured: more never fit the cap.
constexpr int CaptionMeasured = 200;

} // namespace

TForm7::~TForm7()
{
    delete SG;
    delete SG2;
}

TForm7::TForm7(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form7");
    setWindowTitle(QStringLiteral("Табличный вид"));
    // A title bar without buttons; the window manager's close command still cancels.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(690, 469);

    for (GridCellStore *store : {&values_, &remainders_}) {
        store->setColumnCount(InitialCount);
        store->setRowCount(InitialCount);
    }
    valueModel_ = new GridModel(values_, this);
    remainderModel_ = new GridModel(remainders_, this);
    SG = createGrid("SG", valueModel_);
    SG2 = createGrid("SG2", remainderModel_);
    SG2->hide();
    connect(valueModel_, &GridModel::textRefused, this, &TForm7::textRefused);
    connect(remainderModel_, &GridModel::textRefused, this, &TForm7::textRefused);

    auto button = [this](const char *name, const QString &caption, int left) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(left, 440, 165, 27);
        // Enter in the grid edits a cell; it must never apply or cancel the table.
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("&Применить"), 0);
    Button3 = button("Button3", QStringLiteral("&Сохранить"), 176);
    Button4 = button("Button4", QStringLiteral("&Загрузить"), 352);
    Button2 = button("Button2", QStringLiteral("&Отмена"), 526);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, &TForm7::saveClicked);
    connect(Button4, &QPushButton::clicked, this, &TForm7::loadClicked);
}

QTableView *TForm7::createGrid(const char *name, GridModel *model)
{
    auto *grid = new GridView(this);
    grid->setObjectName(name);
    grid->setGeometry(0, 0, width(), GridHeight);
    // Row 0 and column 0 are the grid's own header cells.
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    grid->setModel(model);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->setShowGrid(true);
    grid->setTabKeyNavigation(true);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setWordWrap(false);
    return grid;
}

void TForm7::beginChange()
{
    widths_.clear();
    for (int c = 0; c < values_.columnCount(); ++c)
        widths_.append(SG->columnWidth(c));
    valueModel_->beginChange();
    remainderModel_->beginChange();
}

void TForm7::endChange()
{
    valueModel_->endChange();
    remainderModel_->endChange();
    // Resetting the model resets the columns; a load keeps the widths they had.
    for (int c = 0; c < qMin(int(widths_.size()), values_.columnCount()); ++c)
        SG->setColumnWidth(c, widths_[c]);
}

// Shaping every cell's text costs more than filling the grid. Each text's width is first
// estimated from the advances of its characters (a table of the 256 Windows-1251 characters); the
// shaped width lies within a pixel per character of that (kerning and rounding), so in each column
// only the texts whose estimate comes near the widest measured one are shaped, widest first.
void TForm7::fitColumns()
{
    const QFont font = SG->font();
    if (advancesFont_ != font || advances_.isEmpty()) {
        const QFontMetrics metrics(font);
        advances_.resize(256);
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            const QString text = cp1251::toUnicode(QByteArray(&c, 1));
            advances_[b] = text.size() == 1 ? metrics.horizontalAdvance(text.front()) : 0;
        }
        advancesFont_ = font;
    }
    const QFontMetrics metrics(font);
    constexpr int Margin = 4;
    struct Text
    {
        int estimate;
        QByteArray bytes;
    };
    std::vector<Text> texts;
    for (int c = 0; c < values_.columnCount(); ++c) {
        texts.clear();
        // Row 0 of a parameter's column is its caption, measured apart.
        const int firstRow = c > 0 ? 1 : 0;
        for (int r = firstRow; r < values_.rowCount(); ++r) {
            QByteArray bytes = values_.cell(c, r);
            int estimate = 0;
            for (const char b : std::as_const(bytes))
                estimate += advances_[static_cast<unsigned char>(b)];
            texts.push_back({estimate, std::move(bytes)});
        }
        std::sort(texts.begin(), texts.end(),
                  [](const Text &a, const Text &b) { return a.estimate > b.estimate; });
        int widest = 0;
        for (const Text &text : texts) {
            if (text.estimate + text.bytes.size() + Margin < widest)
                continue;
            widest = qMax(widest, metrics.horizontalAdvance(cp1251::toUnicode(text.bytes)));
        }
        if (firstRow > 0) {
            const QString caption = cp1251::toUnicode(values_.cell(c, 0).left(CaptionMeasured));
            widest = qMax(widest, qMin(CaptionWidthCap, metrics.horizontalAdvance(caption)));
        }
        SG->setColumnWidth(c, widest + 5);
    }
}

void TForm7::showFromStart()
{
    SG->setCurrentIndex(valueModel_->index(1, 1));
    SG->scrollToTop();
    SG->horizontalScrollBar()->setValue(0);
}

void TForm7::reject()
{
    if (confirmCancel && !confirmCancel())
        return;
    QDialog::reject();
}
