#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSet>

#include <functional>
#include <memory>

#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"
#include "ui/window/RowData.h"

class GameValues;
class QPushButton;
class QTabWidget;
class QWidget;
class RowEditor;
class ValueBox;
class WindowHost;

// Turns the catalogue walk into the main window's tabs and editor rows: one outer tab per
// switched-on page, one sub-tab per sub-tab of its page file, one row per entry, each row filled
// with the parameter's current value.
//
// The walk makes the tabs and, for each entry, the row's data (RowData): its name and running
// number, its place and its value. A row's controls are created when its sub-tab shows the area
// where it stands (or is scrolled near it), or when a command finds one of them by name; a user
// sees one sub-tab at a time, so a start does not pay for thousands of controls nobody looks
// at, and a sub-tab of thousands of rows costs only the rows in view. Every control is owned by
// the main window and added to its components as it is created; their events go to the row
// editor.
class TabBuilder : public CatalogueVisitor
{
public:
    // rowBuilt is called with the number of rows named so far after every row of the walk;
    // created with the controls of a sub-tab's rows right after they were created.
    TabBuilder(WindowHost &host, RowEditor &rows, std::function<void(int)> rowBuilt = {},
               std::function<void(const QList<QWidget *> &)> created = {});
    ~TabBuilder() override;

    // Rows named so far: the running number of the next row.
    int rowCount() const { return rowCount_; }

    void notice(MessageKind kind, const QString &text) override;
    bool beginPage(const CataloguePage &page) override;
    bool beginSubTab(const CatalogueSubTab &subTab) override;
    bool entry(const CatalogueEntry &entry) override;
    bool endPage(const CataloguePage &page) override;

    // Completes the sub-tab of the walk built last; call after the walk, whether it completed
    // or not. Returns the problems the includes and parents of the game files gave the walk.
    QStringList finish();

    // From now on a sub-tab's rows get their controls when it is first shown; the sub-tabs on
    // screen now get them at once.
    void buildOnShow();

    QList<RowData> &rows() { return data_; }
    const QList<RowData> &rows() const { return data_; }
    // The value box of row `index` (its sub-tab's controls created first); null for a row
    // without controls.
    QWidget *rowBox(int index);
    // The sub-tab that shows row `index`; null for none.
    QWidget *rowSheet(int index) const;
    // Creates the controls of the sub-tab holding the row of the control named `name` (a row
    // control's name, RowNames.h); false when no row of the walk has that name or its controls
    // existed already.
    bool buildRowsFor(const QString &name);
    // The row named by a row control's name; -1 for none.
    int rowNamed(const QString &name) const;
    // Creates the controls of every row whose entry follows the entry of the named value box's
    // row in the same page file section (a delete renumbers them).
    void buildRowsOfSectionOf(const QString &boxName);
    // Rows whose controls have values in the saved state (names folded to lower case): they
    // get their controls as soon as their sub-tab is shown, wherever the saved place is.
    void setRowsWithSavedState(const QByteArrayList &foldedNames);

private:
    struct Slot
    {
        int x, y;
    };
    struct Sheet
    {
        QWidget *widget = nullptr;
        int first = 0, end = 0; // its rows in data_
        int left = 0;           // rows without their controls yet
        bool shown = false;
    };
    class ShowWatcher;

    Slot takeRowSlot();
    void buildOrdinaryRow(const RowData &row);
    void buildTradeRow(const RowData &row);
    void addTableButton(const CatalogueEntry &entry);
    ValueBox *createValueBox(const QString &name, const Slot &slot, const CatalogueEntry &entry,
                             const ParameterLookup::RowValue &value);
    QPushButton *createApplyButton(const QString &name, const Slot &slot,
                                   const CatalogueEntry &entry);
    // Creates the controls of the sub-tab's rows in and near the area it shows.
    void buildVisibleRows(int sheet);
    // Creates the controls of those of the rows (indexes in data_) that have none yet.
    void buildRows(int sheet, const QList<int> &rows);
    void showNewControls();
    void finishSubTab();
    void fitSheet();
    template <class T> T *create(const QString &name);

    WindowHost &host_;
    RowEditor &rows_;
    std::function<void(int)> rowBuilt_;
    std::function<void(const QList<QWidget *> &)> created_;
    std::unique_ptr<ShowWatcher> watcher_;
    int rowCount_ = 0;
    QList<RowData> data_;
    std::unique_ptr<GameValues> values_; // the reader of the walk's values
    QList<int> byNumber_;                // running number -> index in data_
    QList<Sheet> sheets_;
    QHash<const QWidget *, int> sheetOf_;
    bool buildOnShow_ = false;
    QSet<int> savedRows_;

    // The walk's current page and sub-tab (or the sub-tab whose rows are being created).
    QTabWidget *innerTabs_ = nullptr;
    QWidget *subTab_ = nullptr;
    QString pageCaption_, subTabCaption_;
    QPushButton *tableButton_ = nullptr;
    QList<QWidget *> newControls_;
    QRect extent_; // of the current sub-tab's controls
    QByteArray pageFilePath_;
    int row_ = 1;
    int column_ = 1;
};
