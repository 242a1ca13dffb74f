#include "catalogue/PageFile.h"

#include "catalogue/CatalogueFormat.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

using namespace CatalogueFormat;

namespace {

// The text with control characters (a NUL among them) shown as "?", so a message can hold it.
QString shown(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char &c : out)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return cp1251::toUnicode(out);
}

bool allDigits(QByteArrayView text)
{
    if (text.startsWith('-') || text.startsWith('+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

CatalogueCount CatalogueCount::of(std::optional<QByteArrayView> text)
{
    CatalogueCount count;
    if (!text)
        return count;
    count.text = text->toByteArray();
    if (ProfileFile::parseInteger(*text, &count.value))
        count.state = State::Number;
    else
        count.state = allDigits(*text) ? State::TooLarge : State::NotNumber;
    return count;
}

QString CatalogueCount::problem() const
{
    switch (state) {
    case State::Missing:
        return {};
    case State::Number:
        return value < 0 ? QStringLiteral("отрицательное число") : QString();
    case State::NotNumber:
        return QStringLiteral("не число");
    case State::TooLarge:
        return QStringLiteral("слишком большое число");
    }
    return {};
}

QString CatalogueCount::describe(const QByteArray &section) const
{
    return QStringLiteral("[%1] %2=%3 - %4")
        .arg(shown(section), QLatin1String(CountKey), shown(text), problem());
}

QString CatalogueCount::tooLarge(const QByteArray &path, const QByteArray &section, int count,
                                 int limit)
{
    return QStringLiteral("%1: [%2] Kol-vo=%3 - больше %4.")
        .arg(cp1251::toUnicode(path), cp1251::toUnicode(section))
        .arg(count)
        .arg(limit);
}

PageFile PageFile::read(const QByteArray &path)
{
    if (path.isEmpty())
        return {};
    // A copy of the shared parsed form: the reads that follow need no lock, and the visitor of
    // a walk may read other files meanwhile.
    return PageFile(ProfileCache::instance().withDocument(
        path, [](const IniDocument &document) { return document; }));
}

std::optional<QByteArray> PageFile::text(QByteArrayView section, QByteArrayView key) const
{
    if (const std::optional<QByteArrayView> value = document_.value(section, key))
        return value->toByteArray();
    return std::nullopt;
}

bool PageFile::has(QByteArrayView section, QByteArrayView key) const
{
    return document_.value(section, key).has_value();
}

CatalogueCount PageFile::count(QByteArrayView section) const
{
    return CatalogueCount::of(document_.value(section, CountKey));
}

CatalogueCount PageFile::subTabCount() const
{
    return count(PagesSection);
}

std::optional<QByteArray> PageFile::subTab(int j) const
{
    return text(PagesSection, numberedKey(j));
}

EntryKeyNames::EntryKeyNames(int k)
    : caption(numberedKey(k, CaptionSuffix)), file(numberedKey(k, EntryFileSuffix)),
      section(numberedKey(k, SectionSuffix)), param(numberedKey(k, ParamSuffix)),
      help(numberedKey(k, HelpSuffix)), full(numberedKey(k, FullSuffix))
{
}

PageFileEntry PageFile::entry(QByteArrayView section, const EntryKeyNames &keys) const
{
    PageFileEntry e;
    e.caption = text(section, keys.caption);
    e.file = text(section, keys.file);
    e.section = text(section, keys.section);
    e.param = text(section, keys.param);
    e.help = text(section, keys.help);
    e.full = has(section, keys.full);
    return e;
}

namespace CataloguePages {

QString checkPageFileName(const QByteArray &name)
{
    if (name.contains('\0'))
        return QStringLiteral("в имени есть символ NUL");
    if (name.contains('/') || name.contains('\\'))
        return QStringLiteral("в имени есть разделитель папок");
    if (name.contains(".."))
        return QStringLiteral("в имени есть \"..\"");
    return {};
}

PageFileRef pageFile(const QByteArray &programFolder, const ProfileFile &index, int page,
                     const QByteArray &defaultName)
{
    PageFileRef ref;
    ref.name = index.readString(GlobalPagesSection, numberedKey(page, FileSuffix), defaultName);
    const QString why = checkPageFileName(ref.name);
    if (!why.isEmpty()) {
        ref.refusal =
            QStringLiteral("%1: [%2] %3=%4 - %5: файл страницы должен лежать в папке "
                           "Setting.")
                .arg(cp1251::toUnicode(index.path()), QLatin1String(GlobalPagesSection),
                     QString::fromLatin1(numberedKey(page, FileSuffix)), shown(ref.name), why);
        return ref;
    }
    ref.path = pageFilePath(programFolder, ref.name);
    return ref;
}

PageFileRef pageFile(const QByteArray &programFolder, int page, const QByteArray &defaultName)
{
    return pageFile(programFolder, ProfileFile(indexPath(programFolder)), page, defaultName);
}

} // namespace CataloguePages
