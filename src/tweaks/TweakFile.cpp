#include "tweaks/TweakFile.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

#include "base/Bytes.h"
#include "gamefiles/GamePath.h"
#include "profile/IniDocument.h"
#include "textcodec/Cp1251.h"

namespace {

constexpr char Eol[] = "\r\n";

QString lineText(const std::optional<QByteArray> &line)
{
    return line ? cp1251::toUnicode(*line) : QStringLiteral("(нет)");
}

// Why a key change cannot travel in a tweak (empty: it can): its names must read back from the
// tweak as they are.
QString whyNotCarried(const LineChange &c)
{
    if (!c.isKey())
        return QStringLiteral("строка без ключа переносится только вместе со всем файлом");
    const QByteArray value = c.after ? c.after->mid(c.after->indexOf('=') + 1) : QByteArray();
    return IniDocument::checkEntry(c.section, c.key, value);
}

// The text of a UTF-8 tweak in Windows-1251, line breaks kept where they are. A line that is no
// valid UTF-8 or holds a character Windows-1251 lacks gets "?" for such characters, and where
// it starts in the text is noted in *unreadable.
QByteArray fromUtf8(QByteArrayView bytes, QSet<qsizetype> *unreadable)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype pos = 0;;) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString unicode = decoder(bytes.sliced(pos, end - pos));
        QByteArray text;
        if (decoder.hasError() || !cp1251::fromUnicode(unicode, &text)) {
            unreadable->insert(out.size());
            text = cp1251::encode(unicode);
        }
        out += text;
        if (end == bytes.size())
            return out;
        out += bytes[end];
        pos = end + 1;
    }
}

} // namespace

namespace TweakFile {

Made make(const QList<LineChange> &changes)
{
    Made made;
    made.bytes = cp1251::encode(QStringLiteral(
        "; Твик: изменённые параметры файлов игры.\r\n"
        "; \";> файл\" - файл от папки gamedata, \"[раздел]\" - раздел,\r\n"
        "; \"ключ = значение\" - новая строка ключа, \";- ключ\" - ключ удаляется.\r\n"));
    // File by file in the order the files first appear; inside a file, the lines in their order,
    // a section header wherever the section changes.
    QList<QByteArray> files;
    QHash<QByteArray, QList<const LineChange *>> byFile;
    for (const LineChange &c : changes) {
        if (!whyNotCarried(c).isEmpty()) {
            made.leftOut.append(c);
            continue;
        }
        const QByteArray id = sameFileKey(c.file);
        if (!byFile.contains(id))
            files.append(id);
        byFile[id].append(&c);
    }
    QByteArray &out = made.bytes;
    for (const QByteArray &id : files) {
        const QList<const LineChange *> &list = byFile[id];
        out += Eol;
        out += QByteArray(FileMarker) + ' ' + list.first()->file + Eol;
        const QByteArray *section = nullptr;
        for (const LineChange *c : list) {
            if (!section || !cp1251::equalsIgnoreCase(*section, c->section)) {
                out += '[' + c->section + ']' + Eol;
                section = &c->section;
            }
            if (!c->after)
                out += QByteArray(RemovalMarker) + ' ' + c->key + Eol;
            else
                out += *c->after + Eol;
            ++made.lines;
        }
    }
    return made;
}

QString leftOutText(const QList<LineChange> &leftOut)
{
    if (leftOut.isEmpty())
        return {};
    QStringList lines{QStringLiteral("Не вошли в твик:")};
    for (const LineChange &c : leftOut) {
        const QString where = c.isKey()
                                  ? QStringLiteral("%1 [%2] %3")
                                        .arg(cp1251::toUnicode(c.file),
                                             cp1251::toUnicode(c.section), cp1251::toUnicode(c.key))
                                  : QStringLiteral("%1 [%2]").arg(cp1251::toUnicode(c.file),
                                                                  cp1251::toUnicode(c.section));
        lines.append(QStringLiteral("%1: %2 → %3 (%4)")
                         .arg(where, lineText(c.before), lineText(c.after), whyNotCarried(c)));
    }
    return lines.join(QLatin1Char('\n'));
}

QList<TweakLine> parse(const QByteArray &bytes)
{
    QSet<qsizetype> unreadable;
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    const IniDocument document =
        IniDocument::parse(utf8 ? fromUtf8(QByteArrayView(bytes).sliced(3), &unreadable) : bytes);
    const QString notCp1251 = QStringLiteral("текст не представим в кодировке Windows-1251");

    QList<TweakLine> result;
    QByteArray file, section;
    bool inSection = false;
    // Why every line below a marker or header cannot apply (its own text could not be read).
    QString fileProblem, sectionProblem;
    int number = 0;
    using Kind = IniDocument::Line::Kind;
    for (const IniDocument::Line &l : document.lines()) {
        ++number;
        const QByteArrayView text = base::trimmed(l.text);
        const QString own = unreadable.contains(l.start) ? notCp1251 : QString();
        TweakLine line;
        line.number = number;
        LineChange &c = line.change;
        switch (l.kind) {
        case Kind::Blank:
            continue;
        case Kind::Header:
            section = l.section.toByteArray();
            inSection = true;
            sectionProblem =
                own.isEmpty() ? QString() : QStringLiteral("заголовок раздела: ") + own;
            continue;
        case Kind::Comment:
            if (text.startsWith(FileMarker)) {
                file = base::trimmed(text.sliced(2)).toByteArray();
                inSection = false;
                section.clear();
                sectionProblem.clear();
                fileProblem = own.isEmpty() ? QString() : QStringLiteral("имя файла: ") + own;
                continue;
            }
            if (!text.startsWith(RemovalMarker))
                continue;
            c.key = base::trimmed(text.sliced(2)).toByteArray();
            break;
        case Kind::Key:
            c.key = IniDocument::keyOfLine(l.text).toByteArray();
            c.after = l.text.toByteArray();
            break;
        case Kind::Include:
        case Kind::Other:
            c.after = l.text.toByteArray();
            c.keyLine = false;
            line.problem = l.kind == Kind::Include
                               ? QStringLiteral("строку #include твик не переносит")
                               : QStringLiteral("строка без «=» и не заголовок раздела");
            break;
        }
        c.file = file;
        c.section = section;
        if (!own.isEmpty())
            line.problem = own;
        else if (!fileProblem.isEmpty())
            line.problem = fileProblem;
        else if (!sectionProblem.isEmpty())
            line.problem = sectionProblem;
        if (line.problem.isEmpty()) {
            if (file.isEmpty())
                line.problem = QStringLiteral("перед строкой не назван файл (\";> файл\")");
            else if (!inSection)
                line.problem = QStringLiteral("перед строкой не назван раздел");
            else if (c.key.isEmpty())
                line.problem = QStringLiteral("не указан ключ");
            else
                line.problem = IniDocument::checkEntry(
                    section, c.key, c.after ? c.after->mid(c.after->indexOf('=') + 1) : "");
        }
        result.append(line);
    }
    return result;
}

QByteArray identity(const QList<TweakLine> &lines)
{
    QByteArrayList items;
    items.reserve(lines.size());
    for (const TweakLine &l : lines) {
        const LineChange &c = l.change;
        QByteArray item = sameFileKey(c.file);
        for (const QByteArray &part :
             {cp1251::foldCase(base::trimmed(c.section)), cp1251::foldCase(c.key),
              c.after ? '=' + *c.after : QByteArray("-")})
            item += '\n' + QByteArray::number(part.size()) + ':' + part;
        items.append(item);
    }
    std::sort(items.begin(), items.end());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QByteArray &item : std::as_const(items)) {
        hash.addData(QByteArray::number(item.size()) + ':');
        hash.addData(item);
    }
    return hash.result().toHex();
}

} // namespace TweakFile
