#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <optional>

#include "catalogue/window/CatalogueDragging.h"

class QAction;
class QTabWidget;
class QWidget;
class TForm3;
class TForm4;
class WindowHost;

// The texts the add-entry command offers; it keeps what its fields held last.
struct EntryExamples
{
    QByteArray file, section, key, caption, help;
};

// Editing the catalogue from the main window: the pop-up menu of the value boxes shows,
// adds and deletes catalogue entries (properties dialog TForm3, confirmation TForm4), the
// settings menu switches pages on and off, and dragging rearranges the tabs for the run and
// moves rows, whose new places the state saver keeps.
//
// The entry commands act on the row clicked last (the selection context of N9, N11 and N13)
// and change its page file at once, each in one save (CatalogueEdit); the window is not
// rebuilt, so changes show at the next start, except a deleted row, which is hidden at once. A
// write that fails leaves the file as it was and says which file and why.
//
// Dragging is CatalogueDragging's; the main window reaches it through the forwards below.
class CatalogueEditor : public QObject
{
    Q_OBJECT
public:
    CatalogueEditor(WindowHost &host, TForm3 &properties, TForm4 &confirmation,
                    EntryExamples &examples);
    ~CatalogueEditor() override;

    void N9Click();  // entry properties
    void N11Click(); // add an entry at the end of the selected row's sub-tab
    void N13Click(); // delete the selected entry
    void N18Click(); // which pages are shown

    // Dragging (see CatalogueDragging).
    void attachDragHandlers();
    // A row caption created after the start: the mouse drags it too.
    void attachDragHandler(QWidget *caption);
    void fitSubTabsToRows();
    void PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos);
    void PageControl1DragOver(QTabWidget *tabs, QObject *source, const QPoint &pos, bool *accept);
    void PageControl1DragDrop(QTabWidget *tabs, QObject *source, const QPoint &pos);
    void LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos, bool *accept);

private:
    struct Target;
    // The selected entry's page file and section; empty (after a message) when no row is
    // selected, the row was deleted or its sub-tab is gone from the page file.
    std::optional<Target> target();
    void writeFailed(const QString &error);
    // Texts of the dialog's fields as Windows-1251; false (after a message) when one cannot be
    // held.
    bool fieldTexts(QByteArray (&out)[5]);
    // The title of the first field of the add dialog that still starts with its example, or an
    // empty text.
    QString fieldWithExample() const;
    // Puts the question about deleting the entry into the confirmation window.
    void askDeletion(const Target &t, int number);
    // Hides the deleted row and gives the rows after it their new entry numbers.
    void hideDeletedRow(const Target &t);
    QAction *item(const char *name) const;

    WindowHost &host_;
    TForm3 &form3_;
    TForm4 &form4_;
    EntryExamples &examples_;
    CatalogueDragging drag_;
};
