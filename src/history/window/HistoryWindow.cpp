#include "history/window/HistoryWindow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "base/Plural.h"
#include "history/ApplyHistory.h"
#include "history/HistoryText.h"
#include "history/HistoryUndo.h"
#include "session/Session.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"
#include "ui/window/ListDialog.h"
#include "ui/window/WindowHost.h"

namespace {

const QStringList UndoAnswers{QStringLiteral("Отменить"), QStringLiteral("Не отменять")};
const QStringList RedoAnswers{QStringLiteral("Вернуть"), QStringLiteral("Не возвращать")};

// The lines a step puts back: from what the file holds now to what comes.
QString describe(const QList<HistoryRecord> &records)
{
    QString text;
    int listed = 0;
    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        if (++listed > 20) {
            text += QStringLiteral("\n...");
            break;
        }
        const LineChange &c = it->change;
        text += QStringLiteral("\n%1 [%2] %3: %4 → %5")
                    .arg(cp1251::toUnicode(c.file), cp1251::toUnicode(c.section),
                         cp1251::toUnicode(c.key), HistoryText::line(c.after),
                         HistoryText::line(c.before));
    }
    return text;
}

enum Column
{
    Time,
    Group,
    Tweak,
    File,
    Section,
    Key,
    Before,
    After,
    State,
};

} // namespace

HistoryWindow::HistoryWindow(WindowHost &host) : host_(host) {}

void HistoryWindow::settle()
{
    for (const QString &problem : host_.session().settleHistory())
        host_.showMessage(MessageKind::Always, problem);
}

void HistoryWindow::fill(QTreeWidget &list, const QString &filter)
{
    list.clear();
    const ApplyHistory::Contents contents = host_.session().history().read();
    const HistoryUndo::Timeline timeline = HistoryUndo::timeline(contents);
    const QList<HistoryRecord> &records = contents.records;
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        const HistoryRecord &r = records[i];
        const LineChange &c = r.change;
        const QString tweak = HistoryText::tweak(r.stamp);
        const QStringList columns{
            HistoryText::time(r.time),
            HistoryText::group(r.stamp, &c),
            tweak,
            cp1251::toUnicode(c.file),
            cp1251::toUnicode(c.section),
            cp1251::toUnicode(c.key),
            HistoryText::line(c.before),
            HistoryText::line(c.after),
            HistoryText::state(r.state, timeline.undone.contains(r.stamp.group))};
        if (!filter.isEmpty() && !columns.join('\n').contains(filter, Qt::CaseInsensitive) &&
            !QString::fromUtf8(r.stamp.note).contains(filter, Qt::CaseInsensitive))
            continue;
        auto *item = new QTreeWidgetItem(&list, columns);
        item->setData(0, Qt::UserRole, QVariant::fromValue(i));
        if (!tweak.isEmpty())
            item->setToolTip(Tweak, QString::fromUtf8(r.stamp.note));
    }
    if (list.topLevelItemCount() > 0)
        list.setCurrentItem(list.topLevelItem(0));
}

void HistoryWindow::undo(QTreeWidget &list, bool wholeGroup)
{
    const QTreeWidgetItem *item = list.currentItem();
    if (!item)
        return;
    settle();
    const ApplyHistory::Contents contents = host_.session().history().read();
    const QList<HistoryRecord> &records = contents.records;
    const qsizetype i = item->data(0, Qt::UserRole).value<qsizetype>();
    if (i < 0 || i >= records.size())
        return;
    const qint64 group = records[i].stamp.group;
    if (HistoryUndo::timeline(contents).undone.contains(group)) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Эта группа уже отменена. Вернуть её: Вид → «Вернуть "
                                         "отменённую запись» (Ctrl+Y)."));
        return;
    }
    const QList<HistoryRecord> chosen =
        wholeGroup ? HistoryUndo::group(records, group) : QList{records[i]};
    if (host_.dialogs().ask(list.window(),
                            QStringLiteral("Вернуть прежние строки (стало → было)?") +
                                describe(chosen),
                            UndoAnswers) != 0)
        return;
    QString error;
    if (!HistoryUndo::undo(host_.session().writer(), chosen, &error, wholeGroup))
        host_.showMessage(MessageKind::Always, error);
    fill(list, QString());
}

void HistoryWindow::HistoryClick()
{
    settle();
    const int damaged = host_.session().history().read().damaged;
    if (damaged > 0)
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("В истории записей пропущено: %1 (обрыв при "
                                         "записи); остальные записи целы.")
                              .arg(base::counted(damaged, "повреждённая строка",
                                                 "повреждённые строки", "повреждённых строк")));
    ListDialog dialog(host_.window(), QStringLiteral("HistoryWindow"),
                      QStringLiteral("История записей"), {1000, 460}, QStringLiteral("HistoryList"),
                      {QStringLiteral("Время"), QStringLiteral("Группа"), QStringLiteral("Твик"),
                       QStringLiteral("Файл"), QStringLiteral("Секция"), QStringLiteral("Параметр"),
                       QStringLiteral("Было"), QStringLiteral("Стало"),
                       QStringLiteral("Состояние")});
    QDialog &window = dialog.window();
    QTreeWidget *list = &dialog.list();
    auto *filter = new QLineEdit(&window);
    filter->setObjectName(QStringLiteral("HistoryFilter"));
    filter->setPlaceholderText(QStringLiteral("Фильтр: файл, раздел, ключ или любой текст"));
    dialog.addAbove(filter);
    QPushButton *one = dialog.addButton(QStringLiteral("Отменить запись"),
                                        QDialogButtonBox::ActionRole, QStringLiteral("UndoRecord"));
    QPushButton *group =
        dialog.addButton(QStringLiteral("Отменить группу"), QDialogButtonBox::ActionRole,
                         QStringLiteral("UndoGroup"));
    dialog.addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    QObject::connect(filter, &QLineEdit::textChanged, &window,
                     [this, list](const QString &text) { fill(*list, text); });
    QObject::connect(one, &QPushButton::clicked, &window, [this, list] { undo(*list, false); });
    QObject::connect(group, &QPushButton::clicked, &window, [this, list] { undo(*list, true); });
    fill(*list, QString());
    dialog.exec(host_.dialogs());
}

void HistoryWindow::step(bool redo)
{
    settle();
    const ApplyHistory::Contents contents = host_.session().history().read();
    const HistoryUndo::Step next =
        redo ? HistoryUndo::nextRedo(contents) : HistoryUndo::nextUndo(contents);
    if (next.empty()) {
        host_.showMessage(MessageKind::Always,
                          redo ? QStringLiteral("Возвращать нечего: отменённых записей нет.")
                          : contents.records.isEmpty()
                              ? QStringLiteral("История записей пуста.")
                              : QStringLiteral("Отменять нечего: все записи уже отменены."));
        return;
    }
    const QString what = HistoryText::group(
        next.source, next.records.isEmpty() ? nullptr : &next.records.first().change);
    const QString count = base::counted(next.records.size(), "строка", "строки", "строк");
    const QString question =
        (redo ? QStringLiteral("Вернуть отменённую запись (%1, %2)?")
         : next.group != 0 ? QStringLiteral("Завершить прерванную отмену записи (%1, %2)?")
                           : QStringLiteral("Отменить последнюю запись (%1, %2)?"))
            .arg(what, count);
    if (host_.dialogs().ask(host_.window(), question + describe(next.records),
                            redo ? RedoAnswers : UndoAnswers) != 0)
        return;
    const HistoryUndo::Result result =
        redo ? HistoryUndo::redoLast(host_.session().history(), host_.session().writer(),
                                     next.target)
             : HistoryUndo::undoLast(host_.session().history(), host_.session().writer(),
                                     next.target);
    host_.showMessage(result.outcome == HistoryUndo::Result::Outcome::Done
                          ? MessageKind::Information
                          : MessageKind::Always,
                      result.message);
}

void HistoryWindow::UndoLastClick()
{
    step(false);
}

void HistoryWindow::RedoClick()
{
    step(true);
}
