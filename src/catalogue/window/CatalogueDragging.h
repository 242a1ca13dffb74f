#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <initializer_list>

class QTabWidget;
class QWidget;
class WindowHost;

// Dragging in the main window: a tab strip's active tab moves to the place of the tab under the
// pointer (for the run only), and a row dragged by its caption label moves on its sub-tab, its
// new place kept by the state saver for the next start.
//
// The handlers take positions in the coordinates of the control they are called for, so they can
// be driven without a mouse. attachDragHandlers() lets the tab strips and the rows' caption
// labels feed them from real mouse moves.
class CatalogueDragging : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueDragging(WindowHost &host);

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
    void dragTo(const QPoint &globalPos, bool drop);
    static void fitSubTab(QWidget *sheet, std::initializer_list<const QWidget *> row);
    void endDrag();

    WindowHost &host_;
    // The drag in progress, fed by the mouse.
    QPointer<QTabWidget> pressedTabs_;
    QPoint pressedAt_; // global
    QPointer<QObject> dragSource_;
    bool saveFailureShown_ = false;
};
