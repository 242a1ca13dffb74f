#include "tweaks/window/TweakWindow.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "history/ApplyHistory.h"
#include "history/HistoryUndo.h"
#include "profile/SafeFile.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "tweaks/TweakApply.h"
#include "tweaks/TweakFile.h"
#include "tweaks/TweakReview.h"
#include "ui/window/Dialogs.h"
#include "ui/window/ListDialog.h"
#include "ui/window/WindowHost.h"

namespace {

const QString Filters = QStringLiteral("Твики (*.ltx *.txt);;Все файлы (*)");

// The folder the tweak dialogs open in: the one a tweak was last saved to or opened from in
// this run of the window.
constexpr char FolderProperty[] = "tweakFolder";

QString lastFolder(WindowHost &host)
{
    return host.window()->property(FolderProperty).toString();
}

void rememberFolder(WindowHost &host, const QString &path)
{
    host.window()->setProperty(FolderProperty, QFileInfo(path).absolutePath());
}

// The lines of the tweak file at path; false after saying why there are none.
bool readTweak(WindowHost &host, const QString &path, QList<TweakLine> *lines)
{
    QByteArray bytes;
    QString why;
    if (readRegularFile(QFile::encodeName(path), &bytes, nullptr, &why) != FileRead::Read) {
        host.showMessage(
            MessageKind::Always,
            QStringLiteral("Файл твика не читается: %1%2")
                .arg(path, why.isEmpty() ? QString() : QStringLiteral(" (") + why + ')'));
        return false;
    }
    *lines = TweakFile::parse(bytes);
    return true;
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
        const LineChange &c = r.change;
        const QString now = c.before ? cp1251::toUnicode(*c.before) : QString();
        const QString next = c.after ? cp1251::toUnicode(*c.after) : QStringLiteral("(удалить)");
        auto *item =
            new QTreeWidgetItem(&list, {QString::number(r.number), cp1251::toUnicode(c.file),
                                        cp1251::toUnicode(c.section), cp1251::toUnicode(c.key),
                                        r.stateText(), now, next});
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
    const TweakFile::Made made = TweakFile::make(changes);
    if (made.lines == 0) {
        host.showMessage(
            MessageKind::Always,
            QStringLiteral("Твик не сохранён: в нём не осталось бы ни одной строки.\n") +
                TweakFile::leftOutText(made.leftOut));
        return;
    }
    const QString name = host.dialogs().saveFileName(parent, QStringLiteral("Сохранить твик"),
                                                     Filters, nullptr, lastFolder(host));
    if (name.isEmpty())
        return;
    rememberFolder(host, name);
    // A name typed without a suffix gets the tweaks' own, so the apply's file filter shows it;
    // the question is about the file really written.
    const QString path = QFileInfo(name).suffix().isEmpty() ? name + QStringLiteral(".ltx") : name;
    if (QFileInfo::exists(path) &&
        host.dialogs().ask(
            parent,
            QStringLiteral("Файл «%1» уже есть.\nЗаменить его?").arg(QFileInfo(path).fileName()),
            {QStringLiteral("Заменить"), QStringLiteral("Отмена")}) != 0)
        return;
    QString why;
    if (!saveFile(path, made.bytes, &why)) {
        host.showMessage(MessageKind::Always,
                         QStringLiteral("Твик не сохранён в %1: %2.").arg(path, why));
        return;
    }
    const QString saved =
        QStringLiteral("Твик сохранён: %1 (строк: %2).").arg(path).arg(made.lines);
    if (made.leftOut.isEmpty())
        host.showMessage(MessageKind::Information, saved);
    else
        host.showMessage(MessageKind::Error,
                         saved + QLatin1Char('\n') + TweakFile::leftOutText(made.leftOut));
}

void ApplyTweakClick(WindowHost &host)
{
    const QString path = host.dialogs().openFileName(
        host.window(), QStringLiteral("Применить твик"), Filters, nullptr, lastFolder(host));
    if (path.isEmpty())
        return;
    rememberFolder(host, path);
    QList<TweakLine> lines;
    if (!readTweak(host, path, &lines))
        return;
    QList<TweakReviewLine> review = Tweak::review(host.gamedataFolder(), lines, false);

    ListDialog dialog(host.window(), QStringLiteral("TweakReview"),
                      QStringLiteral("Твик: ") + QFileInfo(path).fileName(), {900, 460},
                      QStringLiteral("TweakLines"),
                      {QStringLiteral("Строка"), QStringLiteral("Файл"), QStringLiteral("Секция"),
                       QStringLiteral("Параметр"), QStringLiteral("Состояние"),
                       QStringLiteral("Сейчас"), QStringLiteral("Станет")});
    QDialog &window = dialog.window();
    QTreeWidget *list = &dialog.list();
    auto *create = new QCheckBox(QStringLiteral("Создавать отсутствующие файлы"), &window);
    create->setObjectName(QStringLiteral("AllowCreate"));
    auto *note = new QLabel(QStringLiteral("Отмеченные строки будут записаны; зелёные уже "
                                           "совпадают, красные применить нельзя."),
                            &window);
    dialog.addBelow(create);
    dialog.addBelow(note);
    dialog.addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole,
                     QStringLiteral("WriteTweak"));
    dialog.addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    QObject::connect(create, &QCheckBox::toggled, &window, [&](bool allow) {
        review = Tweak::review(host.gamedataFolder(), lines, allow);
        fillReview(*list, review);
    });
    fillReview(*list, review);
    if (dialog.exec(host.dialogs()) != QDialog::Accepted)
        return;

    QList<TweakReviewLine> chosen;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        const qsizetype at = item->data(0, Qt::UserRole).value<qsizetype>();
        if (item->checkState(0) == Qt::Checked && at >= 0 && at < review.size())
            chosen.append(review[at]);
    }
    const TweakApplyReport report =
        Tweak::apply(host.session().writer(), &host.session().history(), chosen, Tweak::note(path),
                     TweakFile::identity(lines), create->isChecked());
    host.showMessage(report.complete ? MessageKind::Information : MessageKind::Always,
                     report.message());
}

void RemoveTweakClick(WindowHost &host)
{
    const QString path = host.dialogs().openFileName(host.window(), QStringLiteral("Удалить твик"),
                                                     Filters, nullptr, lastFolder(host));
    if (path.isEmpty())
        return;
    rememberFolder(host, path);
    QList<TweakLine> lines;
    if (!readTweak(host, path, &lines))
        return;
    // Known by its content, wherever the file lies now.
    const QList<HistoryRecord> group =
        Tweak::appliedGroup(host.gamedataFolder(), host.session().history().read(),
                            TweakFile::identity(lines), Tweak::note(path));
    if (group.isEmpty()) {
        host.showMessage(MessageKind::Always, QStringLiteral("Этот твик не применён:\n") + path);
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
