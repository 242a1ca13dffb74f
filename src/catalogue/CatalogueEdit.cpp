#include "catalogue/CatalogueEdit.h"

#include <optional>
#include <utility>

#include "base/Bytes.h"
#include "catalogue/CatalogueFormat.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

using namespace CatalogueFormat;

namespace {

// The entry keys, the ones the commands show and "_FULL", which moves with its entry.
const char *const EntrySuffixes[] = {CaptionSuffix, EntryFileSuffix, SectionSuffix,
                                     ParamSuffix,   HelpSuffix,      FullSuffix};

// A value as a key's line must hold it to be read back exactly: blanks around it and a pair of
// quotes around it survive only inside quotes.
QByteArray quotedIfNeeded(const QByteArray &value)
{
    const bool outerBlanks = base::trimmed(value).size() != value.size();
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return outerBlanks || quoted ? " '" + value + "'" : value;
}

using Write = std::pair<QByteArray, QByteArray>; // key, value

// Checks every write before the file is touched, then makes them all in one save.
bool writeAll(const QByteArray &path, const QByteArray &section, const QList<Write> &writes,
              QString *error)
{
    ProfileFile file(path);
    for (const auto &[key, value] : writes) {
        const QString problem = IniDocument::checkEntry(section, key, value);
        if (!problem.isEmpty()) {
            if (error)
                *error = QStringLiteral("Не удалось записать ключ %1 в файл %2: %3.")
                             .arg(cp1251::toUnicode(key), file.diskPath(), problem);
            return false;
        }
    }
    return file.edit(
        [&](IniDocument &document) {
            bool changed = false;
            for (const auto &[key, value] : writes)
                changed |= document.setValue(section, key, value);
            return changed;
        },
        error);
}

int readCount(const IniDocument &document, const QByteArray &section, int missing)
{
    int count;
    const std::optional<QByteArrayView> text = document.value(section, CountKey);
    return text && ProfileFile::parseInteger(*text, &count) ? count : missing;
}

// The entry number of a key named "<n><entry suffix>" (any letter case, as reads match names),
// 0 for any other key.
int entryNumberOf(QByteArrayView name, qsizetype *digits)
{
    qsizetype i = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        ++i;
    if (i == 0 || i > 9 || name[0] == '0')
        return 0;
    const QByteArrayView suffix = name.sliced(i);
    for (const char *s : EntrySuffixes) {
        if (suffix.compare(QByteArrayView(s), Qt::CaseInsensitive) == 0) {
            *digits = i;
            return name.first(i).toInt();
        }
    }
    return 0;
}

// Entries from..to of the section take the number one lower. Each key line keeps its place and
// every byte but its number; repeated lines move along, so the line a read finds stays the same.
void renumberDown(IniDocument &document, const QByteArray &section, int from, int to)
{
    const QByteArray &bytes = document.bytes();
    QByteArray out;
    qsizetype copied = 0;
    for (const IniDocument::KeyLine &line : document.keyLines(section)) {
        qsizetype digits = 0;
        const int n = entryNumberOf(line.key(), &digits);
        if (n < from || n > to)
            continue;
        if (out.isEmpty())
            out.reserve(bytes.size());
        const qsizetype at = line.key().data() - bytes.constData();
        out.append(bytes.constData() + copied, at - copied);
        out.append(QByteArray::number(n - 1));
        copied = at + digits;
    }
    if (copied == 0)
        return;
    out.append(bytes.constData() + copied, bytes.size() - copied);
    document = IniDocument::parse(out);
}

} // namespace

namespace CatalogueEdit {

bool writeEntry(const QByteArray &pageFile, const QByteArray &section, int number,
                const EntryTexts &shown, const EntryTexts &texts, QString *error)
{
    const std::pair<const char *, QByteArray EntryTexts::*> fields[] = {
        {EntryFileSuffix, &EntryTexts::file},
        {SectionSuffix, &EntryTexts::section},
        {ParamSuffix, &EntryTexts::param},
        {CaptionSuffix, &EntryTexts::caption},
        {HelpSuffix, &EntryTexts::help}};
    QList<Write> writes;
    for (const auto &[suffix, field] : fields)
        if (texts.*field != shown.*field)
            writes.append({numberedKey(number, suffix), " '" + texts.*field + "'"});
    return writes.isEmpty() || writeAll(pageFile, section, writes, error);
}

bool addEntry(const QByteArray &pageFile, const QByteArray &section, const EntryTexts &texts,
              int *number, QString *error)
{
    // Caption first, as the command always wrote them.
    const std::pair<const char *, QByteArray> values[] = {
        {CaptionSuffix, quotedIfNeeded(texts.caption)},
        {EntryFileSuffix, quotedIfNeeded(texts.file)},
        {SectionSuffix, quotedIfNeeded(texts.section)},
        {ParamSuffix, quotedIfNeeded(texts.param)},
        {HelpSuffix, quotedIfNeeded(texts.help)}};
    ProfileFile file(pageFile);
    for (const auto &[suffix, value] : values) {
        const QString problem = IniDocument::checkEntry(section, numberedKey(1, suffix), value);
        if (!problem.isEmpty()) {
            if (error)
                *error = QStringLiteral("Не удалось записать ключ %1 в файл %2: %3.")
                             .arg(QString::fromLatin1(suffix).mid(1), file.diskPath(), problem);
            return false;
        }
    }
    int n = 0;
    const bool saved = file.edit(
        [&](IniDocument &document) {
            n = qMax(readCount(document, section, 0), 0) + 1;
            for (const auto &[suffix, value] : values)
                document.setValue(section, numberedKey(n, suffix), value);
            document.setValue(section, CountKey, QByteArray::number(n));
            return true;
        },
        error);
    if (saved && number)
        *number = n;
    return saved;
}

bool deleteEntry(const QByteArray &pageFile, const QByteArray &section, int number,
                 Deletion *result, QString *error)
{
    Deletion deletion;
    ProfileFile file(pageFile);
    const bool saved = file.edit(
        [&](IniDocument &document) {
            bool changed = false;
            const int count = readCount(document, section, 0);
            // Repeated lines of the entry go too: none of them may come to light.
            for (const char *suffix : EntrySuffixes)
                while (document.removeKey(section, numberedKey(number, suffix)))
                    changed = true;
            // A count below the entry's number lists neither it nor the entries after it.
            if (number > count && count > 0)
                return changed;
            if (number < count) {
                renumberDown(document, section, number + 1, count);
                changed = true;
            }
            const int left = readCount(document, section, 1);
            if (left <= 0 && document.value(section, CountKey)) {
                deletion.alreadyEmpty = true;
                return changed;
            }
            return document.setValue(section, CountKey, QByteArray::number(qMax(left - 1, 0))) ||
                   changed;
        },
        error);
    if (saved && result)
        *result = deletion;
    return saved;
}

bool setPagesEnabled(const QByteArray &indexFile, const QList<bool> &enabled, QString *error)
{
    QList<Write> writes;
    for (qsizetype p = 1; p <= enabled.size(); ++p)
        writes.append(
            {numberedKey(int(p), EnabledSuffix), QByteArray(enabled[p - 1] ? TrueText : "false")});
    return writes.isEmpty() || writeAll(indexFile, GlobalPagesSection, writes, error);
}

} // namespace CatalogueEdit
