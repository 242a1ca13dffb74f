#include "catalogue/window/CatalogueDragging.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>

#include "catalogue/RowGeometry.h"
#include "settings/ProgramSettings.h"
#include "ui/window/Dialogs.h"
#include "ui/window/RowNames.h"
#include "ui/window/WindowHost.h"

using RowNames::Part;

CatalogueDragging::CatalogueDragging(WindowHost &host) : host_(host) {}

void CatalogueDragging::attachDragHandlers()
{
    for (const QPointer<QObject> &component : host_.components()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(component.data())) {
            tabs->tabBar()->installEventFilter(this);
        } else if (auto *label = qobject_cast<QLabel *>(component.data())) {
            if (!RowNames::boxOf(label->objectName(), Part::Caption).isEmpty())
                label->installEventFilter(this);
        }
    }
}

void CatalogueDragging::fitSubTab(QWidget *sheet, std::initializer_list<const QWidget *> row)
{
    using RowGeometry::Margin; // right of and below the last control, as the builder leaves it
    QSize size = sheet->minimumSize();
    for (const QWidget *w : row)
        size = size.expandedTo(
            QSize(w->geometry().right() + 1 + Margin, w->geometry().bottom() + 1 + Margin));
    if (size != sheet->minimumSize())
        sheet->setMinimumSize(size);
}

void CatalogueDragging::fitSubTabsToRows()
{
    for (const QPointer<QObject> &component : host_.components()) {
        auto *label = qobject_cast<QLabel *>(component.data());
        const QString boxName =
            label ? RowNames::boxOf(label->objectName(), Part::Caption) : QString();
        if (boxName.isEmpty())
            continue;
        const auto *box = host_.find<QWidget>(boxName);
        const auto *apply = host_.find<QWidget>(RowNames::sibling(boxName, Part::Apply));
        if (box && apply)
            fitSubTab(label->parentWidget(), {box, apply});
    }
}

void CatalogueDragging::PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos)
{
    pressedTabs_ = tabs;
    pressedAt_ = tabs->mapToGlobal(pos);
}

void CatalogueDragging::PageControl1DragOver(QTabWidget *tabs, QObject *, const QPoint &pos,
                                             bool *accept)
{
    *accept = true;
    QTabBar *bar = tabs->tabBar();
    const QPoint at = bar->mapFrom(tabs, pos);
    for (int i = 0; i < bar->count(); ++i) {
        if (!bar->tabRect(i).contains(at))
            continue;
        if (i != bar->currentIndex())
            bar->moveTab(bar->currentIndex(), i); // the moved tab stays the active one
        return;
    }
}

void CatalogueDragging::PageControl1DragDrop(QTabWidget *, QObject *, const QPoint &)
{
    // The tab is where the last drag-over step put it.
}

void CatalogueDragging::LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos,
                                      bool *accept)
{
    *accept = false;
    auto *label = qobject_cast<QLabel *>(source);
    if (!label || label->parentWidget() != sheet)
        return;
    const QString boxName = RowNames::boxOf(label->objectName(), Part::Caption);
    auto *box = boxName.isEmpty() ? nullptr : host_.find<QWidget>(boxName);
    auto *apply = box ? host_.find<QWidget>(RowNames::sibling(boxName, Part::Apply)) : nullptr;
    if (!apply)
        return;
    *accept = true;
    const RowGeometry::Row row = RowGeometry::at(pos, host_.settings().memoWidth);
    label->move(row.caption);
    apply->move(row.applyButton.topLeft());
    box->move(row.valueBox.topLeft());
    fitSubTab(sheet, {box, apply});
    QString error;
    const bool saved = host_.saveControlPlaces({label, apply, box}, &error);
    // Said once per drag: the row still moves, but would not come back at its new place.
    if (!saved && !saveFailureShown_) {
        saveFailureShown_ = true;
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Новое место строки не сохранено.\n") + error);
    }
}

bool CatalogueDragging::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress) {
        endDrag();
        if (auto *bar = qobject_cast<QTabBar *>(watched)) {
            if (auto *tabs = qobject_cast<QTabWidget *>(bar->parentWidget()))
                PageControl1MouseDown(tabs, tabs->mapFromGlobal(global));
            return false; // the press still makes the tab under it the active one
        }
        if (mouse->button() != Qt::LeftButton)
            return false;
        dragSource_ = watched; // a caption label drags at once
        return true;
    }
    if (type == QEvent::MouseMove) {
        if (!dragSource_ && pressedTabs_ && mouse->buttons() != Qt::NoButton &&
            (global - pressedAt_).manhattanLength() >= DragThreshold)
            dragSource_ = pressedTabs_.data();
        if (!dragSource_)
            return false;
        dragTo(global, false);
        return true;
    }
    const bool dragged = dragSource_;
    if (dragged)
        dragTo(global, true);
    endDrag();
    return dragged;
}

void CatalogueDragging::endDrag()
{
    pressedTabs_.clear();
    dragSource_.clear();
    saveFailureShown_ = false;
}

// What is under the pointer gets the drag: a tab strip, or the dragged row's own sub-tab (the
// row's controls under the pointer count as their sub-tab).
void CatalogueDragging::dragTo(const QPoint &globalPos, bool drop)
{
    QWidget *under = QApplication::widgetAt(globalPos);
    if (!under)
        return;
    bool accept = false;
    if (auto *label = qobject_cast<QLabel *>(dragSource_.data())) {
        QWidget *sheet = label->parentWidget();
        const QString boxName = RowNames::boxOf(label->objectName(), Part::Caption);
        for (QWidget *w = under; w; w = w->parentWidget()) {
            if (w == sheet) {
                if (!drop)
                    LabelDragOver(sheet, label, sheet->mapFromGlobal(globalPos), &accept);
                return;
            }
            const QString name = w->objectName();
            const bool ownControl =
                w == label || name == boxName || name == RowNames::sibling(boxName, Part::Apply);
            if (!ownControl && w->parentWidget() == sheet)
                return; // another row's control: refused
        }
    }
    for (QWidget *w = under; w; w = w->parentWidget()) {
        if (auto *bar = qobject_cast<QTabBar *>(w)) {
            if (auto *tabs = qobject_cast<QTabWidget *>(bar->parentWidget())) {
                const QPoint pos = tabs->mapFromGlobal(globalPos);
                if (drop)
                    PageControl1DragDrop(tabs, dragSource_, pos);
                else
                    PageControl1DragOver(tabs, dragSource_, pos, &accept);
            }
            return;
        }
    }
}
