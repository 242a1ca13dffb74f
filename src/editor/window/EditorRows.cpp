#include "editor/window/EditorRows.h"

#include <QAction>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QSignalBlocker>
#include <QTabWidget>

#include "catalogue/Rows.h"
#include "editor/window/RowEditor.h"
#include "editor/window/ValueBox.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileCache.h"
#include "session/Session.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/RowNames.h"
#include "ui/window/WindowHost.h"

#include <algorithm>

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

QString boxName(const Rows::Row &row)
{
    return RowNames::box(row.number, row.trade());
}

} // namespace

namespace EditorRows {

QString placeText(const WindowHost &host, int index)
{
    const Rows &rows = host.rows();
    const Rows::Sheet &sheet = rows.sheetOf(index);
    return sheet.page + QStringLiteral(" › ") + sheet.subTab + QStringLiteral(" › ") +
           cp1251::toUnicode(rows[index].entry.caption);
}

void select(WindowHost &host, RowEditor &rows, int index)
{
    if (index < 0 || index >= host.rows().size())
        return;
    auto *box = qobject_cast<ValueBox *>(host.rowBox(index));
    QWidget *shown = box ? box : host.rowSheet(index);
    for (QWidget *w = shown; w; w = w->parentWidget()) {
        if (QTabWidget *tabs = tabsShowing(w))
            tabs->setCurrentWidget(w);
    }
    if (!box) {
        const CatalogueEntry &entry = host.rows()[index].entry;
        host.helpText()->setPlainText(cp1251::toUnicode(entry.help));
        host.statusLine()->setText(
            QStringLiteral("Файл: ") + cp1251::toUnicode(entry.file) + QStringLiteral(" Секция: ") +
            cp1251::toUnicode(entry.applySection) + QStringLiteral(" Параметр: ") +
            cp1251::toUnicode(entry.applyParam));
        host.window()->activateWindow();
        return;
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

bool isPending(const WindowHost &host, int index)
{
    if (index < 0 || index >= host.rows().size())
        return false;
    const Rows::Row &row = host.rows()[index];
    // Only a row whose controls exist can have been edited.
    if (!row.built)
        return false;
    const auto *apply = host.find<QPushButton>(applyName(boxName(row), row.trade()));
    return apply && apply->isEnabled();
}

void refresh(WindowHost &host, GameValues &values, int index)
{
    Rows &rows = host.rows();
    if (index < 0 || index >= rows.size())
        return;
    const Rows::Row &row = rows[index];
    if (!row.hasControls() || !row.entry.writable())
        return;
    const bool trade = row.trade();
    rows.setValue(index, ParameterLookup::rowValueOf(values, row.entry.file, row.entry.applySection,
                                                     row.entry.applyParam, trade,
                                                     !trade && row.entry.hasFull));
    if (!row.built)
        return;
    const ParameterLookup::RowValue &value = row.value;
    const QString name = boxName(row);
    auto *box = host.find<ValueBox>(name);
    auto *apply = host.find<QPushButton>(applyName(name, trade));
    if (!box || !apply)
        return;
    {
        // Showing what the file holds is no edit.
        const QSignalBlocker blocker(box);
        box->setText(cp1251::toUnicode(value.text));
    }
    box->setEnabled(value.enabled);
    box->setAbsent(!value.present);
    box->setInherited(cp1251::toUnicode(value.origin));
    QString pending = box->text();
    if (trade) {
        if (auto *check = host.find<QCheckBox>(RowNames::sibling(name, Part::TradeCheck)))
            check->setChecked(value.checked);
    } else if (auto *comment = host.find<QLabel>(RowNames::sibling(name, Part::Comment))) {
        comment->setText(cp1251::toUnicode(value.commentPart));
        pending += comment->text();
    }
    apply->setEnabled(false);
    // The selected row's help, status line and line of what an apply would write follow what
    // the file holds now (after a write, a restore, an undo or a reload), never an older value
    // or origin.
    const auto *selection = host.find<QAction>(QStringLiteral("N9"));
    if (selection && dataslot::hint(selection) == name.toLatin1()) {
        RowEditor::showRowDetails(host, box);
        RowEditor::showPendingText(host.pendingText(), pending);
    }
}

void refreshFiles(WindowHost &host, const QByteArrayList &files)
{
    if (files.isEmpty())
        return;
    QSet<QByteArray> written;
    for (const QByteArray &file : files)
        written.insert(sameFileKey(file));
    const Rows &rows = host.rows();
    const ProfileCache::WalkScope walk; // each file read and resolved once
    GameValues values = host.session().values();
    // Rows by their file: each file's include tree is looked at once.
    const QHash<QByteArray, QList<int>> &byFile = rows.byFile();
    for (auto it = byFile.cbegin(); it != byFile.cend(); ++it) {
        const QByteArrayList tree = values.filesOf(rows[it.value().first()].entry.file);
        if (std::none_of(tree.cbegin(), tree.cend(),
                         [&](const QByteArray &f) { return written.contains(sameFileKey(f)); }))
            continue;
        for (const int index : it.value())
            if (!isPending(host, index))
                refresh(host, values, index);
    }
    reportLookupProblems(host, values.takeProblems());
}

void readAll(WindowHost &host)
{
    Rows &rows = host.rows();
    if (rows.allRead() && !rows.readingInBackground())
        return;
    const ProfileCache::WalkScope walk;
    GameValues values = host.session().values();
    reportLookupProblems(host, rows.readAll(values));
}

void reportLookupProblems(WindowHost &host, const QStringList &problems)
{
    const QString text = ParameterLookup::resolverProblemsText(host.session().unreported(problems));
    if (text.isEmpty())
        return;
    const QString note =
        QStringLiteral("Некоторые включения (#include) или родители не прочитаны, подробности в "
                       "сообщении.");
    QLabel *status = host.statusLine();
    if (!status->text().contains(note))
        status->setText(status->text().isEmpty() ? note : status->text() + QLatin1Char(' ') + note);
    host.showMessage(MessageKind::Error, text);
}

} // namespace EditorRows
