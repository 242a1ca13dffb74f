#pragma once

#include <QBasicTimer>
#include <QPersistentModelIndex>
#include <QTableView>

// A grid whose row 0 and column 0 stay in view while the other cells scroll, as the fixed rows
// and columns of a spreadsheet do. They remain ordinary cells of the model: three views laid
// over the grid's edges show them, sharing its model and selection. As in a spreadsheet, the
// mouse resizes a column by dragging its right edge in row 0, and a row by dragging its lower
// edge in column 0.
//
// Keyboard: typed text always goes whole into the current cell, also right after a click into
// the selected cell; Tab and Shift+Tab move between the data cells and leave the grid after the
// last one (before the first), Ctrl+Tab and Ctrl+Shift+Tab leave it at once; Ctrl+Home goes to
// the first data cell.
class GridView : public QTableView
{
    Q_OBJECT
public:
    explicit GridView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    using QTableView::edit;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTableView *createOverlay(const char *name);
    void placeOverlays();
    // The column (or row) whose right (or lower) edge is at pos in the overlay, or -1.
    static int edgeAt(const QTableView *overlay, Qt::Orientation orientation, int pos);
    bool resizeWithMouse(QTableView *overlay, QEvent *event);

    struct Resize
    {
        Qt::Orientation orientation = Qt::Horizontal;
        int section = -1; // -1: no resize under way
        int start = 0;    // mouse position when it began
        int size = 0;     // the section's size then
    };
    Resize resize_;

    // Whether the current cell is the last one, or the first data cell (1, 1).
    bool atLastCell() const;
    bool atFirstDataCell() const;

    // The editor a click into the selected cell opens once no double click can follow.
    QBasicTimer delayedEdit_;
    QPersistentModelIndex delayedIndex_;
    EditTrigger lastTrigger_ = NoEditTriggers;

    QTableView *fixedRow_ = nullptr;
    QTableView *fixedColumn_ = nullptr;
    QTableView *corner_ = nullptr;
};
