#include "changes/window/ChangesWindow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "catalogue/Rows.h"
#include "editor/window/EditorRows.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "tweaks/window/TweakWindow.h"
#include "ui/window/Dialogs.h"
#include "ui/window/ListDialog.h"
#include "ui/window/WindowHost.h"

namespace {

QString kindText(LineChange::Kind kind)
{
    switch (kind) {
    case LineChange::Kind::Added:
        return QStringLiteral("добавлен");
    case LineChange::Kind::Removed:
        return QStringLiteral("удалён");
    case LineChange::Kind::Line:
        return QStringLiteral("строка вне параметров");
    case LineChange::Kind::Changed:
        break;
    }
    return QStringLiteral("изменён");
}

QString keyName(const LineChange &c)
{
    return cp1251::toUnicode(c.file) + QStringLiteral(", [") + cp1251::toUnicode(c.section) +
           QStringLiteral("] ") + cp1251::toUnicode(c.key);
}

const QStringList RestoreAnswers{QStringLiteral("Восстановить"), QStringLiteral("Отмена")};

} // namespace

ChangesWindow::ChangesWindow(WindowHost &host, RowEditor &rows) : host_(host), rows_(rows) {}

void ChangesWindow::fill(QTreeWidget &list)
{
    changes_ = ChangeList::changes(host_.gamedataFolder(),
                                   ChangeList::filesWithBackup(host_.gamedataFolder()));
    list.clear();
    const Rows &rows = host_.rows();
    for (int i = 0; i < changes_.size(); ++i) {
        const LineChange &c = changes_[i];
        QString shownBy;
        if (!c.isKey()) {
            // A changed header (its parents) changes the keys its section inherits: the rows
            // that show an inherited value of that section.
            const bool header = IniDocument::isHeaderLine(c.before.value_or(QByteArray())) ||
                                IniDocument::isHeaderLine(c.after.value_or(QByteArray()));
            QStringList keys;
            for (int r = 0; header && r < rows.size(); ++r) {
                const CatalogueEntry &e = rows[r].entry;
                if (!rows[r].deleted && rows[r].value.inherited &&
                    rows.showing(c.file, c.section, e.applyParam).contains(r))
                    keys.append(cp1251::toUnicode(e.applyParam));
            }
            keys.removeDuplicates();
            if (!keys.isEmpty())
                shownBy = QStringLiteral("унаследованные: ") + keys.join(QStringLiteral(", "));
        }
        if (c.isKey()) {
            if (const QList<int> showing = rows.showing(c.file, c.section, c.key);
                !showing.isEmpty())
                shownBy = EditorRows::placeText(host_, showing.first());
        }
        auto *item = new QTreeWidgetItem(
            &list, {cp1251::toUnicode(c.file), cp1251::toUnicode(c.section),
                    cp1251::toUnicode(c.key), kindText(c.kind()),
                    c.before ? cp1251::toUnicode(ChangeList::oldValue(c)) : QStringLiteral("(нет)"),
                    c.after ? cp1251::toUnicode(ChangeList::newValue(c)) : QStringLiteral("(нет)"),
                    shownBy});
        item->setData(0, Qt::UserRole, i);
    }
    if (list.topLevelItemCount() > 0)
        list.setCurrentItem(list.topLevelItem(0));
}

const LineChange *ChangesWindow::chosen(const QTreeWidget &list) const
{
    const QTreeWidgetItem *item = list.currentItem();
    if (!item)
        return nullptr;
    const int i = item->data(0, Qt::UserRole).toInt();
    return i >= 0 && i < changes_.size() ? &changes_[i] : nullptr;
}

bool ChangesWindow::duplicated(const LineChange &change) const
{
    // Trade rows are never duplicated: a key only they show stays out of the duplicate too.
    const QList<int> showing = host_.rows().showing(change.file, change.section, change.key);
    for (const int index : showing)
        if (!host_.rows()[index].trade())
            return true;
    return showing.isEmpty();
}

void ChangesWindow::restoreKey(QTreeWidget &list)
{
    const LineChange *c = chosen(list);
    if (!c)
        return;
    const LineChange change = *c;
    QString text =
        QStringLiteral("Восстановить параметр из резервной копии?\n") + keyName(change) +
        QStringLiteral("\n\nСейчас в файле: ") +
        (change.after ? cp1251::toUnicode(*change.after) : QStringLiteral("(нет строки)")) +
        QStringLiteral("\nСтанет: ") +
        (change.before ? cp1251::toUnicode(*change.before)
                       : QStringLiteral("(строка будет удалена)"));
    const bool duplicate = host_.settings().duplicationOn() && duplicated(change);
    if (duplicate)
        text += QStringLiteral("\nПараметр будет записан и в файл дублирования.");
    if (host_.dialogs().ask(list.window(), text, RestoreAnswers) != 0)
        return;
    QString error;
    if (!ChangeList::restoreKey(host_.session().writer(), change, &error, duplicate))
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("Параметр не восстановлен.\n") + error);
    fill(list);
}

void ChangesWindow::restoreFile(QTreeWidget &list)
{
    const LineChange *c = chosen(list);
    if (!c)
        return;
    const QByteArray file = c->file;
    QString text = QStringLiteral("Заменить файл его резервной копией?\n") +
                   cp1251::toUnicode(file) + QStringLiteral("\n\nВернутся из копии:");
    int listed = 0;
    for (const LineChange &k : std::as_const(changes_)) {
        if (k.file != file)
            continue;
        if (++listed > 20) {
            text += QStringLiteral("\n...");
            break;
        }
        text += QStringLiteral("\n[") + cp1251::toUnicode(k.section) + QStringLiteral("] ") +
                cp1251::toUnicode(k.key) + QStringLiteral(": ") +
                (!k.before
                     ? QStringLiteral("строка будет удалена")
                     : (k.after ? cp1251::toUnicode(ChangeList::newValue(k)) + " → " : QString()) +
                           cp1251::toUnicode(ChangeList::oldValue(k)));
    }
    if (host_.dialogs().ask(list.window(), text, RestoreAnswers) != 0)
        return;
    QString error;
    if (!ChangeList::restoreFile(host_.session().writer(), file, changes_, &error,
                                 [this](const LineChange &k) { return duplicated(k); }))
        host_.showMessage(MessageKind::Error, QStringLiteral("Файл не восстановлен.\n") + error);
    fill(list);
}

// A tweak of the lines the user selected (more than one), or of every change.
void ChangesWindow::saveTweak(QTreeWidget &list)
{
    QList<LineChange> chosen;
    for (const QTreeWidgetItem *item : list.selectedItems())
        chosen.append(changes_.value(item->data(0, Qt::UserRole).toInt()));
    TweakWindow::save(host_, list.window(), chosen.size() > 1 ? chosen : changes_);
}

void ChangesWindow::ChangesClick()
{
    // Whether a row shows an inherited value, for the changed headers.
    EditorRows::readAll(host_);
    ListDialog dialog(host_.window(), QStringLiteral("ChangesWindow"),
                      QStringLiteral("Изменения после резервной копии"), {820, 440},
                      QStringLiteral("ChangesList"),
                      {QStringLiteral("Файл"), QStringLiteral("Секция"), QStringLiteral("Параметр"),
                       QStringLiteral("Что"), QStringLiteral("Было"), QStringLiteral("Стало"),
                       QStringLiteral("Строка")});
    QDialog &window = dialog.window();
    QTreeWidget *list = &dialog.list();
    dialog.addBelow(
        new QLabel(QStringLiteral("Файлы без резервной копии (.bak) не показаны."), &window));
    QPushButton *go =
        dialog.addButton(QStringLiteral("Перейти к строке"), QDialogButtonBox::AcceptRole);
    QPushButton *key = dialog.addButton(QStringLiteral("Восстановить параметр"),
                                        QDialogButtonBox::ActionRole, QStringLiteral("RestoreKey"));
    QPushButton *file =
        dialog.addButton(QStringLiteral("Восстановить файл"), QDialogButtonBox::ActionRole,
                         QStringLiteral("RestoreFile"));
    QPushButton *tweak =
        dialog.addButton(QStringLiteral("Сохранить твик"), QDialogButtonBox::ActionRole,
                         QStringLiteral("SaveTweak"));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dialog.addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    go->setDefault(true);
    QObject::connect(list, &QTreeWidget::itemActivated, &window, &QDialog::accept);
    QObject::connect(key, &QPushButton::clicked, &window, [this, list] { restoreKey(*list); });
    QObject::connect(file, &QPushButton::clicked, &window, [this, list] { restoreFile(*list); });
    QObject::connect(tweak, &QPushButton::clicked, &window, [this, list] { saveTweak(*list); });
    fill(*list);

    if (dialog.exec(host_.dialogs()) != QDialog::Accepted)
        return;
    const LineChange *c = chosen(*list);
    if (!c)
        return;
    if (const QList<int> showing = host_.rows().showing(c->file, c->section, c->key);
        !showing.isEmpty()) {
        EditorRows::select(host_, rows_, showing.first());
        return;
    }
    // The key is in the file, but no page of the catalogue lists it.
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Этот параметр не показан ни в одной строке программы:\n") +
                          keyName(*c));
}

void ChangesWindow::ReloadClick()
{
    // Every row is read again here: a read still running in the background is no longer needed.
    host_.rows().cancelBackground();
    const ProfileCache::WalkScope walk; // each file read and resolved once
    GameValues values = host_.session().values();
    QStringList kept;
    for (int index = 0; index < host_.rows().size(); ++index) {
        if (EditorRows::isPending(host_, index))
            kept.append(EditorRows::placeText(host_, index));
        else
            EditorRows::refresh(host_, values, index);
    }
    QString text = QStringLiteral("Значения перечитаны из файлов игры.");
    if (!kept.isEmpty())
        text += QStringLiteral("\nСтроки с неприменёнными изменениями оставлены как есть:\n") +
                kept.join(QLatin1Char('\n'));
    host_.showMessage(kept.isEmpty() ? MessageKind::Information : MessageKind::Always, text);
    EditorRows::reportLookupProblems(host_, values.takeProblems());
}
