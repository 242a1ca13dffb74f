#include "history/ApplyHistory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <map>
#include <utility>

#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

// The tag at the start of every line. H1: the first format (a record of a write already made,
// its note in Windows-1251), still read. H2: numbered lines of several kinds.
constexpr char OldTag[] = "H1";
constexpr char Tag[] = "H2";

constexpr const char *OriginNames[] = {"row", "table", "tweak", "restore", "undo", "redo", "trade"};
constexpr int OldOrigins = 4; // the origins H1 lines know

// What a done line says of a write: the writer's own word, or what a later look at the file found.
constexpr const char *Outcomes[] = {"written", "failed", "found-written", "found-not-written",
                                    "unclear"};
enum class Outcome
{
    Written,
    Failed,
    FoundWritten,
    FoundNotWritten,
    Unclear,
};

quint64 checkSum(QByteArrayView bytes)
{
    quint64 h = 1469598103934665603ULL; // 64-bit FNV-1a
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return h;
}

// Tabs and line breaks never reach the file as they are: a line is tab-separated fields. Every
// other byte is kept as it is, so any text (a path in any script, a key in Windows-1251) comes
// back unchanged.
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

bool numberOf(QByteArrayView field, qint64 *n)
{
    bool ok = false;
    *n = field.toLongLong(&ok);
    return ok;
}

bool flagOf(QByteArrayView field, bool *flag)
{
    if (field != "0" && field != "1")
        return false;
    *flag = field == "1";
    return true;
}

bool originOf(QByteArrayView field, int known, HistoryOrigin *origin)
{
    for (int i = 0; i < known; ++i) {
        if (field == OriginNames[i]) {
            *origin = static_cast<HistoryOrigin>(i);
            return true;
        }
    }
    return false;
}

// The line without its ending (LF, or CRLF when the file was edited on Windows) and without its
// check sum, when the check sum holds.
std::optional<QByteArrayView> checkedBody(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    const qsizetype lastTab = line.lastIndexOf('\t');
    if (lastTab < 0 || line.size() - lastTab != 17)
        return std::nullopt;
    bool ok = false;
    const quint64 sum = line.sliced(lastTab + 1).toULongLong(&ok, 16);
    if (!ok || sum != checkSum(line.first(lastTab)))
        return std::nullopt;
    return line.first(lastTab);
}

QByteArray withCheckSum(QByteArray line)
{
    line += '\t' + QByteArray::number(checkSum(line), 16).rightJustified(16, '0') + '\n';
    return line;
}

QString failure(const QString &path, const QString &why)
{
    return QStringLiteral("История записей %1 не дополнена: %2").arg(shownPath(path), why);
}

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Calls each for every line of the file at native in file order (without its ending), reading a
// piece at a time. False when the file is there but cannot be read.
bool forEachLine(const NativePath &native, const std::function<void(QByteArrayView)> &each)
{
    FileStamp stamp;
    FileRead outcome = FileRead::Read;
    fsys::File file = fsys::File::openRegular(native, &stamp, &outcome, nullptr);
    if (!file.isOpen())
        return outcome == FileRead::Missing;
    constexpr qint64 Piece = 1 << 20;
    QByteArray buffer;
    QByteArray piece(Piece, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(piece.data(), Piece, nullptr);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        buffer.append(piece.constData(), n);
        qsizetype start = 0;
        for (qsizetype end; (end = buffer.indexOf('\n', start)) >= 0; start = end + 1)
            each(QByteArrayView(buffer).sliced(start, end - start));
        buffer.remove(0, start);
    }
    if (!buffer.isEmpty())
        each(buffer);
    return true;
}

// Calls each for every line of the file at native from the last to the first, reading pieces
// from the end, until each returns false.
void forEachLineBackward(const NativePath &native, const std::function<bool(QByteArrayView)> &each,
                         qint64 piece = 1 << 16)
{
    FileStamp stamp;
    FileRead outcome = FileRead::Read;
    fsys::File file = fsys::File::openRegular(native, &stamp, &outcome, nullptr);
    if (!file.isOpen())
        return;
    qint64 position = stamp.size;
    QByteArray carried; // the start of the line the last piece began within
    while (position > 0) {
        const qint64 from = std::max<qint64>(0, position - piece);
        QByteArray buffer(position - from, Qt::Uninitialized);
        qint64 got = 0;
        while (got < buffer.size()) {
            const qint64 n =
                file.readAt(from + got, buffer.data() + got, buffer.size() - got, nullptr);
            if (n <= 0)
                return;
            got += n;
        }
        buffer += carried;
        position = from;
        qsizetype end = buffer.size();
        for (;;) {
            const qsizetype at = end > 0 ? buffer.lastIndexOf('\n', end - 1) : -1;
            if (at < 0)
                break;
            if (end - at - 1 > 0 && !each(QByteArrayView(buffer).sliced(at + 1, end - at - 1)))
                return;
            end = at;
        }
        carried = buffer.left(end);
        if (position == 0 && !carried.isEmpty())
            each(carried);
        // A line longer than a piece is read in larger pieces.
        if (carried.size() > piece / 2)
            piece *= 2;
    }
}

} // namespace

QByteArray originName(HistoryOrigin origin)
{
    return OriginNames[static_cast<int>(origin)];
}

// One line of the file: a record of a write (intent or made), the outcome of a write, the end of
// an undo or redo group, or the number the file's count starts from after a rewrite.
struct ApplyHistory::Line
{
    enum class Kind
    {
        Write,
        Done,
        End,
        Base,    // the number before the first line (after a rewrite)
        Settled, // every write up to a number has its outcome (base holds the number)
    };
    Kind kind = Kind::Write;
    bool old = false;     // an H1 line, numbered by its place
    qint64 number = 0;    // the line's number in the file
    qint64 group = 0;     // of every kind but Base
    HistoryRecord record; // Write: the record (its time, write and state included)
    qint64 write = 0;     // Done
    Outcome outcome = Outcome::Written;
    GroupEnd end; // End
    qint64 base = 0;
    qint64 time = 0;

    QByteArray encoded() const
    {
        QByteArray line = Tag;
        const auto add = [&](const QByteArray &field) { line += '\t' + field; };
        add(QByteArray::number(number));
        add(QByteArray(1, "wdeks"[static_cast<int>(kind)]));
        add(QByteArray::number(kind == Kind::Write ? record.time : time));
        add(QByteArray::number(group));
        switch (kind) {
        case Kind::Write: {
            const HistoryRecord &r = record;
            const LineChange &c = r.change;
            add(QByteArray::number(r.write));
            add(r.state == WriteState::Pending ? "p" : "w");
            add(originName(r.stamp.origin));
            add(QByteArray::number(r.stamp.target));
            add(QByteArray::number(r.stamp.source));
            add(r.duplicated ? "1" : "0");
            add(escaped(c.file));
            add(escaped(c.section));
            add(escaped(c.key));
            add(lineField(c.before));
            add(lineField(c.after));
            add(lineField(c.previous));
            add(c.first ? "1" : "0");
            add(escaped(r.stamp.note));
            add(escaped(r.stamp.tweak));
            add(escaped(r.gamedataFolder));
            break;
        }
        case Kind::Done:
            add(QByteArray::number(write));
            add(Outcomes[static_cast<int>(outcome)]);
            break;
        case Kind::End:
            add(originName(end.stamp.origin));
            add(QByteArray::number(end.stamp.target));
            add(QByteArray::number(end.stamp.source));
            add(end.whole ? "1" : "0");
            add(escaped(end.stamp.note));
            add(escaped(end.stamp.tweak));
            break;
        case Kind::Base:
        case Kind::Settled:
            add(QByteArray::number(base));
            break;
        }
        return withCheckSum(line);
    }

    static std::optional<Line> parse(QByteArrayView text)
    {
        const std::optional<QByteArrayView> body = checkedBody(text);
        if (!body)
            return std::nullopt;
        QList<QByteArrayView> f;
        for (qsizetype from = 0;;) {
            const qsizetype tab = body->indexOf('\t', from);
            f.append(body->sliced(from, (tab < 0 ? body->size() : tab) - from));
            if (tab < 0)
                break;
            from = tab + 1;
        }
        if (f.size() == 10 && f[0] == OldTag)
            return parseOld(f);
        if (f.size() < 5 || f[0] != Tag)
            return std::nullopt;
        Line l;
        if (!numberOf(f[1], &l.number) || !numberOf(f[3], &l.time) || !numberOf(f[4], &l.group))
            return std::nullopt;
        if (f[2] == "w" && f.size() == 21) {
            l.kind = Kind::Write;
            HistoryRecord &r = l.record;
            LineChange &c = r.change;
            r.time = l.time;
            r.stamp.group = l.group;
            std::optional<QByteArray> file = unescaped(f[11]), section = unescaped(f[12]),
                                      key = unescaped(f[13]), note = unescaped(f[18]),
                                      tweak = unescaped(f[19]), folder = unescaped(f[20]);
            if (!numberOf(f[5], &r.write) || (f[6] != "p" && f[6] != "w") ||
                !originOf(f[7], std::size(OriginNames), &r.stamp.origin) ||
                !numberOf(f[8], &r.stamp.target) || !numberOf(f[9], &r.stamp.source) ||
                !flagOf(f[10], &r.duplicated) || !file || !section || !key ||
                !lineOf(f[14], &c.before) || !lineOf(f[15], &c.after) ||
                !lineOf(f[16], &c.previous) || !flagOf(f[17], &c.first) || !note || !tweak ||
                !folder)
                return std::nullopt;
            r.gamedataFolder = std::move(*folder);
            r.state = f[6] == "p" ? WriteState::Pending : WriteState::Written;
            c.file = std::move(*file);
            c.section = std::move(*section);
            c.key = std::move(*key);
            r.stamp.note = std::move(*note);
            r.stamp.tweak = std::move(*tweak);
            return l;
        }
        if (f[2] == "d" && f.size() == 7) {
            l.kind = Kind::Done;
            const auto outcome = std::find(std::begin(Outcomes), std::end(Outcomes), f[6]);
            if (!numberOf(f[5], &l.write) || outcome == std::end(Outcomes))
                return std::nullopt;
            l.outcome = static_cast<Outcome>(outcome - std::begin(Outcomes));
            return l;
        }
        if (f[2] == "e" && f.size() == 11) {
            l.kind = Kind::End;
            HistoryStamp &s = l.end.stamp;
            s.group = l.group;
            std::optional<QByteArray> note = unescaped(f[9]), tweak = unescaped(f[10]);
            if (!originOf(f[5], std::size(OriginNames), &s.origin) || !numberOf(f[6], &s.target) ||
                !numberOf(f[7], &s.source) || !flagOf(f[8], &l.end.whole) || !note || !tweak)
                return std::nullopt;
            s.note = std::move(*note);
            s.tweak = std::move(*tweak);
            return l;
        }
        if ((f[2] == "k" || f[2] == "s") && f.size() == 6) {
            l.kind = f[2] == "k" ? Kind::Base : Kind::Settled;
            if (!numberOf(f[5], &l.base))
                return std::nullopt;
            return l;
        }
        return std::nullopt;
    }

    // H1: time, origin, group, note (Windows-1251), file, section, key, before, after; a write
    // already made, one line each.
    static std::optional<Line> parseOld(const QList<QByteArrayView> &f)
    {
        Line l;
        l.old = true;
        HistoryRecord &r = l.record;
        LineChange &c = r.change;
        std::optional<QByteArray> note = unescaped(f[4]), file = unescaped(f[5]),
                                  section = unescaped(f[6]), key = unescaped(f[7]);
        if (!numberOf(f[1], &r.time) || !originOf(f[2], OldOrigins, &r.stamp.origin) ||
            !numberOf(f[3], &r.stamp.group) || !note || !file || !section || !key ||
            !lineOf(f[8], &c.before) || !lineOf(f[9], &c.after))
            return std::nullopt;
        r.stamp.note = cp1251::toUnicode(*note).toUtf8();
        c.file = std::move(*file);
        c.section = std::move(*section);
        c.key = std::move(*key);
        // The older program repeated every write into the duplication folder when it was on.
        r.duplicated = true;
        l.time = r.time;
        l.group = r.stamp.group;
        return l;
    }
};

// The number of the file's last line: the number of its last numbered line plus the lines after
// it. Reads the file from its end until a numbered line is found (the whole file only when it
// holds none, as an H1 file does).
qint64 ApplyHistory::lastNumber(const QByteArray &native)
{
    qint64 after = 0;
    std::optional<qint64> found;
    forEachLineBackward(native, [&](QByteArrayView text) {
        if (const std::optional<Line> l = Line::parse(text); l && !l->old) {
            found = l->number;
            return false;
        }
        ++after;
        return true;
    });
    return found.value_or(0) + after;
}

// The number before the file's first line: the count of lines is the last number less it.
qint64 ApplyHistory::baseNumber(const QByteArray &native)
{
    FileStamp stamp;
    FileRead outcome = FileRead::Read;
    fsys::File file = fsys::File::openRegular(native, &stamp, &outcome, nullptr);
    if (!file.isOpen())
        return 0;
    QByteArray head;
    QByteArray piece(1 << 14, Qt::Uninitialized);
    for (;;) {
        while (head.startsWith('\n') || head.startsWith("\r\n"))
            head.remove(0, head.indexOf('\n') + 1);
        if (const qsizetype end = head.indexOf('\n'); end > 0) {
            head.truncate(end);
            break;
        }
        const qint64 n = file.read(piece.data(), piece.size(), nullptr);
        if (n <= 0)
            break;
        head.append(piece.constData(), n);
    }
    const std::optional<Line> l = Line::parse(head);
    if (!l || l->old)
        return 0;
    return l->kind == Line::Kind::Base ? l->base : l->number - 1;
}

namespace {

// A write's state from its done lines: the writer's own word stands over what a later look found.
void takeOutcome(QHash<qint64, WriteState> *states, qint64 write, Outcome outcome)
{
    const bool said = outcome == Outcome::Written || outcome == Outcome::Failed;
    WriteState state = WriteState::Written;
    switch (outcome) {
    case Outcome::Written:
    case Outcome::FoundWritten:
        state = WriteState::Written;
        break;
    case Outcome::Failed:
    case Outcome::FoundNotWritten:
        state = WriteState::NotWritten;
        break;
    case Outcome::Unclear:
        state = WriteState::Unclear;
        break;
    }
    if (said || !states->contains(write))
        states->insert(write, state);
}

// The process-wide last group, so that two histories of one process never hand out one number.
std::atomic<qint64> lastGroup{0};

constexpr int ProcessBits = 21;

// Lines a settling may read before it leaves a mark where the next one stops.
constexpr qint64 SettledMarkLines = 64;

} // namespace

ApplyHistory::ApplyHistory(QString path, int limit) : path_(std::move(path)), limit_(limit) {}

qint64 ApplyHistory::groupTime(qint64 group)
{
    // Groups of the older format are milliseconds of the clock.
    return group >= (qint64(1) << 42) ? group >> ProcessBits : group;
}

QByteArray ApplyHistory::encode(const HistoryRecord &record)
{
    Line l;
    l.kind = Line::Kind::Write;
    l.record = record;
    l.record.state = WriteState::Written;
    l.group = record.stamp.group;
    return l.encoded();
}

std::optional<HistoryRecord> ApplyHistory::decode(QByteArrayView line)
{
    const std::optional<Line> l = Line::parse(line);
    if (!l || l->kind != Line::Kind::Write)
        return std::nullopt;
    return l->record;
}

ApplyHistory::Contents ApplyHistory::read() const
{
    Contents contents;
    QHash<qint64, WriteState> states;
    QSet<qint64> seen;
    qint64 number = 0;
    forEachLine(nativePath(path_), [&](QByteArrayView text) {
        if (text.isEmpty() || text == "\r")
            return;
        std::optional<Line> l = Line::parse(text);
        if (!l) {
            ++contents.damaged;
            ++number;
            return;
        }
        number = l->old ? number + 1 : l->number;
        if ((l->kind == Line::Kind::Write || l->kind == Line::Kind::End) &&
            !seen.contains(l->group)) {
            seen.insert(l->group);
            contents.groups.append(l->group);
        }
        switch (l->kind) {
        case Line::Kind::Write:
            if (l->old)
                l->record.write = number;
            contents.records.append(std::move(l->record));
            break;
        case Line::Kind::Done:
            takeOutcome(&states, l->write, l->outcome);
            break;
        case Line::Kind::End:
            // A group ends once; a second end (two programs finishing one undo) adds nothing
            // but may say whole.
            if (const auto it = contents.ends.find(l->group); it != contents.ends.end())
                it->whole = it->whole || l->end.whole;
            else
                contents.ends.insert(l->group, l->end);
            break;
        case Line::Kind::Base:
        case Line::Kind::Settled:
            break;
        }
    });
    for (HistoryRecord &r : contents.records)
        if (r.state == WriteState::Pending)
            r.state = states.value(r.write, WriteState::Pending);
    contents.records.removeIf(
        [](const HistoryRecord &r) { return r.state == WriteState::NotWritten; });
    return contents;
}

void ApplyHistory::readNewestFirst(
    const std::function<bool(const HistoryRecord &, bool undone)> &each, int *damaged) const
{
    QHash<qint64, WriteState> states;
    QSet<qint64> redone, undone;
    int dropped = 0;
    forEachLineBackward(nativePath(path_), [&](QByteArrayView text) {
        if (text == "\r")
            return true;
        std::optional<Line> l = Line::parse(text);
        if (!l) {
            ++dropped;
            return true;
        }
        switch (l->kind) {
        case Line::Kind::Write: {
            HistoryRecord &r = l->record;
            if (r.state == WriteState::Pending)
                r.state = states.value(r.write, WriteState::Pending);
            if (r.state == WriteState::NotWritten)
                return true;
            return each(r, undone.contains(r.stamp.group));
        }
        case Line::Kind::Done:
            takeOutcome(&states, l->write, l->outcome);
            return true;
        case Line::Kind::End:
            // Newer lines come first: a redo is met before the undo it reverses, an undo before
            // the group it takes back.
            if (l->end.whole && l->end.stamp.origin == HistoryOrigin::Redo)
                redone.insert(l->end.stamp.target);
            else if (l->end.whole && l->end.stamp.origin == HistoryOrigin::Undo &&
                     !redone.contains(l->group))
                undone.insert(l->end.stamp.target);
            return true;
        case Line::Kind::Base:
        case Line::Kind::Settled:
            return true;
        }
        return true;
    });
    if (damaged)
        *damaged = dropped;
}

bool ApplyHistory::append(const HistoryRecord &record, QString *error)
{
    QList<Line> lines(1);
    lines[0].record = record;
    lines[0].record.state = WriteState::Written;
    lines[0].record.write = -1;
    if (lines[0].record.stamp.group == 0)
        lines[0].record.stamp.group = newGroup();
    lines[0].group = lines[0].record.stamp.group;
    return appendLines(lines, error);
}

// Under the history's lock: numbers the lines after the file's last one (a write's records get
// the number of its first line as their write), appends them in one piece, and rewrites the file
// when it grew past its bound.
bool ApplyHistory::appendLines(QList<Line> &lines, QString *error)
{
    QDir().mkpath(QFileInfo(path_).absolutePath());
    fsys::FileLock::Outcome locking;
    QString why;
    const fsys::FileLock lock = fsys::FileLock::acquire(path_, &locking, &why);
    if (locking == fsys::FileLock::Outcome::Busy) {
        if (error)
            *error = failure(path_, why);
        return false;
    }
    const NativePath native = nativePath(path_);
    qint64 number = lastNumber(native);
    const qint64 first = number + 1;
    const qint64 time = now();
    QByteArray bytes;
    for (Line &l : lines) {
        l.number = ++number;
        l.time = time;
        l.record.time = time;
        if (l.record.write < 0)
            l.record.write = first;
        if (l.kind == Line::Kind::Done && l.write < 0)
            l.write = first;
        bytes += l.encoded();
    }
    // A line cut short by a crash gets its line break first, so the new lines start a line of
    // their own and only the cut one is dropped. Anything but a regular file is refused at once:
    // a FIFO named so would hold every write for good.
    if (!fsys::appendToFile(path_, bytes, true, &why)) {
        if (error)
            *error = failure(path_, why);
        return false;
    }
    const qint64 bound = limit_ + limit_ / 10;
    if (base_ < 0 || number - base_ > bound)
        base_ = baseNumber(native);
    if (number - base_ > bound)
        return compact(native, number, error);
    return true;
}

// Drops the oldest groups, whole, so that about limit lines stay; a group reaching into the kept
// lines is kept from its first line on. Lines of the older format are rewritten in the new one
// with the numbers they had.
bool ApplyHistory::compact(const NativePath &native, qint64 last, QString *error)
{
    std::vector<Line> lines;
    qint64 number = 0;
    forEachLine(native, [&](QByteArrayView text) {
        if (text.isEmpty() || text == "\r")
            return;
        std::optional<Line> l = Line::parse(text);
        if (!l) {
            ++number;
            return;
        }
        number = l->old ? number + 1 : l->number;
        // The count starts anew, and marks of settled writes only save work.
        if (l->kind == Line::Kind::Base || l->kind == Line::Kind::Settled)
            return;
        if (l->old) {
            l->old = false;
            l->number = number;
            l->record.write = number;
        }
        lines.push_back(std::move(*l));
    });
    const qsizetype n = qsizetype(lines.size());
    QHash<qint64, qsizetype> firstOfGroup;
    for (qsizetype i = 0; i < n; ++i)
        firstOfGroup.insert(lines[i].group, std::min(firstOfGroup.value(lines[i].group, i), i));
    qsizetype start = std::max<qsizetype>(0, n - limit_);
    for (qsizetype i = n - 1; i >= start; --i)
        start = std::min(start, firstOfGroup.value(lines[i].group));
    const qsizetype kept = n - start;
    // A kept group larger than the bound makes the file larger than the bound: the count starts
    // so that the next rewrite comes when it can drop the oldest group (and a tenth later at the
    // earliest), not at every append.
    Line base;
    base.kind = Line::Kind::Base;
    base.base = kept == 0 ? last : lines[start].number - 1;
    if (kept > limit_) {
        qsizetype endOfOldest = start;
        for (qsizetype i = start; i < n; ++i)
            if (lines[i].group == lines[start].group)
                endOfOldest = i;
        const qint64 needed = std::max<qint64>(limit_ / 10, limit_ - (n - 1 - endOfOldest));
        base.base = last + needed - (limit_ + limit_ / 10);
    }
    base.number = base.base;
    base.time = now();
    QByteArray bytes = base.encoded();
    for (qsizetype i = start; i < n; ++i)
        bytes += lines[i].encoded();
    QString why;
    if (!saveFile(path_, bytes, &why)) {
        if (error)
            *error = failure(path_, why);
        return false;
    }
    base_ = base.base;
    return true;
}

qint64 ApplyHistory::newGroup()
{
    // Milliseconds of the clock, then the process id: two programs writing at once never make
    // the same number, and one program's numbers keep growing (a second group within one
    // millisecond takes the next millisecond's number).
    const qint64 process = QCoreApplication::applicationPid() & ((qint64(1) << ProcessBits) - 1);
    qint64 previous = lastGroup.load();
    qint64 group = 0;
    do {
        const qint64 millisecond = std::max(now(), (previous >> ProcessBits) + 1);
        group = (millisecond << ProcessBits) | process;
    } while (!lastGroup.compare_exchange_weak(previous, group));
    return group;
}

qint64 ApplyHistory::begin(const HistoryStamp &stamp, const QList<LineChange> &changes,
                           bool duplicated, bool *ok, QString *error)
{
    const qint64 group = stamp.group != 0 ? stamp.group : newGroup();
    QList<Line> lines;
    lines.reserve(changes.size());
    for (const LineChange &c : changes) {
        Line l;
        l.kind = Line::Kind::Write;
        l.group = group;
        l.record.change = c;
        l.record.stamp = stamp;
        l.record.stamp.group = group;
        l.record.duplicated = duplicated;
        l.record.gamedataFolder = gamedataFolder_;
        l.record.write = -1;
        l.record.state = WriteState::Pending;
        lines.append(std::move(l));
    }
    *ok = appendLines(lines, error);
    if (!*ok)
        return 0;
    pending_.insert(++lastTicket_, Pending{lines.first().record.write, group});
    return lastTicket_;
}

void ApplyHistory::done(qint64 ticket, bool written, QString *error)
{
    const Pending pending = pending_.take(ticket);
    if (pending.write == 0)
        return;
    QList<Line> lines(1);
    lines[0].kind = Line::Kind::Done;
    lines[0].group = pending.group;
    lines[0].write = pending.write;
    lines[0].outcome = written ? Outcome::Written : Outcome::Failed;
    appendLines(lines, error);
}

void ApplyHistory::endGroup(const HistoryStamp &stamp, bool whole, QString *error)
{
    QList<Line> lines(1);
    lines[0].kind = Line::Kind::End;
    lines[0].group = stamp.group;
    lines[0].end.stamp = stamp;
    lines[0].end.whole = whole;
    appendLines(lines, error);
}

ApplyHistory::Settled ApplyHistory::settle(const QByteArray &gamedataFolder)
{
    Settled settled;
    gamedataFolder_ = gamedataFolder;
    if (gamedataFolder.isEmpty() || !QFileInfo(resolveDiskPath(gamedataFolder)).isDir())
        return settled;
    // The file is read from its end back to the newest mark that says every write before it has
    // its outcome, so a command pays for the lines since the last settling, not for the whole
    // file. Lines are looked at by their first fields alone: a full check only for the writes
    // without an outcome.
    const NativePath native = nativePath(path_);
    std::map<qint64, QList<QByteArray>> open; // by write
    QSet<qint64> finished;
    qint64 horizon = 0; // every write up to this number has its outcome
    qint64 newest = 0;  // the last line's number
    qint64 scanned = 0;
    forEachLineBackward(native, [&](QByteArrayView text) {
        if (text.endsWith('\r'))
            text.chop(1);
        // Every line passed counts towards the next mark: a history of old lines alone is read
        // whole once, not by every command.
        ++scanned;
        if (!text.startsWith("H2\t"))
            return true; // an old line (always a write made) or a damaged one
        // The first six fields; the last may run to the line's end (a mark's check sum).
        qsizetype at = 3;
        QByteArrayView fields[6];
        int count = 0;
        for (QByteArrayView &f : fields) {
            const qsizetype tab = text.indexOf('\t', at);
            f = text.sliced(at, (tab < 0 ? text.size() : tab) - at);
            ++count;
            if (tab < 0)
                break;
            at = tab + 1;
        }
        if (count < 6)
            return true;
        // fields: number, kind, time, group, then write and state (w, d) or a number (s).
        const qint64 number = fields[0].toLongLong();
        if (newest == 0)
            newest = number;
        if (number <= horizon)
            return false;
        if (fields[1] == "w" && fields[5] == "p") {
            const qint64 write = fields[4].toLongLong();
            if (!finished.contains(write))
                open[write].prepend(text.toByteArray());
        } else if (fields[1] == "d" || fields[1] == "s") {
            if (const std::optional<Line> l = Line::parse(text)) {
                if (l->kind == Line::Kind::Done)
                    finished.insert(l->write);
                else
                    horizon = std::max(horizon, l->base);
            }
        }
        return true;
    });
    qint64 through = newest; // what the next mark may say
    for (const auto &[write, texts] : open) {
        QList<HistoryRecord> records;
        for (const QByteArray &text : texts)
            if (const std::optional<Line> l = Line::parse(text); l && l->record.write == write)
                records.append(l->record);
        if (records.isEmpty())
            continue;
        // The folder the write went to (another run may have had another gamedata folder).
        const QByteArray &folder = records.first().gamedataFolder.isEmpty()
                                       ? gamedataFolder
                                       : records.first().gamedataFolder;
        const QByteArray &file = records.first().change.file;
        if (!isInsideGamedata(folder, file) || !QFileInfo(resolveDiskPath(folder)).isDir()) {
            through = std::min(through, write - 1);
            continue;
        }
        const QString diskPath =
            ProfileFile(ParameterLookup::gameFilePath(folder, file)).diskPath();
        // A writer holds its file from before the intent to after the write: a file that stays
        // locked is being written now, and its writer will say how it went.
        fsys::FileLock::Outcome locking;
        const fsys::FileLock lock =
            fsys::FileLock::acquire(resolveSymlinks(diskPath), &locking, nullptr);
        if (locking == fsys::FileLock::Outcome::Busy) {
            through = std::min(through, write - 1);
            continue;
        }
        QByteArray bytes;
        readRegularFile(resolveSymlinks(diskPath), &bytes);
        const IniDocument doc = IniDocument::parse(bytes);
        // Each key's first line before and last line after, as the write meant them.
        struct Key
        {
            const LineChange *change;
            std::optional<QByteArray> before, after;
        };
        std::vector<Key> keys;
        for (const HistoryRecord &r : records) {
            const auto same = [&](const Key &k) {
                return k.change->section == r.change.section && k.change->key == r.change.key;
            };
            if (const auto it = std::find_if(keys.begin(), keys.end(), same); it != keys.end())
                it->after = r.change.after;
            else
                keys.push_back({&r.change, r.change.before, r.change.after});
        }
        bool allAfter = true, allBefore = true;
        QStringList odd;
        for (const Key &k : keys) {
            const std::optional<std::size_t> at = doc.keyLineOf(k.change->section, k.change->key);
            const std::optional<QByteArray> line =
                at ? std::optional(doc.keyLineAt(*at).line.toByteArray()) : std::nullopt;
            allAfter = allAfter && line == k.after;
            allBefore = allBefore && line == k.before;
            if (line != k.after && line != k.before)
                odd.append(QStringLiteral("[%1] %2").arg(cp1251::toUnicode(k.change->section),
                                                         cp1251::toUnicode(k.change->key)));
        }
        QList<Line> lines(1);
        lines[0].kind = Line::Kind::Done;
        lines[0].group = records.first().stamp.group;
        lines[0].write = write;
        if (allAfter) {
            lines[0].outcome = Outcome::FoundWritten;
            ++settled.written;
        } else if (allBefore) {
            lines[0].outcome = Outcome::FoundNotWritten;
            ++settled.notWritten;
        } else {
            lines[0].outcome = Outcome::Unclear;
            ++settled.unclear;
            settled.problems.append(
                QStringLiteral("Запись в файл %1 от %2 была прервана, и файл не совпадает ни с "
                               "прежними, ни с новыми строками: %3. Проверьте эти ключи.")
                    .arg(cp1251::toUnicode(file),
                         QDateTime::fromMSecsSinceEpoch(records.first().time)
                             .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                         odd.join(QStringLiteral(", "))));
        }
        QString why;
        if (!appendLines(lines, &why))
            settled.problems.append(why);
    }
    // A mark now and then, so that the next settling stops there.
    if (scanned >= SettledMarkLines && through > horizon) {
        QList<Line> mark(1);
        mark[0].kind = Line::Kind::Settled;
        mark[0].base = through;
        appendLines(mark, nullptr);
    }
    return settled;
}
