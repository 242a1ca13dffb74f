#pragma once

#include <QDialog>
#include <QFont>
#include <QList>

#include <functional>

#include "table/GridCellStore.h"

class GridModel;
class QPushButton;
class QTableView;

// The table view of a catalogue page: one instance, reused for every table view. The value
// grid SG shows the cells; the remainder grid SG2, never shown, keeps what SG leaves out of each
// value (its comment part). "Применить" closes with Accepted, "Отмена" (and the window's close
// command, and Escape) with Rejected once confirmCancel agrees; "Сохранить" and "Загрузить"
// leave the window open. The buttons have mnemonics (Alt+letter), and Ctrl+Tab (or Tab at the
// last cell) leaves the grid for them.
class TForm7 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
    // The grids go first: an editor open in one commits its text into the stores as it closes,
    // and the stores are members, gone before the base class deletes the children.
    ~TForm7() override;

    QTableView *SG = nullptr;
    QTableView *SG2 = nullptr;
    QPushButton *Button1 = nullptr; // Применить
    QPushButton *Button3 = nullptr; // Сохранить
    QPushButton *Button4 = nullptr; // Загрузить
    QPushButton *Button2 = nullptr; // Отмена

    GridCellStore &values() { return values_; }
    GridCellStore &remainders() { return remainders_; }
    GridModel *valueModel() const { return valueModel_; }
    GridModel *remainderModel() const { return remainderModel_; }

    // Call around changes made to the stores directly (filling, loading).
    void beginChange();
    void endChange();

    // Each column of SG as wide as its widest text in SG's font, plus 5 pixels.
    void fitColumns();
    // The first data cell current and selected alone, the grid scrolled to its start.
    void showFromStart();

    // Asked before the window closes without applying ("Отмена", Escape, the close command);
    // false keeps it open. Unset: it closes.
    std::function<bool()> confirmCancel;
    void reject() override;

signals:
    void saveClicked();
    void loadClicked();
    void textRefused(const QString &text);

private:
    QTableView *createGrid(const char *name, GridModel *model);

    GridCellStore values_;
    GridCellStore remainders_;
    GridModel *valueModel_ = nullptr;
    GridModel *remainderModel_ = nullptr;
    QList<int> widths_; // of SG's columns, kept over a change
    // The advance of each Windows-1251 character in advancesFont_, for fitColumns' estimates.
    QList<int> advances_;
    QFont advancesFont_;
};
