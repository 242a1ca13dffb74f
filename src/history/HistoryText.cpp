#include "history/HistoryText.h"

#include <QDateTime>

#include "textcodec/Cp1251.h"

namespace HistoryText {

namespace {

QString withNote(const QString &what, const QByteArray &note)
{
    return note.isEmpty() ? what : what + QStringLiteral(": ") + QString::fromUtf8(note);
}

QString fileName(const QByteArray &path)
{
    const QString text = QString::fromUtf8(path);
    return text.mid(std::max(text.lastIndexOf('/'), text.lastIndexOf('\\')) + 1);
}

} // namespace

QString line(const std::optional<QByteArray> &line)
{
    return line ? cp1251::toUnicode(*line) : QStringLiteral("(нет)");
}

QString moment(qint64 msecsSinceEpoch)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    return when.toString(when.date() == QDate::currentDate() ? QStringLiteral("HH:mm")
                                                             : QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString time(qint64 msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch)
        .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString made(const HistoryStamp &stamp, const LineChange *change)
{
    switch (stamp.origin) {
    case HistoryOrigin::Row:
        return withNote(QStringLiteral("строка"), stamp.note);
    case HistoryOrigin::Table:
        return withNote(QStringLiteral("таблица"), stamp.note);
    case HistoryOrigin::Tweak:
        return stamp.note.isEmpty() ? QStringLiteral("твик")
                                    : QStringLiteral("твик ") + fileName(stamp.note);
    case HistoryOrigin::Restore:
        return QStringLiteral("восстановление из резервной копии");
    case HistoryOrigin::Undo:
        return QStringLiteral("отмена записи ") +
               moment(ApplyHistory::groupTime(stamp.source ? stamp.source : stamp.target));
    case HistoryOrigin::Redo:
        return QStringLiteral("возврат записи ") +
               moment(ApplyHistory::groupTime(stamp.source ? stamp.source : stamp.target));
    case HistoryOrigin::Trade:
        break;
    }
    const QString key = change ? cp1251::toUnicode(change->key) : QString();
    const QString what = change && !change->after ? QStringLiteral("удаление ключа")
                                                  : QStringLiteral("строка торговли");
    return stamp.note.isEmpty() && !key.isEmpty() ? what + QStringLiteral(": ") + key
                                                  : withNote(what, stamp.note);
}

QString group(const HistoryStamp &stamp, const LineChange *change)
{
    return moment(ApplyHistory::groupTime(stamp.group)) + QLatin1Char(' ') + made(stamp, change);
}

QString tweak(const HistoryStamp &stamp)
{
    const bool ofTweak =
        stamp.origin == HistoryOrigin::Tweak ||
        ((stamp.origin == HistoryOrigin::Undo || stamp.origin == HistoryOrigin::Redo) &&
         !stamp.tweak.isEmpty());
    return ofTweak ? fileName(stamp.note) : QString();
}

QString state(WriteState state, bool undone)
{
    switch (state) {
    case WriteState::Pending:
        return QStringLiteral("не завершена");
    case WriteState::Unclear:
        return QStringLiteral("прервана, файл не совпадает");
    case WriteState::NotWritten:
        return QStringLiteral("не записана");
    case WriteState::Written:
        break;
    }
    return undone ? QStringLiteral("отменена") : QString();
}

QString record(const HistoryRecord &r, bool undone)
{
    const LineChange &c = r.change;
    QString text = QStringLiteral("%1  %2  %3 [%4] %5: %6 → %7")
                       .arg(time(r.time), made(r.stamp, &c), cp1251::toUnicode(c.file),
                            cp1251::toUnicode(c.section), cp1251::toUnicode(c.key), line(c.before),
                            line(c.after));
    if (const QString t = tweak(r.stamp); !t.isEmpty() && r.stamp.origin != HistoryOrigin::Tweak)
        text += QStringLiteral("  (твик %1)").arg(t);
    if (const QString s = state(r.state, undone); !s.isEmpty())
        text += QStringLiteral("  — ") + s;
    return text;
}

} // namespace HistoryText
