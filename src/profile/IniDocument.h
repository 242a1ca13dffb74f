#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The content of one profile file, parsed from its bytes, with line-level edits that leave every
// other byte as it was. The parsed form refers into the bytes: lines are not copied or listed.
// A parse finds the section headers and include lines only (it looks at the lines that start with
// "[" or "#", at the speed of a byte search); the key lines are listed and indexed (12-byte
// slots: hash, offset of the key's line, section) when first needed: by the first use that walks
// them in file order, or by the ninth lookup. Until then a lookup reads the lines of the key's
// section. So a command that reads or writes one key of a large file costs about a read of the
// file, and a walk over many keys gets the index. A parsed file takes little more memory than
// its text. Copies share the text and the parse (a reader's copy costs nothing, and an index one
// copy makes serves all); an edit of a copy that shares them gets its own. Replacing a key's
// line with another line of that key edits the text where it lies and moves the offsets after
// it, without parsing the file again; other edits parse it again.
//
// Reading follows the platform's profile functions: lines end in CRLF, LF or CR; a section header
// is the text between "[" and the first "]" (anything after it is ignored); lines before the first
// header belong to the section with the empty name; a key line is the key, "=", the value; a line
// whose first non-blank character is ";" is a comment; in duplicate sections or keys the first
// wins; names match without regard to Windows-1251 letter case and to outer blanks. A UTF-8
// byte-order mark at the start is no part of the first line and stays in front on every edit.
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

    // One key line, as a view into the bytes: its section's and its own name (trimmed), the line
    // without its ending, and whether it is the line every read of that section and key finds
    // (false for a later key of the same name, or a key of a later section of the same name).
    // Views live as long as the document is unchanged.
    struct KeyLine
    {
        QByteArrayView section;
        QByteArrayView line;
        qsizetype start = 0; // where the line starts in bytes()
        bool counts = false;

        QByteArrayView key() const;   // the trimmed text before the first "="
        QByteArrayView value() const; // as value() reads it
    };

    // The key line that reads of section and key find (without listing every key line).
    std::optional<KeyLine> keyLine(QByteArrayView section, QByteArrayView key) const;

    // The key lines in file order, every key line once, those that no read finds included. The
    // lines between two key lines hold no key (headers, comments, blank or odd lines); their bytes
    // lie between the end of the one and the start of the next.
    std::size_t keyLineCount() const { return keys().lines.size(); }
    KeyLine keyLineAt(std::size_t index) const;
    // The index of the key line that reads of section and key find.
    std::optional<std::size_t> keyLineOf(QByteArrayView section, QByteArrayView key) const;

    // The text of the line starting at start (any line, without its ending) becomes text; its
    // ending and every other byte stay. Returns false, changing nothing, when no line starts
    // there, when text holds a line break, or when the line already is text.
    bool replaceLine(qsizetype start, QByteArrayView text);

    // Removes the key's line with its own line ending; every other byte stays. Only where the
    // lines around it would then join (a lone CR ending the line before, an empty LF line after)
    // the key's line becomes an empty CRLF line instead. Returns false when there was no such key.
    bool removeKey(QByteArrayView section, QByteArrayView key);

    // The key lines of the first section of that name, in file order, repeated keys included
    // (a read finds the first of them). Edits that rewrite many lines at once (renaming keys)
    // build the new bytes from these and parse them once.
    std::vector<KeyLine> keyLines(QByteArrayView section) const;

    // The one way a whole key line is put into a file: an existing key's line (the one reads
    // find) becomes line; a key the section lacks is added after the key line `after` of that
    // section when the section holds it, before the section's first key line when `first` (it
    // was the first key line there), else after the section's last key line; a missing section
    // is added at the end of the file. line must read as that key (checkEntry). Returns false
    // when the bytes did not change.
    bool putLine(QByteArrayView section, QByteArrayView key, QByteArrayView line,
                 std::optional<QByteArrayView> after = std::nullopt, bool first = false);

    // Many key lines changed at once. One edit, in the terms of putLine and removeKey: the key's
    // line becomes line (nothing: the key's line is removed); a key its section lacks goes where
    // putLine puts it (after the key line previous, or before the first key line when first).
    // putLines fills in before, the key's line as the edit found it (nothing: missing), and for a
    // line it removes where that line stood: previous, the key line right before it in its
    // section, or first when there was none.
    struct LineEdit
    {
        QByteArray section, key;
        std::optional<QByteArray> line;
        std::optional<QByteArray> previous;
        bool first = false;
        std::optional<QByteArray> before;
    };
    // Makes the edits in their order, with the result putLine and removeKey give one after
    // another, but parses the text once at the end (a large tweak or undo costs one pass). Where
    // that cannot be worked out at once (a key edited twice, a line put after a given line, a
    // file with lone CR endings, and a few more), the edits are made one by one. prepare, when
    // given, sees each edit once, in order, with before filled in just before it is made; it may
    // change the edit's line, and stops the whole batch by returning false: the document then
    // stays as it was and putLines returns false. *changed, when given, tells whether the bytes
    // changed (no copy of them is kept to compare: one edit of a large file edits it where it
    // lies). The batch lists the key lines first; a single edit does not.
    using PrepareEdit = std::function<bool(LineEdit &)>;
    bool putLines(std::vector<LineEdit> &edits, const PrepareEdit &prepare = {},
                  bool *changed = nullptr);

    // Every line of the text in file order, as reads take it: what it is, where it starts, its
    // text without its ending, and the section it lies in (a header: the section it opens). A
    // line holding "[" but no "]" is no header; a key line's key is what keyOfLine gives.
    struct Line
    {
        enum class Kind
        {
            Blank,   // nothing but blanks
            Comment, // its first non-blank character is ";"
            Header,
            Key,
            Include,
            Other, // any other text: no reading takes anything from it
        };
        Kind kind = Kind::Other;
        qsizetype start = 0;
        QByteArrayView text;
        QByteArrayView section;
    };
    std::vector<Line> lines() const;

    // The lines that give a file its structure, in file order: section headers, whose parents
    // follow the "]" (`[wpn_ak74u]:wpn_ak74,wpn_base`), and `#include "name"` lines (a line that
    // starts with #include and names a file in double quotes, holding no "=").
    struct StructureLine
    {
        bool include = false;
        qsizetype start = 0;       // where the line starts in bytes()
        QByteArrayView name;       // the section's trimmed name, or the included name as written
        QByteArrayView parentText; // a header's text after "]:" up to a ";", untrimmed
    };
    std::vector<StructureLine> structure() const;
    // The parent names of a header's parent text: split at commas, trimmed, empty ones left out.
    static QByteArrayList parentsOf(QByteArrayView parentText);
    // The name of the section a byte lies in: the header before it, the empty name before the
    // first header.
    QByteArrayView sectionAt(qsizetype offset) const;
    // The key of a key line (the trimmed text before its first "="), and its value as reads give
    // it (blanks trimmed, a matching pair of outer quotes removed).
    static QByteArrayView keyOfLine(QByteArrayView line);
    static QByteArrayView valueOfLine(QByteArrayView line);
    // Whether a line without its ending is a section header ("[" and a "]" after it).
    static bool isHeaderLine(QByteArrayView line);
    // Whether a line without its ending is an include line, and the name it includes.
    static std::optional<QByteArrayView> includeName(QByteArrayView line);

    // Offsets are 32-bit: a text longer than MaxSize bytes is held but not read (no key is found
    // and edits change nothing).
    static constexpr qsizetype MaxSize = 0xFFFFFFFF;

private:
    static constexpr std::uint32_t None = 0xFFFFFFFF;
    struct Section
    {
        std::uint32_t headerStart = None; // None for the lines before the first header
        std::uint32_t bodyStart = 0;      // the line after the header
        std::uint32_t nameStart = 0;      // the trimmed name
        std::uint32_t nameLength = 0;
    };
    // A key of the first section of its name: the hash of section and key name, where the key's
    // line starts (None: empty slot) and its section. Names are compared in the text itself.
    struct Slot
    {
        std::uint32_t hash = 0;
        std::uint32_t line = None;
        std::uint32_t section = 0;
    };
    // A key line: where it starts, its length (without its ending), its section, and whether
    // reads find it. The listing knows each line's end: kept, a walk over the key lines (the
    // change list) does not look for it again.
    struct KeyRecord
    {
        std::uint32_t line;
        std::uint32_t length;
        std::uint32_t section : 31;
        std::uint32_t counts : 1;
    };
    // Every key line in file order, and the index of those that reads find.
    struct Keys
    {
        std::vector<KeyRecord> lines;
        std::vector<Slot> table;
    };
    // What a parse finds, by offsets into the text. The keys are made once, by whichever copy
    // of the document needs them first (copies on other threads may ask at the same time).
    struct Index
    {
        std::vector<Section> sections; // in file order; the first is the one before any header
        bool implicitSection = false;  // lines before the first header exist
        std::vector<std::uint32_t> includes; // where each include line starts, in file order
        mutable std::mutex keysMutex;
        mutable std::unique_ptr<Keys> keys; // set once under keysMutex
        mutable std::atomic<const Keys *> builtKeys{nullptr};
        mutable std::atomic<int> lookups{0}; // lookups made by reading a section's lines

        Index() = default;
        Index(const Index &other); // an edit's own copy
        Index &operator=(const Index &) = delete;
    };
    static const std::shared_ptr<Index> &emptyIndex();

    QByteArrayView view(qsizetype start, qsizetype length) const;
    qsizetype lineEndAt(qsizetype start) const;  // end of a line's text, before its ending
    qsizetype nextLineAt(qsizetype start) const; // start of the line after, or the text's end
    QByteArrayView sectionName(std::size_t section) const;
    qsizetype sectionEnd(std::size_t section) const; // where its lines end
    QByteArrayView keyNameAt(qsizetype line) const;
    qsizetype keyValueStart(qsizetype line) const; // after the first "="
    // Whether the line [start, end) is a key line (start: where a line starts).
    bool isKeyLine(qsizetype start, qsizetype end) const;
    // Calls each(start, end) for the key lines of a section in file order until it returns false.
    template <typename Each> void forEachKeyLine(std::size_t section, Each each) const;
    const Keys &keys() const; // made when missing
    void buildKeys(Keys &keys) const;
    int findSection(QByteArrayView name) const;
    // Where the line of the key that reads find starts (-1: none), and its section.
    qsizetype findKeyLine(QByteArrayView section, QByteArrayView key,
                          std::size_t *sectionIndex = nullptr) const;
    QByteArray endingBytes() const;
    // Bytes [at, at + length) become text, in place when no copy shares them.
    void splice(qsizetype at, qsizetype length, QByteArrayView text);
    // Bytes [at, at + length) become text; the document is parsed again.
    void applyEdit(qsizetype at, qsizetype length, QByteArrayView text);
    // The line [start, end) becomes text (no line break in it): where both are lines of one key,
    // the parse is kept and its offsets after the line moved; otherwise as applyEdit.
    void replaceText(qsizetype start, qsizetype end, QByteArrayView text);

    // putLines one edit after another (the first `prepared` edits were prepared already), and
    // all at once (handing over to one by one after *prepared edits when that cannot be worked
    // out at once; the document is unchanged then).
    enum class Batch
    {
        Done,
        Stopped,
        OneByOne
    };
    bool putLinesOneByOne(std::vector<LineEdit> &edits, const PrepareEdit &prepare,
                          std::size_t prepared, bool *changed);
    Batch putLinesAtOnce(std::vector<LineEdit> &edits, const PrepareEdit &prepare,
                         std::size_t *prepared, bool *changed);
    // One edit made on this document itself (prepare, when given, sees it before any byte
    // changes), finding its key as lookups do, without listing the key lines.
    bool putOneLine(LineEdit &edit, const PrepareEdit &prepare, bool *changed);

    QByteArray bytes_;
    std::shared_ptr<Index> index_ = emptyIndex();
};
