#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

#include "profile/IniDocument.h"

class ProfileFile;

// A count ("Kol-vo") as a catalogue file holds it, and what is wrong with it.
struct CatalogueCount
{
    enum class State
    {
        Missing,   // no such key
        Number,    // value holds the number (it may be negative)
        NotNumber, // the text is no integer (letters, a NUL, an empty value)
        TooLarge,  // digits beyond the range of a count
    };
    State state = State::Missing;
    int value = 0;
    QByteArray text; // as read

    static CatalogueCount of(std::optional<QByteArrayView> text);
    bool isNumber() const { return state == State::Number; }
    // Why the count cannot be used: "не число", "отрицательное число", "слишком большое
    // число"; empty for a usable count (0 or more) and for a missing key.
    QString problem() const;
    // "[section] Kol-vo=text - problem", with control characters shown as "?".
    QString describe(const QByteArray &section) const;
    // "path: [section] Kol-vo=count - больше limit.": a count beyond what its reader can show.
    static QString tooLarge(const QByteArray &path, const QByteArray &section, int count,
                            int limit);
};

// One entry of a sub-tab as its page file holds it: each key, or nothing where it is missing.
struct PageFileEntry
{
    std::optional<QByteArray> caption, file, section, param, help;
    bool full = false; // "<k>_FULL" is present, whatever its value
};

// The key names of entry k ("3_Caption", ...), made once where many sub-tabs read entry k.
struct EntryKeyNames
{
    explicit EntryKeyNames(int k);
    QByteArray caption, file, section, param, help, full;
};

// One page file as read at one moment. The catalogue walk, the catalogue commands and the table
// view read page files only through it; each reader puts its own stand-ins for missing keys.
class PageFile
{
public:
    PageFile() = default; // a page file that does not exist
    explicit PageFile(IniDocument document) : document_(std::move(document)) {}

    // The file's current content, parsed once and shared (a missing file, a folder or a FIFO
    // reads as an empty page file). An empty path reads nothing.
    static PageFile read(const QByteArray &path);

    std::optional<QByteArray> text(QByteArrayView section, QByteArrayView key) const;
    bool has(QByteArrayView section, QByteArrayView key) const;
    CatalogueCount count(QByteArrayView section) const; // "Kol-vo" of the section

    CatalogueCount subTabCount() const; // "Kol-vo" of [Pages]
    // "<j>" of [Pages]: the caption of sub-tab j and the section that lists its entries.
    std::optional<QByteArray> subTab(int j) const;
    PageFileEntry entry(QByteArrayView section, int k) const
    {
        return entry(section, EntryKeyNames(k));
    }
    PageFileEntry entry(QByteArrayView section, const EntryKeyNames &keys) const;

    const IniDocument &document() const { return document_; }

private:
    IniDocument document_;
};

// The page file of catalogue page p: the one place that turns "<p>_file" of Pages.ini into a
// path. A name that could lead out of the catalogue folder is refused: one with "/" or "\",
// with "..", or with a NUL (which would cut ".ini" off the path).
struct PageFileRef
{
    QByteArray name; // as "<p>_file" holds it, or the default
    QByteArray path; // program folder + "Setting/" + name + ".ini"; empty when refused
    QString refusal; // why the name was refused; empty when it was not

    bool ok() const { return refusal.isEmpty(); }
};

namespace CataloguePages {

// Why a page file's base name is refused, or an empty text.
QString checkPageFileName(const QByteArray &name);

// Resolves page p through the catalogue index; defaultName stands for a missing "<p>_file"
// ("Misc" for the tabs and the catalogue commands, "123" for the table view).
PageFileRef pageFile(const QByteArray &programFolder, const ProfileFile &index, int page,
                     const QByteArray &defaultName);
PageFileRef pageFile(const QByteArray &programFolder, int page, const QByteArray &defaultName);

} // namespace CataloguePages
