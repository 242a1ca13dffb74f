#pragma once

#include <QByteArray>

// Sections, keys and the defaults that mark a missing key in the catalogue index (Pages.ini)
// and the page files. Every reader and writer of the catalogue takes its names from here.
namespace CatalogueFormat {

inline constexpr char IndexFileName[] = "Pages.ini";
inline constexpr char SettingFolder[] = "Setting/";

inline constexpr char GlobalPagesSection[] = "Global Pages";
inline constexpr char PagesSection[] = "Pages";
inline constexpr char CountKey[] = "Kol-vo";
inline constexpr char ImageKey[] = "Image";

// Suffixes of the per-page keys of Global Pages ("<p>" alone is the caption).
inline constexpr char FileSuffix[] = "_file";
inline constexpr char EnabledSuffix[] = "_Enabled";
inline constexpr char TradeSuffix[] = "_Trade";
inline constexpr char TableSuffix[] = "_Tabl";

// Suffixes of the per-entry keys of a sub-tab section.
inline constexpr char CaptionSuffix[] = "_Caption";
inline constexpr char EntryFileSuffix[] = "_File";
inline constexpr char SectionSuffix[] = "_Section";
inline constexpr char ParamSuffix[] = "_Param";
inline constexpr char HelpSuffix[] = "_Help";
inline constexpr char FullSuffix[] = "_FULL";

// A count read as this number was not in the file: an index in the old format, or a page
// file without its list of sub-tabs.
inline constexpr int MissingCount = 12345;
inline constexpr char DefaultPageFile[] = "Misc";
// Only this exact text switches a page on or marks it a trade page ("True" does not).
inline constexpr char TrueText[] = "true";
inline constexpr char MissingTable[] = "123";
inline constexpr char MissingEntryKey[] = "123456";
inline constexpr char MissingFull[] = "0123456";
// What the apply button keeps as section or key when the entry has none.
inline constexpr char ApplyDefault[] = "1";

// "<n>" followed by a suffix, e.g. numberedKey(3, "_File") is "3_File".
inline QByteArray numberedKey(int number, const char *suffix = "")
{
    return QByteArray::number(number) + suffix;
}

// Full path of the catalogue index; programFolder ends in "/".
inline QByteArray indexPath(const QByteArray &programFolder)
{
    return programFolder + SettingFolder + IndexFileName;
}

// Full path of a page file from the base name that <p>_file holds.
inline QByteArray pageFilePath(const QByteArray &programFolder, const QByteArray &baseName)
{
    return programFolder + SettingFolder + baseName + ".ini";
}

} // namespace CatalogueFormat
