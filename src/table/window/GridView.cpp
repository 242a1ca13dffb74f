#include "table/window/GridView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <utility>

GridView::GridView(QWidget *parent) : QTableView(parent)
{
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    fixedRow_ = createOverlay("FixedRow");
    fixedColumn_ = createOverlay("FixedColumn");
    corner_ = createOverlay("FixedCorner");

    connect(horizontalScrollBar(), &QScrollBar::valueChanged, fixedRow_->horizontalScrollBar(),
            &QScrollBar::setValue);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, fixedColumn_->verticalScrollBar(),
            &QScrollBar::setValue);
    // Sizes follow the grid's own.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                for (QTableView *v : {fixedRow_, fixedColumn_, corner_})
                    v->setColumnWidth(column, size);
                if (column == 0)
                    placeOverlays();
            });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row, int, int size) {
        for (QTableView *v : {fixedRow_, fixedColumn_, corner_})
            v->setRowHeight(row, size);
        if (row == 0)
            placeOverlays();
    });
}

QTableView *GridView::createOverlay(const char *name)
{
    auto *view = new QTableView(this);
    view->setObjectName(name);
    view->setFocusPolicy(Qt::NoFocus);
    view->setFrameShape(QFrame::NoFrame);
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->horizontalHeader()->setMinimumSectionSize(1);
    view->verticalHeader()->setMinimumSectionSize(1);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollMode(ScrollPerPixel);
    view->setVerticalScrollMode(ScrollPerPixel);
    view->setEditTriggers(NoEditTriggers);
    // Only the grid scrolls them; selecting a cell must not.
    view->setAutoScroll(false);
    // A caption or sub-tab name wider than its column ends in "…" (its tool tip shows it whole).
    view->setTextElideMode(Qt::ElideRight);
    view->setWordWrap(false);
    // The wheel scrolls the grid, which the overlays follow; edges are dragged to resize.
    view->viewport()->installEventFilter(this);
    view->viewport()->setMouseTracking(true);
    return view;
}

void GridView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    for (QTableView *v : {fixedRow_, fixedColumn_, corner_}) {
        v->setModel(model);
        v->setSelectionModel(selectionModel());
        v->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    }
    connect(model, &QAbstractItemModel::modelReset, this, &GridView::placeOverlays);
    placeOverlays();
}

void GridView::placeOverlays()
{
    if (!model())
        return;
    const QRect area = viewport()->geometry();
    const int width0 = columnWidth(0);
    const int height0 = rowHeight(0);
    // One pixel more covers the grid line after the fixed cells.
    fixedRow_->setGeometry(area.x(), area.y(), area.width(), qMin(height0 + 1, area.height()));
    fixedColumn_->setGeometry(area.x(), area.y(), qMin(width0 + 1, area.width()), area.height());
    corner_->setGeometry(area.x(), area.y(), qMin(width0 + 1, area.width()),
                         qMin(height0 + 1, area.height()));
    for (QTableView *v : {fixedRow_, fixedColumn_, corner_}) {
        v->setShowGrid(showGrid());
        v->setVisible(true);
        v->raise();
    }
    corner_->raise();
    for (auto [from, to] : {std::pair{horizontalScrollBar(), fixedRow_->horizontalScrollBar()},
                            std::pair{verticalScrollBar(), fixedColumn_->verticalScrollBar()}}) {
        to->setRange(from->minimum(), from->maximum());
        to->setValue(from->value());
    }
}

void GridView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placeOverlays();
}

bool GridView::eventFilter(QObject *watched, QEvent *event)
{
    // The grid filters its own scroll bars' events too: only the overlays' events are taken.
    QTableView *overlay = nullptr;
    for (QTableView *v : {fixedRow_, fixedColumn_, corner_}) {
        if (v && watched == v->viewport()) // the overlays are made one after the other
            overlay = v;
    }
    if (!overlay)
        return QTableView::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    if (resizeWithMouse(overlay, event))
        return true;
    return QTableView::eventFilter(watched, event);
}

int GridView::edgeAt(const QTableView *overlay, Qt::Orientation orientation, int pos)
{
    constexpr int Grip = 3; // pixels either side of an edge
    const bool columns = orientation == Qt::Horizontal;
    const int at = columns ? overlay->columnAt(pos) : overlay->rowAt(pos);
    for (int section : {at - 1, at,
                        at < 0 ? (columns ? overlay->model()->columnCount() - 1
                                          : overlay->model()->rowCount() - 1)
                               : -1}) {
        if (section < 0)
            continue;
        const int edge =
            columns ? overlay->columnViewportPosition(section) + overlay->columnWidth(section)
                    : overlay->rowViewportPosition(section) + overlay->rowHeight(section);
        if (qAbs(pos - edge) <= Grip)
            return section;
    }
    return -1;
}

bool GridView::resizeWithMouse(QTableView *overlay, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint pos = mouse->position().toPoint();
    if (resize_.section >= 0) {
        const bool columns = resize_.orientation == Qt::Horizontal;
        const int moved = (columns ? pos.x() : pos.y()) - resize_.start;
        const int size = qMax(1, resize_.size + moved);
        if (columns)
            setColumnWidth(resize_.section, size);
        else
            setRowHeight(resize_.section, size);
        if (type == QEvent::MouseButtonRelease)
            resize_.section = -1;
        return true;
    }
    // Row 0 resizes columns, column 0 rows, the corner cell both.
    int section = -1;
    Qt::Orientation orientation = Qt::Horizontal;
    if (overlay != fixedColumn_)
        section = edgeAt(overlay, Qt::Horizontal, pos.x());
    if (section < 0 && overlay != fixedRow_) {
        section = edgeAt(overlay, Qt::Vertical, pos.y());
        orientation = Qt::Vertical;
    }
    if (section < 0) {
        overlay->viewport()->unsetCursor();
        return false;
    }
    overlay->viewport()->setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor
                                                                 : Qt::SplitVCursor);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const bool columns = orientation == Qt::Horizontal;
        resize_ = {orientation, section, columns ? pos.x() : pos.y(),
                   columns ? columnWidth(section) : rowHeight(section)};
        return true;
    }
    return false;
}

void GridView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const int left = horizontalScrollBar()->value();
    const int top = verticalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid())
        return;
    // A fixed cell is always in view: choosing one scrolls nothing along its fixed direction.
    if (index.column() == 0)
        horizontalScrollBar()->setValue(left);
    if (index.row() == 0)
        verticalScrollBar()->setValue(top);
    // A cell must not end up under the fixed row or column.
    const QRect cell = visualRect(index);
    if (index.column() > 0 && cell.left() < columnWidth(0))
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() -
                                        (columnWidth(0) - cell.left()));
    if (index.row() > 0 && cell.top() < rowHeight(0))
        verticalScrollBar()->setValue(verticalScrollBar()->value() - (rowHeight(0) - cell.top()));
}

bool GridView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const EditTrigger last = lastTrigger_;
    lastTrigger_ = trigger;
    if (trigger == SelectedClicked) {
        // A click into the selected cell opens its editor when no double click follows. Qt's
        // own wait takes the keys typed meanwhile for a search that moves to another cell and
        // loses them; here they go into the clicked cell (see the other triggers below).
        if (last == DoubleClicked || !(editTriggers() & SelectedClicked) ||
            state() == EditingState || !index.isValid() ||
            !(model()->flags(index) & Qt::ItemIsEditable) || !selectionModel()->isSelected(index))
            return false;
        delayedIndex_ = index;
        delayedEdit_.start(QApplication::doubleClickInterval(), this);
        return true;
    }
    // A key, a double click or a move ends the wait: the editor opens (or not) for it alone.
    if (trigger != NoEditTriggers)
        delayedEdit_.stop();
    return QTableView::edit(index, trigger, event);
}

void GridView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != delayedEdit_.timerId()) {
        QTableView::timerEvent(event);
        return;
    }
    delayedEdit_.stop();
    if (delayedIndex_.isValid() && delayedIndex_ == currentIndex() && state() != EditingState)
        edit(QModelIndex(delayedIndex_));
}

bool GridView::atLastCell() const
{
    const QModelIndex current = currentIndex();
    return model() && current.isValid() && current.row() == model()->rowCount() - 1 &&
           current.column() == model()->columnCount() - 1;
}

bool GridView::atFirstDataCell() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && current.row() <= 1 && current.column() <= 1;
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+Tab leaves the grid for the window's buttons; Tab alone moves between cells.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
        (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab &&
                                    !(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool GridView::focusNextPrevChild(bool next)
{
    // Tab after the last cell (Shift+Tab before the first data cell) goes on to the next
    // control instead of wrapping around inside the grid.
    if (state() != EditingState && (next ? atLastCell() : atFirstDataCell()))
        return QWidget::focusNextPrevChild(next);
    return QTableView::focusNextPrevChild(next);
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    const int rows = model() ? model()->rowCount() : 0;
    const int columns = model() ? model()->columnCount() : 0;
    if (rows < 2 || columns < 2 || !current.isValid())
        return QTableView::moveCursor(action, modifiers);
    // Ctrl+Home: the first data cell, not the corner cell under the fixed row and column.
    if (action == MoveHome && (modifiers & Qt::ControlModifier))
        return model()->index(1, 1);
    // Tab and Shift+Tab go through the data cells row by row, passing over the labels.
    if ((action == MoveNext || action == MovePrevious) && current.row() > 0 &&
        current.column() > 0) {
        int row = current.row();
        int column = current.column();
        if (action == MoveNext) {
            if (column < columns - 1)
                ++column;
            else if (row < rows - 1)
                ++row, column = 1;
        } else {
            if (column > 1)
                --column;
            else if (row > 1)
                --row, column = columns - 1;
        }
        return model()->index(row, column);
    }
    return QTableView::moveCursor(action, modifiers);
}

void GridView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in the editor of the last cell (Shift+Tab in the first) keeps the text and leaves
    // the grid, as Tab does outside the editor.
    const bool leave = (hint == QAbstractItemDelegate::EditNextItem && atLastCell()) ||
                       (hint == QAbstractItemDelegate::EditPreviousItem && atFirstDataCell());
    QTableView::closeEditor(editor, leave ? QAbstractItemDelegate::NoHint : hint);
    if (leave)
        QWidget::focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}
