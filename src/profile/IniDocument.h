#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The content of one profile file, parsed from its bytes, with a hash index for lookups and
// line-level edits that leave every other byte as it was.
//
// Reading follows the platform's profile functions: lines end in CRLF, LF or CR; a section header
// is the text between "[" and the first "]" (anything after it is ignored); lines before the first
// header belong to the section with the empty name; a key line is the key, "=", the value; a line
// whose first non-blank character is ";" is a comment; in duplicate sections or keys the first
// wins; names match without regard to Windows-1251 letter case and to outer blanks.
class IniDocument
{
public:
    enum class LineEnding
    {
        CrLf,
        Lf,
        Cr
    };

    IniDocument() = default;
    static IniDocument parse(const QByteArray &bytes);

    const QByteArray &bytes() const { return bytes_; }

    // The key's value: the text after the first "=", blanks trimmed, a matching pair of outer
    // quotes removed. Not cut to any length. The view lives as long as this document is unchanged.
    std::optional<QByteArrayView> value(QByteArrayView section, QByteArrayView key) const;
    bool containsSection(QByteArrayView section) const { return findSection(section) >= 0; }

    // The style of the first line ending; CRLF for a file without one.
    LineEnding lineEnding() const;

    // Why a write of this entry could not be read back as written, or an empty text when it can.
    // A value with a line break would split the line; a key with "=" or one that would read as a
    // header or comment, a section with "]", and line breaks in names cannot round trip either.
    static QString checkEntry(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    // The key's line becomes key + "=" + value, exactly as passed; a new key goes after the last
    // key line of its section, a new section to the end of the file. Returns false when the bytes
    // did not change (the text after "=" already is the value). Call checkEntry first.
    bool setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    // Removes the key's line with its own line ending; every other byte stays. Only where the
    // lines around it would then join (a lone CR ending the line before, an empty LF line after)
    // the key's line becomes an empty CRLF line instead. Returns false when there was no such key.
    bool removeKey(QByteArrayView section, QByteArrayView key);

private:
    struct Line
    {
        qsizetype start = 0;
        qsizetype length = 0;     // without the line ending
        qsizetype valueStart = 0; // key lines: first byte after "="
        qsizetype nameStart = 0;  // key lines: the trimmed key; headers: the trimmed name
        qsizetype nameLength = 0;
        int section = 0;
        quint8 ending = 0; // 0 none, 1 LF, 2 CR, 3 CRLF
        quint8 kind = 0;   // 0 other, 1 header, 2 key
    };
    struct Section
    {
        int headerLine = -1; // -1 for the lines before the first header
        int lastKeyLine = -1;
        std::uint64_t nameHash = 0; // of the folded name
        bool indexed = false;       // the first section of its name
    };
    // Index slots carry what a lookup needs: the folded start of the name is kept in the slot, so
    // a lookup of a name up to PrefixLength bytes touches the slot and then only the value bytes.
    static constexpr int PrefixLength = 16;
    struct Name
    {
        qsizetype start = 0;
        qsizetype length = 0;
        char prefix[PrefixLength] = {};
    };
    struct SectionSlot
    {
        std::uint32_t hash = 0;
        int section = -1; // -1: empty slot
        Name name;
    };
    struct alignas(64) KeySlot
    {
        std::uint32_t hash = 0;
        int section = -1;
        int line = -1; // -1: empty slot
        Name name;
        qsizetype valueStart = 0;
        qsizetype valueEnd = 0;
    };

    Name nameAt(qsizetype start, qsizetype length) const;
    bool matches(const Name &name, QByteArrayView text, const char *prefix) const;
    void buildIndex();
    int findSection(QByteArrayView name) const;
    int findSection(QByteArrayView trimmedName, std::uint64_t nameHash) const;
    const KeySlot *findKey(QByteArrayView section, QByteArrayView key) const;
    QByteArrayView view(qsizetype start, qsizetype length) const;
    QByteArray endingBytes() const;
    qsizetype endingLength(const Line &line) const;

    QByteArray bytes_;
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    bool implicitSection_ = false; // lines before the first header exist
    std::vector<SectionSlot> sectionSlots_;
    std::vector<KeySlot> keySlots_;
};
