#include "history/ApplyHistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/SafeFile.h"

namespace {

// Version tag at the start of every line; a line of another tag is not this program's.
constexpr char Tag[] = "H1";

constexpr const char *OriginNames[] = {"row", "table", "tweak", "restore"};

quint64 checkSum(QByteArrayView bytes)
{
    quint64 h = 1469598103934665603ULL; // 64-bit FNV-1a
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return h;
}

// Tabs and line breaks never reach the file as they are: a record is one line of tab-separated
// fields.
QByteArray escaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<QByteArray> unescaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

QByteArray lineField(const std::optional<QByteArray> &line)
{
    return line ? '=' + escaped(*line) : QByteArray("-");
}

bool lineOf(QByteArrayView field, std::optional<QByteArray> *line)
{
    if (field == "-") {
        line->reset();
        return true;
    }
    if (!field.startsWith('='))
        return false;
    const std::optional<QByteArray> text = unescaped(field.sliced(1));
    if (!text)
        return false;
    *line = *text;
    return true;
}

QString failure(const QString &path, const QString &why)
{
    return QStringLiteral("История записей %1 не дополнена: %2").arg(path, why);
}

} // namespace

QByteArray originName(HistoryOrigin origin)
{
    return OriginNames[static_cast<int>(origin)];
}

ApplyHistory::ApplyHistory(QString path, int limit) : path_(std::move(path)), limit_(limit) {}

QByteArray ApplyHistory::encode(const HistoryRecord &r)
{
    QByteArray line = Tag;
    for (const QByteArray &field :
         {QByteArray::number(r.time), originName(r.origin), QByteArray::number(r.group),
          escaped(r.note), escaped(r.file), escaped(r.section), escaped(r.key), lineField(r.before),
          lineField(r.after)})
        line += '\t' + field;
    // A tweak's identity follows as an eleventh field, only where there is one.
    if (!r.tweak.isEmpty())
        line += '\t' + escaped(r.tweak);
    line += '\t' + QByteArray::number(checkSum(line), 16).rightJustified(16, '0') + '\n';
    return line;
}

std::optional<HistoryRecord> ApplyHistory::decode(QByteArrayView text)
{
    QByteArray line = text.toByteArray();
    if (line.endsWith('\n'))
        line.chop(1);
    const qsizetype lastTab = line.lastIndexOf('\t');
    if (lastTab < 0 || line.size() - lastTab != 17)
        return std::nullopt;
    bool ok = false;
    const quint64 sum = line.mid(lastTab + 1).toULongLong(&ok, 16);
    if (!ok || sum != checkSum(QByteArrayView(line).first(lastTab)))
        return std::nullopt;
    const QList<QByteArray> f = line.left(lastTab).split('\t');
    if ((f.size() != 10 && f.size() != 11) || f[0] != Tag)
        return std::nullopt;
    HistoryRecord r;
    r.time = f[1].toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const auto origin = std::find(std::begin(OriginNames), std::end(OriginNames), f[2]);
    if (origin == std::end(OriginNames))
        return std::nullopt;
    r.origin = static_cast<HistoryOrigin>(origin - std::begin(OriginNames));
    r.group = f[3].toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const std::optional<QByteArray> note = unescaped(f[4]), file = unescaped(f[5]),
                                    section = unescaped(f[6]), key = unescaped(f[7]);
    if (!note || !file || !section || !key || !lineOf(f[8], &r.before) || !lineOf(f[9], &r.after))
        return std::nullopt;
    if (f.size() == 11) {
        const std::optional<QByteArray> tweak = unescaped(f[10]);
        if (!tweak)
            return std::nullopt;
        r.tweak = *tweak;
    }
    r.note = *note;
    r.file = *file;
    r.section = *section;
    r.key = *key;
    return r;
}

ApplyHistory::Contents ApplyHistory::read() const
{
    Contents contents;
    QByteArray bytes;
    if (readRegularFile(QFile::encodeName(path_), &bytes) != FileRead::Read)
        return contents;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        if (!line.isEmpty()) {
            if (std::optional<HistoryRecord> r = decode(line))
                contents.records.append(std::move(*r));
            else
                ++contents.damaged;
        }
        start = end + 1;
    }
    return contents;
}

bool ApplyHistory::append(const HistoryRecord &record, QString *error)
{
    const QByteArray native = QFile::encodeName(path_);
    if (count_ < 0) {
        QByteArray bytes;
        readRegularFile(native, &bytes);
        count_ = static_cast<int>(bytes.count('\n'));
        QDir().mkpath(QFileInfo(path_).absolutePath());
    }
    // A line cut short by a crash gets its line break first, so the new record starts a line of
    // its own and only the cut one is dropped. Anything but a regular file is refused at once: a
    // FIFO named so would hold every write for good.
    QString why;
    if (!fsys::appendToFile(path_, encode(record), true, &why)) {
        if (error)
            *error = failure(path_, why);
        return false;
    }
    ++count_;
    if (count_ > limit_ + limit_ / 10)
        return compact(error);
    return true;
}

bool ApplyHistory::compact(QString *error)
{
    const Contents contents = read();
    const qsizetype keep = std::min<qsizetype>(contents.records.size(), limit_);
    QByteArray bytes;
    for (qsizetype i = contents.records.size() - keep; i < contents.records.size(); ++i)
        bytes += encode(contents.records[i]);
    QString why;
    if (!saveFile(path_, bytes, &why)) {
        if (error)
            *error = failure(path_, why);
        return false;
    }
    count_ = static_cast<int>(keep);
    return true;
}

qint64 ApplyHistory::newGroup()
{
    // Milliseconds of the clock: later than every group of an earlier run.
    lastGroup_ = std::max(lastGroup_ + 1, QDateTime::currentMSecsSinceEpoch());
    return lastGroup_;
}

qint64 ApplyHistory::begin(const HistoryStamp &stamp, const QList<LineChange> &changes,
                           bool /*duplicated*/, bool *ok, QString * /*error*/)
{
    pending_.insert(++lastTicket_, Pending{stamp, changes});
    *ok = true;
    return lastTicket_;
}

void ApplyHistory::done(qint64 ticket, bool written, QString *error)
{
    const Pending pending = pending_.take(ticket);
    if (!written)
        return;
    const qint64 group = pending.stamp.group != 0 ? pending.stamp.group : newGroup();
    for (const LineChange &c : pending.changes) {
        HistoryRecord r;
        r.time = QDateTime::currentMSecsSinceEpoch();
        r.origin = pending.stamp.origin;
        r.group = group;
        r.note = pending.stamp.note;
        r.tweak = pending.stamp.tweak;
        r.file = c.file;
        r.section = c.section;
        r.key = c.key;
        r.before = c.before;
        r.after = c.after;
        if (!append(r, error))
            return;
    }
}
