#include "tweaks/window/TweakWindow.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "profile/SafeFile.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "tweaks/TweakFile.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

const QString Filters = QStringLiteral("Твики (*.ltx *.txt);;Все файлы (*)");

QString u(const QByteArray &text)
{
    return cp1251::toUnicode(text);
}

// What names a tweak file in the history: its absolute path.
QByteArray tweakNote(const QString &path)
{
    return QFileInfo(path).absoluteFilePath().toUtf8();
}

QColor stateColour(TweakReviewLine::State state)
{
    switch (state) {
    case TweakReviewLine::State::Equal:
        return QColor(0xD8, 0xF0, 0xD8); // green: nothing to do
    case TweakReviewLine::State::Differs:
        return QColor(0xFF, 0xF0, 0xC0); // yellow: replaced
    case TweakReviewLine::State::Missing:
        return QColor(0xD0, 0xE4, 0xFF); // blue: added
    case TweakReviewLine::State::Removal:
        return QColor(0xF0, 0xD8, 0xF0); // violet: removed
    case TweakReviewLine::State::Blocked:
        break;
    }
    return QColor(0xFF, 0xD0, 0xD0); // red: cannot apply
}

// Fills the review list: a line that writes can be ticked off, the others cannot be chosen.
void fillReview(QTreeWidget &list, const QList<TweakReviewLine> &review)
{
    list.clear();
    for (qsizetype i = 0; i < review.size(); ++i) {
        const TweakReviewLine &r = review[i];
        const QString now = r.current ? u(*r.current) : QString();
        const QString next = r.line.line ? u(*r.line.line) : QStringLiteral("(удалить)");
        auto *item = new QTreeWidgetItem(&list, {QString::number(r.line.number), u(r.line.file),
                                                 u(r.line.section), u(r.line.key), r.stateText(),
                                                 now, next});
        item->setData(0, Qt::UserRole, QVariant::fromValue(i));
        for (int c = 0; c < item->columnCount(); ++c)
            item->setBackground(c, stateColour(r.state));
        if (r.writes())
            item->setCheckState(0, Qt::Checked);
        else
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
}

} // namespace

namespace TweakWindow {

void save(WindowHost &host, QWidget *parent, const QList<LineChange> &changes)
{
    if (changes.isEmpty()) {
        host.showMessage(MessageKind::Always, QStringLiteral("Нет изменений для твика."));
        return;
    }
    const QString path =
        host.dialogs().saveFileName(parent, QStringLiteral("Сохранить твик"), Filters, nullptr);
    if (path.isEmpty())
        return;
    QString why;
    if (!saveFile(path, TweakFile::make(changes), &why)) {
        host.showMessage(MessageKind::Always,
                         QStringLiteral("Твик не сохранён в %1: %2.").arg(path, why));
        return;
    }
    host.showMessage(
        MessageKind::Information,
        QStringLiteral("Твик сохранён: %1 (строк: %2).").arg(path).arg(changes.size()));
}

void ApplyTweakClick(WindowHost &host)
{
    const QString path = host.dialogs().openFileName(
        host.window(), QStringLiteral("Применить твик"), Filters, nullptr);
    if (path.isEmpty())
        return;
    QByteArray bytes;
    if (readRegularFile(QFile::encodeName(path), &bytes) != FileRead::Read) {
        host.showMessage(MessageKind::Always, QStringLiteral("Файл твика не читается: ") + path);
        return;
    }
    const QList<TweakFile::Line> lines = TweakFile::parse(bytes);
    QList<TweakReviewLine> review = Tweak::review(host.gamedataFolder(), lines, false);

    QDialog window(host.window());
    window.setObjectName(QStringLiteral("TweakReview"));
    window.setWindowTitle(QStringLiteral("Твик: ") + QFileInfo(path).fileName());
    window.resize(900, 460);
    auto *layout = new QVBoxLayout(&window);
    auto *list = new QTreeWidget(&window);
    list->setObjectName(QStringLiteral("TweakLines"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Строка"), QStringLiteral("Файл"),
                           QStringLiteral("Секция"), QStringLiteral("Параметр"),
                           QStringLiteral("Состояние"), QStringLiteral("Сейчас"),
                           QStringLiteral("Станет")});
    auto *create = new QCheckBox(QStringLiteral("Создавать отсутствующие файлы"), &window);
    create->setObjectName(QStringLiteral("AllowCreate"));
    auto *note = new QLabel(QStringLiteral("Отмеченные строки будут записаны; зелёные уже "
                                           "совпадают, красные применить нельзя."),
                            &window);
    auto *buttons = new QDialogButtonBox(&window);
    QPushButton *write =
        buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole);
    write->setObjectName(QStringLiteral("WriteTweak"));
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(list);
    layout->addWidget(create);
    layout->addWidget(note);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    QObject::connect(create, &QCheckBox::toggled, &window, [&](bool allow) {
        review = Tweak::review(host.gamedataFolder(), lines, allow);
        fillReview(*list, review);
    });
    fillReview(*list, review);
    list->header()->resizeSections(QHeaderView::ResizeToContents);
    if (host.dialogs().exec(&window) != QDialog::Accepted)
        return;

    QList<TweakReviewLine> chosen;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        const qsizetype at = item->data(0, Qt::UserRole).value<qsizetype>();
        if (item->checkState(0) == Qt::Checked && at >= 0 && at < review.size())
            chosen.append(review[at]);
    }
    const TweakApplyReport report = Tweak::apply(host.session().writer(), chosen, tweakNote(path));
    host.showMessage(report.complete ? MessageKind::Information : MessageKind::Always,
                     report.message());
}

void RemoveTweakClick(WindowHost &host)
{
    const QString path = host.dialogs().openFileName(host.window(), QStringLiteral("Удалить твик"),
                                                     Filters, nullptr);
    if (path.isEmpty())
        return;
    const QList<HistoryRecord> group =
        HistoryUndo::tweakGroup(host.session().history().read(), tweakNote(path));
    if (group.isEmpty()) {
        host.showMessage(MessageKind::Always,
                         QStringLiteral("В истории записей нет применения этого твика:\n") + path);
        return;
    }
    QString text =
        QStringLiteral("Удалить твик: вернуть строки, которые он заменил (%1)?").arg(group.size());
    if (host.dialogs().ask(host.window(), text,
                           {QStringLiteral("Удалить твик"), QStringLiteral("Отмена")}) != 0)
        return;
    QString error;
    if (!HistoryUndo::undo(host.session().writer(), group, &error))
        host.showMessage(MessageKind::Always, error);
    else
        host.showMessage(MessageKind::Information, QStringLiteral("Твик удалён."));
}

} // namespace TweakWindow
