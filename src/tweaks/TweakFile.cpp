#include "tweaks/TweakFile.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

constexpr char Eol[] = "\r\n";

QString u(const QByteArray &text)
{
    return cp1251::toUnicode(text);
}

// The lines of a tweak file, without their endings (LF or CRLF). A lone CR stays in its line.
QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

} // namespace

namespace TweakFile {

QByteArray make(const QList<LineChange> &changes)
{
    QByteArray out = cp1251::encode(QStringLiteral(
        "; Твик: изменённые параметры файлов игры.\r\n"
        "; \";> файл\" - файл от папки gamedata, \"[раздел]\" - раздел,\r\n"
        "; \"ключ = значение\" - новая строка ключа, \";- ключ\" - ключ удаляется.\r\n"));
    // File by file in the order the files first appear; inside a file, the lines in their order,
    // a section header wherever the section changes.
    QList<QByteArray> files;
    QHash<QByteArray, QList<const LineChange *>> byFile;
    for (const LineChange &c : changes) {
        // A tweak carries keys: lines that hold none (includes, headers) come back only with
        // their whole file.
        if (!c.isKey())
            continue;
        const QByteArray id = sameFileKey(c.file);
        if (!byFile.contains(id))
            files.append(id);
        byFile[id].append(&c);
    }
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
        }
    }
    return out;
}

QList<Line> parse(const QByteArray &bytes)
{
    QList<Line> result;
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    QByteArray file, section;
    bool inSection = false;
    int number = 0;
    for (QByteArray text : splitLines(utf8 ? bytes.mid(3) : bytes)) {
        ++number;
        QString problem;
        if (utf8) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString unicode = decoder(text);
            if (decoder.hasError() || !cp1251::fromUnicode(unicode, &text))
                problem = QStringLiteral("текст не представим в кодировке Windows-1251");
        }
        if (problem.isEmpty() && text.contains('\r'))
            problem = QStringLiteral("в строке перевод строки");
        const QByteArray trimmed = text.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(FileMarker)) {
            file = trimmed.mid(2).trimmed();
            inSection = false;
            section.clear();
            continue;
        }
        Line line;
        line.number = number;
        line.file = file;
        if (trimmed.startsWith(RemovalMarker)) {
            line.key = trimmed.mid(2).trimmed();
        } else if (trimmed.startsWith(';')) {
            continue;
        } else if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            section = close < 0 ? trimmed.mid(1).trimmed() : trimmed.mid(1, close - 1).trimmed();
            inSection = true;
            continue;
        } else if (!text.contains('=')) {
            line.problem = QStringLiteral("строка без \"=\"");
            line.line = text;
        } else {
            line.key = text.left(text.indexOf('=')).trimmed();
            line.line = text;
        }
        line.section = section;
        if (!problem.isEmpty())
            line.problem = problem;
        else if (line.problem.isEmpty() && file.isEmpty())
            line.problem = QStringLiteral("перед строкой не назван файл (\";> файл\")");
        else if (line.problem.isEmpty() && (!inSection || section.isEmpty()))
            line.problem = QStringLiteral("перед строкой не назван раздел");
        else if (line.problem.isEmpty() && line.key.isEmpty())
            line.problem = QStringLiteral("не указан ключ");
        else if (line.problem.isEmpty()) {
            const QByteArray value = line.line ? line.line->mid(line.line->indexOf('=') + 1) : "";
            line.problem = IniDocument::checkEntry(section, line.key, value);
        }
        result.append(line);
    }
    return result;
}

} // namespace TweakFile

QString TweakReviewLine::stateText() const
{
    switch (state) {
    case State::Equal:
        return QStringLiteral("уже совпадает");
    case State::Differs:
        return QStringLiteral("отличается");
    case State::Missing:
        return QStringLiteral("нет в файле, будет добавлен");
    case State::Removal:
        return QStringLiteral("будет удалён");
    case State::Blocked:
        break;
    }
    return QStringLiteral("не применяется: ") + reason;
}

QString TweakReviewLine::text() const
{
    QString out = QStringLiteral("%1: %2 [%3] %4: ")
                      .arg(line.number)
                      .arg(u(line.file), u(line.section), u(line.key));
    out += stateText();
    if (state == State::Differs || state == State::Removal)
        out += QStringLiteral(": ") + u(current.value_or(QByteArray()));
    if (state == State::Differs)
        out += QStringLiteral(" → ") + u(line.line.value_or(QByteArray()));
    if (state == State::Missing)
        out += QStringLiteral(": ") + u(line.line.value_or(QByteArray()));
    return out;
}

QString TweakApplyReport::message() const
{
    const QString done = QStringLiteral("Записано строк: %1, файлов: %2.").arg(written).arg(files);
    if (complete)
        return done;
    return QStringLiteral("Запись твика остановлена на файле %1:\n%2\n").arg(u(file), reason) +
           done;
}

namespace Tweak {

QList<TweakReviewLine> review(const QByteArray &gamedataFolder, const QList<TweakFile::Line> &lines,
                              bool allowCreate)
{
    QList<TweakReviewLine> result;
    for (const TweakFile::Line &line : lines) {
        TweakReviewLine r;
        r.line = line;
        if (!line.problem.isEmpty()) {
            r.reason = line.problem;
            result.append(r);
            continue;
        }
        if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, line.file)) {
            r.reason = QStringLiteral("файл вне папки gamedata");
            result.append(r);
            continue;
        }
        const QString diskPath =
            ProfileFile(ParameterLookup::gameFilePath(gamedataFolder, line.file)).diskPath();
        if (!targetExists(diskPath) || isFolder(diskPath)) {
            if (!line.line) {
                r.state = TweakReviewLine::State::Equal;
            } else if (entryExists(diskPath)) {
                r.reason = QStringLiteral("на месте файла папка или иной объект");
            } else if (!allowCreate) {
                r.reason = QStringLiteral("файла нет, а создавать его не разрешено");
            } else {
                r.state = TweakReviewLine::State::Missing;
            }
            result.append(r);
            continue;
        }
        r.current = ProfileCache::instance().withDocument(
            ParameterLookup::gameFilePath(gamedataFolder, line.file),
            [&](const IniDocument &document) -> std::optional<QByteArray> {
                if (const auto at = document.keyLineOf(line.section, line.key))
                    return document.keyLineAt(*at).line.toByteArray();
                return std::nullopt;
            });
        using State = TweakReviewLine::State;
        if (!line.line)
            r.state = r.current ? State::Removal : State::Equal;
        else if (!r.current)
            r.state = State::Missing;
        else
            r.state = *r.current == *line.line ? State::Equal : State::Differs;
        result.append(r);
    }
    return result;
}

TweakApplyReport apply(const ParameterWriter &target, const QList<TweakReviewLine> &chosen,
                       const QByteArray &note)
{
    TweakApplyReport report;
    ParameterWriter writer = target;
    WriteJournal *journal = writer.journal();
    writer.setHistoryStamp({HistoryOrigin::Tweak, journal ? journal->newGroup() : 0, note, {}});
    // File by file in the order the files first appear.
    QList<QByteArray> files;
    QHash<QByteArray, QList<LineChange>> edits;
    QHash<QByteArray, QByteArray> names;
    for (const TweakReviewLine &r : chosen) {
        if (!r.writes())
            continue;
        const QByteArray id = sameFileKey(r.line.file);
        if (!edits.contains(id)) {
            files.append(id);
            names[id] = r.line.file;
        }
        edits[id].append(
            LineChange{r.line.file, r.line.section, r.line.key, r.current, r.line.line, {}, false});
    }
    for (const QByteArray &id : files) {
        QString error;
        const WriteResult result = writer.writeLines(names[id], edits[id], &error);
        if (result.gameFileWritten()) {
            report.written += static_cast<int>(edits[id].size());
            ++report.files;
        }
        if (!result) {
            report.complete = false;
            report.file = names[id];
            report.reason = error;
            return report;
        }
    }
    return report;
}

} // namespace Tweak
