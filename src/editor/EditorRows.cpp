#include "editor/EditorRows.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>

#include "editor/RowEditor.h"
#include "editor/ValueBox.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "textcodec/Cp1251.h"
#include "ui/DataSlots.h"
#include "ui/RowNames.h"
#include "ui/WindowHost.h"

using RowNames::Part;

namespace {

// The tab widget that shows w as one of its pages (a page sits in the tab widget's stack).
QTabWidget *tabsShowing(QWidget *w)
{
    QWidget *stack = w->parentWidget();
    auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
    return tabs && tabs->indexOf(w) >= 0 ? tabs : nullptr;
}

QString applyName(const QString &boxName, bool trade)
{
    return RowNames::sibling(boxName, trade ? Part::TradeApply : Part::Apply);
}

} // namespace

namespace EditorRows {

QList<EditorRow> collect(const WindowHost &host)
{
    QList<EditorRow> list;
    for (const QPointer<QObject> &component : host.components()) {
        auto *box = qobject_cast<ValueBox *>(component.data());
        if (!box)
            continue;
        EditorRow row;
        row.box = box;
        const QString name = box->objectName();
        row.trade = RowNames::isTradeBox(name);
        if (row.trade) {
            if (const auto *check = host.find<QCheckBox>(RowNames::sibling(name, Part::TradeCheck)))
                row.caption = cp1251::encode(check->text());
        } else if (const auto *label = host.find<QLabel>(RowNames::sibling(name, Part::Caption))) {
            row.caption = cp1251::encode(label->text());
        }
        const QObject *apply = host.findComponent(applyName(name, row.trade));
        row.file = dataslot::helpKeyword(box);
        row.section = dataslot::hint(apply);
        row.key = dataslot::helpKeyword(apply);
        row.help = dataslot::hint(box);
        for (QWidget *w = box; w; w = w->parentWidget()) {
            QTabWidget *tabs = tabsShowing(w);
            if (!tabs)
                continue;
            const QString caption = tabs->tabText(tabs->indexOf(w));
            if (row.subTab.isNull())
                row.subTab = caption;
            else
                row.page = caption;
        }
        list.append(row);
    }
    return list;
}

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    return sameFileKey(a) == sameFileKey(b);
}

bool shows(const EditorRow &row, const QByteArray &file, const QByteArray &section,
           const QByteArray &key)
{
    return cp1251::equalsIgnoreCase(row.key, key) &&
           cp1251::equalsIgnoreCase(row.section, section) && sameFile(row.file, file);
}

void select(WindowHost &host, RowEditor &rows, ValueBox *box)
{
    if (!box)
        return;
    for (QWidget *w = box; w; w = w->parentWidget()) {
        if (QTabWidget *tabs = tabsShowing(w))
            tabs->setCurrentWidget(w);
    }
    for (QWidget *w = box->parentWidget(); w; w = w->parentWidget()) {
        if (auto *scroll = qobject_cast<QScrollArea *>(w)) {
            scroll->ensureWidgetVisible(box);
            break;
        }
    }
    box->setFocus();
    if (RowNames::isTradeBox(box->objectName()))
        rows.SpinClick(box);
    else
        rows.MemoClick(box);
    host.window()->activateWindow();
}

bool isPending(const WindowHost &host, const ValueBox *box)
{
    const bool trade = RowNames::isTradeBox(box->objectName());
    const auto *apply = host.find<QPushButton>(applyName(box->objectName(), trade));
    return apply && apply->isEnabled();
}

void refresh(WindowHost &host, ValueBox *box)
{
    const QString name = box->objectName();
    const bool trade = RowNames::isTradeBox(name);
    auto *apply = host.find<QPushButton>(applyName(name, trade));
    if (!apply || !dataslot::missingKeys(apply).isEmpty())
        return;
    const ParameterLookup::RowValue value = ParameterLookup::rowValueOf(
        host.gamedataFolder(), dataslot::helpKeyword(box), dataslot::hint(apply),
        dataslot::helpKeyword(apply), trade, box->property("wholeValue").toBool());
    {
        // Showing what the file holds is no edit.
        const QSignalBlocker blocker(box);
        box->setText(cp1251::toUnicode(value.text));
    }
    box->setEnabled(value.enabled);
    box->setAbsent(!value.present);
    box->setInherited(cp1251::toUnicode(value.origin));
    if (trade) {
        if (auto *check = host.find<QCheckBox>(RowNames::sibling(name, Part::TradeCheck)))
            check->setChecked(value.checked);
    } else if (auto *comment = host.find<QLabel>(RowNames::sibling(name, Part::Comment))) {
        comment->setText(cp1251::toUnicode(value.commentPart));
    }
    apply->setEnabled(false);
}

} // namespace EditorRows
