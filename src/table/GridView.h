#pragma once

#include <QTableView>

// A grid whose row 0 and column 0 stay in view while the other cells scroll, as the fixed rows
// and columns of a spreadsheet do. They remain ordinary cells of the model: three views laid
// over the grid's edges show them, sharing its model and selection.
class GridView : public QTableView
{
    Q_OBJECT
public:
    explicit GridView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *createOverlay(const char *name);
    void placeOverlays();

    QTableView *fixedRow_ = nullptr;
    QTableView *fixedColumn_ = nullptr;
    QTableView *corner_ = nullptr;
};
