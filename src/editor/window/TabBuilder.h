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
#include "catalogue/Rows.h"

class QPushButton;
class QTabWidget;
class QWidget;
class RowEditor;
class ValueBox;
class WindowHost;

// Turns the catalogue walk into the main window's tabs and editor rows: one outer tab per
// switched-on page, one sub-tab per sub-tab of its page file, one row per entry.
//
// The walk makes the tabs and, for each entry, a row of the window's rows (Rows): its running
// number and its place. Everything else waits until a user looks: a sub-tab's scroll area and
// the sheet inside it are made when its tab is first shown (or a command needs its rows), a
// row's value is read and its controls are created when its sub-tab shows the area where it
// stands (or is scrolled near it), or when a command finds one of them by name. A user sees one
// sub-tab at a time, so a start pays for the tab strips and the rows of one sub-tab, not for
// thousands of controls nobody looks at. Every control is owned by the main window and added to
// its components as it is created; their events go to the row editor.
class TabBuilder : public CatalogueVisitor
{
public:
    // rowBuilt is called with the number of rows named so far after every row of the walk;
    // created with the controls of a sub-tab's rows right after they were created.
    TabBuilder(WindowHost &host, RowEditor &editor, std::function<void(int)> rowBuilt = {},
               std::function<void(const QList<QWidget *> &)> created = {});
    ~TabBuilder() override;

    // Rows named so far: the running number of the next row.
    int rowCount() const;

    void notice(MessageKind kind, const QString &text) override;
    bool beginPage(const CataloguePage &page) override;
    bool beginSubTab(const CatalogueSubTab &subTab) override;
    bool entry(const CatalogueEntry &entry) override;
    bool endPage(const CataloguePage &page) override;

    // Completes the sub-tab of the walk built last; call after the walk, whether it completed
    // or not.
    void finish();

    // From now on a sub-tab's rows get their controls when it is first shown; the sub-tabs on
    // screen now get them at once.
    void buildOnShow();

    // The value box of row `index` (its sub-tab's controls created first); null for a row
    // without controls.
    QWidget *rowBox(int index);
    // The sub-tab that shows row `index` (made when it was not yet); null for none.
    QWidget *rowSheet(int index);
    // Creates the controls of the sub-tab holding the row of the control named `name` (a row
    // control's name, RowNames.h); false when no row of the walk has that name or its controls
    // existed already.
    bool buildRowsFor(const QString &name);
    // The row named by a row control's name; -1 for none.
    int rowNamed(const QString &name) const;
    // Rows whose controls have values in the saved state (names folded to lower case): they
    // get their controls as soon as their sub-tab is shown, wherever the saved place is.
    void setRowsWithSavedState(const QByteArrayList &foldedNames);

private:
    struct Slot
    {
        int x, y;
    };
    // A sub-tab as the window shows it.
    struct Sheet
    {
        QWidget *page = nullptr;   // the tab's page
        QWidget *widget = nullptr; // the rows' parent in the page's scroll area, once made
        QRect extent;              // of its rows and buttons
        int left = 0;              // rows without their controls yet
        bool shown = false;
        // Its picture button (an image named) and table button (entries of a table page).
        int number = 0;
        QByteArray caption, image, pageFile;
        int tablePage = 0, tableSubTab = 0;
    };
    class SheetPage;
    class ShowWatcher;

    Slot takeRowSlot();
    // The sheet of sub-tab `index`, made with its scroll area and buttons when it was not yet.
    QWidget *sheetWidget(int index);
    void buildOrdinaryRow(QWidget *parent, const Rows::Row &row);
    void buildTradeRow(QWidget *parent, const Rows::Row &row);
    ValueBox *createValueBox(QWidget *parent, const QString &name, const Rows::Row &row);
    QPushButton *createApplyButton(QWidget *parent, const QString &name, const Rows::Row &row);
    // Creates the controls of the sub-tab's rows in and near the area it shows.
    void buildVisibleRows(int sheet);
    // Creates the controls of those of the rows (indexes in the rows) that have none yet,
    // reading the values of those without one first.
    void buildRows(int sheet, const QList<int> &rows);
    void finishSubTab();
    template <class T> T *create(QWidget *parent, const QString &name);

    WindowHost &host_;
    Rows &rows_;
    RowEditor &editor_;
    std::function<void(int)> rowBuilt_;
    std::function<void(const QList<QWidget *> &)> created_;
    std::unique_ptr<ShowWatcher> watcher_;
    QList<Sheet> sheets_;
    QHash<const QWidget *, int> sheetOf_;
    bool buildOnShow_ = false;
    QSet<int> savedRows_;
    QList<QWidget *> newControls_;

    // The walk's current page and sub-tab.
    QTabWidget *innerTabs_ = nullptr;
    int walking_ = -1; // the sub-tab being walked
    QString pageCaption_;
    QByteArray pageFilePath_;
    bool tableMode_ = false;
    int row_ = 1;
    int column_ = 1;
};
