#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

#include <functional>

#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"

class QPushButton;
class QTabWidget;
class QWidget;
class RowEditor;
class ValueBox;
class WindowHost;

// Turns the catalogue walk into the main window's tabs and editor rows: one outer tab per
// switched-on page, one sub-tab per sub-tab of its page file, one row per entry, each row filled
// with the parameter's current value. Every control is owned by the main window and added to
// its components in creation order; rows are found later by name (RowNames.h) and their events
// go to the row editor.
class TabBuilder : public CatalogueVisitor
{
public:
    // rowBuilt is called with the number of rows built so far after every row.
    TabBuilder(WindowHost &host, RowEditor &rows, std::function<void(int)> rowBuilt = {});

    // Rows built so far: the running number of the next row.
    int rowCount() const { return rowCount_; }

    void notice(MessageKind kind, const QString &text) override;
    bool beginPage(const CataloguePage &page) override;
    bool beginSubTab(const CatalogueSubTab &subTab) override;
    bool entry(const CatalogueEntry &entry) override;
    bool endPage(const CataloguePage &page) override;

    // Completes the sub-tab built last; call after the walk, whether it completed or not.
    void finish();

private:
    struct Slot
    {
        int x, y;
    };
    Slot takeRowSlot();
    void buildOrdinaryRow(const CatalogueEntry &entry);
    void buildTradeRow(const CatalogueEntry &entry);
    void addTableButton(const CatalogueEntry &entry);
    QByteArray lookUp(const CatalogueEntry &entry) const;
    ValueBox *createValueBox(const QString &name, const Slot &slot, const CatalogueEntry &entry,
                             const ParameterLookup::RowValue &value);
    QPushButton *createApplyButton(const QString &name, const Slot &slot,
                                   const CatalogueEntry &entry);
    void rowBuilt();
    void showNewControls();
    void finishSubTab();
    template <class T> T *create(const QString &name);

    WindowHost &host_;
    RowEditor &rows_;
    std::function<void(int)> rowBuilt_;
    int rowCount_ = 0;
    QTabWidget *innerTabs_ = nullptr;
    QWidget *subTab_ = nullptr;
    QPushButton *tableButton_ = nullptr;
    QList<QWidget *> newControls_;
    QRect extent_; // of the current sub-tab's controls
    QByteArray pageFilePath_;
    int row_ = 1;
    int column_ = 1;
};
