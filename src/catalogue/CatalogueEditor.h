#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <optional>

class ProfileFile;
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
// and write its page file at once; the window is not rebuilt, so changes show at the next
// start, except a deleted row, which is hidden at once. A write that fails ends the command
// with a message naming the file and the reason.
//
// Dragging: the handlers take positions in the coordinates of the control they are called
// for, so they can be driven without a mouse. attachDragHandlers() lets the tab strips and
// the rows' caption labels feed them from real mouse moves.
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

    // After the tabs and rows are built: the outer and inner tab strips and the caption labels
    // of the ordinary rows start drags.
    void attachDragHandlers();
    // After the window state is restored: each sub-tab grows to hold the rows moved beyond it,
    // so its scroll bars reach them.
    void fitSubTabsToRows();

    // A button pressed on a tab control: its drag starts once the pointer has moved
    // DragThreshold pixels with the button held.
    void PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos);
    // Anything dragged over a tab control: the drop is accepted, and the active tab moves to
    // the place of the tab under the pointer.
    void PageControl1DragOver(QTabWidget *tabs, QObject *source, const QPoint &pos, bool *accept);
    void PageControl1DragDrop(QTabWidget *tabs, QObject *source, const QPoint &pos);
    // A row's caption label dragged over its own sub-tab: the row moves there and the three
    // controls' places are saved. Anything else is refused.
    void LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos, bool *accept);

    static constexpr int DragThreshold = 5;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Target;
    // The selected entry's page file and section; empty (after a message) when no row is
    // selected, the row was deleted or its sub-tab is gone from the page file.
    std::optional<Target> target();
    bool write(ProfileFile &file, const QByteArray &section, const QByteArray &key,
               const QByteArray &value);
    bool remove(ProfileFile &file, const QByteArray &section, const QByteArray &key);
    void writeFailed(const QString &error);
    // Texts of the dialog's fields as Windows-1251; false (after a message) when one cannot be
    // held.
    bool fieldTexts(QByteArray (&out)[5]);
    void hideDeletedRow(const Target &t, int number);
    void renumberRowsAfter(const Target &t, int number);
    QAction *item(const char *name) const;
    void dragTo(const QPoint &globalPos, bool drop);
    static void fitSubTab(QWidget *sheet, std::initializer_list<const QWidget *> row);
    void endDrag();

    WindowHost &host_;
    TForm3 &form3_;
    TForm4 &form4_;
    EntryExamples &examples_;

    // The drag in progress, fed by the mouse.
    QPointer<QTabWidget> pressedTabs_;
    QPoint pressedAt_; // global
    QPointer<QObject> dragSource_;
    bool saveFailureShown_ = false;
};
