#include "history/window/HistoryWindow.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/Plural.h"
#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "session/Session.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

QString u(const QByteArray &text)
{
    return cp1251::toUnicode(text);
}

QString lineText(const std::optional<QByteArray> &line)
{
    return line ? u(*line) : QStringLiteral("(нет)");
}

QString originText(HistoryOrigin origin)
{
    switch (origin) {
    case HistoryOrigin::Row:
        return QStringLiteral("строка");
    case HistoryOrigin::Table:
        return QStringLiteral("таблица");
    case HistoryOrigin::Tweak:
        return QStringLiteral("твик");
    case HistoryOrigin::Restore:
        break;
    }
    return QStringLiteral("восстановление");
}

const QStringList UndoAnswers{QStringLiteral("Отменить"), QStringLiteral("Не отменять")};

QString describe(const QList<HistoryRecord> &records)
{
    QString text;
    int listed = 0;
    for (const HistoryRecord &r : records) {
        if (++listed > 20) {
            text += QStringLiteral("\n...");
            break;
        }
        text += QStringLiteral("\n%1 [%2] %3: %4 → %5")
                    .arg(u(r.file), u(r.section), u(r.key), lineText(r.after), lineText(r.before));
    }
    return text;
}

} // namespace

HistoryWindow::HistoryWindow(WindowHost &host) : host_(host) {}

void HistoryWindow::fill(QTreeWidget &list, const QString &filter)
{
    list.clear();
    const QList<HistoryRecord> records = host_.session().history().read().records;
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        const HistoryRecord &r = records[i];
        const QStringList columns{
            QDateTime::fromMSecsSinceEpoch(r.time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
            originText(r.origin),
            QString::number(r.group),
            u(r.file),
            u(r.section),
            u(r.key),
            lineText(r.before),
            lineText(r.after)};
        if (!filter.isEmpty() && !columns.join('\n').contains(filter, Qt::CaseInsensitive) &&
            !u(r.note).contains(filter, Qt::CaseInsensitive))
            continue;
        auto *item = new QTreeWidgetItem(&list, columns);
        item->setData(0, Qt::UserRole, QVariant::fromValue(i));
    }
    if (list.topLevelItemCount() > 0)
        list.setCurrentItem(list.topLevelItem(0));
}

void HistoryWindow::undo(QTreeWidget &list, bool wholeGroup)
{
    const QTreeWidgetItem *item = list.currentItem();
    if (!item)
        return;
    const QList<HistoryRecord> records = host_.session().history().read().records;
    const qsizetype i = item->data(0, Qt::UserRole).value<qsizetype>();
    if (i < 0 || i >= records.size())
        return;
    const QList<HistoryRecord> chosen =
        wholeGroup ? HistoryUndo::group(records, records[i].group) : QList{records[i]};
    if (host_.dialogs().ask(list.window(),
                            QStringLiteral("Вернуть прежние строки (стало → было)?") +
                                describe(chosen),
                            UndoAnswers) != 0)
        return;
    QString error;
    if (!HistoryUndo::undo(host_.session().writer(), chosen, &error))
        host_.showMessage(MessageKind::Always, error);
    fill(list, QString());
}

void HistoryWindow::HistoryClick()
{
    const int damaged = host_.session().history().read().damaged;
    if (damaged > 0)
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("В истории записей пропущено: %1 (обрыв при "
                                         "записи); остальные записи целы.")
                              .arg(base::counted(damaged, "повреждённая строка",
                                                 "повреждённые строки", "повреждённых строк")));
    QDialog window(host_.window());
    window.setObjectName(QStringLiteral("HistoryWindow"));
    window.setWindowTitle(QStringLiteral("История записей"));
    window.resize(900, 460);
    auto *layout = new QVBoxLayout(&window);
    auto *filter = new QLineEdit(&window);
    filter->setObjectName(QStringLiteral("HistoryFilter"));
    filter->setPlaceholderText(QStringLiteral("Фильтр: файл, раздел, ключ или любой текст"));
    auto *list = new QTreeWidget(&window);
    list->setObjectName(QStringLiteral("HistoryList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Время"), QStringLiteral("Что"), QStringLiteral("Группа"),
                           QStringLiteral("Файл"), QStringLiteral("Секция"),
                           QStringLiteral("Параметр"), QStringLiteral("Было"),
                           QStringLiteral("Стало")});
    auto *buttons = new QDialogButtonBox(&window);
    QPushButton *one =
        buttons->addButton(QStringLiteral("Отменить запись"), QDialogButtonBox::ActionRole);
    one->setObjectName(QStringLiteral("UndoRecord"));
    QPushButton *group =
        buttons->addButton(QStringLiteral("Отменить группу"), QDialogButtonBox::ActionRole);
    group->setObjectName(QStringLiteral("UndoGroup"));
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    layout->addWidget(filter);
    layout->addWidget(list);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    QObject::connect(filter, &QLineEdit::textChanged, &window,
                     [this, list](const QString &text) { fill(*list, text); });
    QObject::connect(one, &QPushButton::clicked, &window, [this, list] { undo(*list, false); });
    QObject::connect(group, &QPushButton::clicked, &window, [this, list] { undo(*list, true); });
    fill(*list, QString());
    list->header()->resizeSections(QHeaderView::ResizeToContents);
    host_.dialogs().exec(&window);
}

void HistoryWindow::UndoLastClick()
{
    const QList<HistoryRecord> group =
        HistoryUndo::lastGroup(host_.session().history().read().records);
    if (group.isEmpty()) {
        host_.showMessage(MessageKind::Always, QStringLiteral("История записей пуста."));
        return;
    }
    if (host_.dialogs().ask(host_.window(),
                            QStringLiteral("Отменить последнюю запись (%1, строк: %2)?")
                                    .arg(originText(group.first().origin))
                                    .arg(group.size()) +
                                describe(group),
                            UndoAnswers) != 0)
        return;
    QString error;
    if (!HistoryUndo::undo(host_.session().writer(), group, &error))
        host_.showMessage(MessageKind::Always, error);
}
