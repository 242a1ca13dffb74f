#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ParameterSearch.h"

class GameValues;

// Every row of the catalogue walk, held once for the whole window: what an entry is, where it
// stands, and what it shows. The window's controls are made from these and write what the user
// types back into them; the apply, the catalogue commands, find and the change list read them,
// so they reach every row of every page and sub-tab, whether its controls exist or not, entries
// of table pages included.
//
// A row's value is read from its game file when it is first needed (its controls are created,
// find or the change list looks at it) or by one read of every row on another thread
// (readInBackground), whichever comes first. Either way it is the value the same reader gives
// for the entry, so what a row shows does not depend on when it was read.
class Rows
{
public:
    Rows();
    ~Rows();
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;

    // A sub-tab of the walk and the rows it lists.
    struct Sheet
    {
        QString page, subTab; // captions as the tabs show them
        int first = 0, end = 0;
    };

    struct Row
    {
        CatalogueEntry entry;
        // The running number that names the row's controls (RowNames.h); -1 for an entry of a
        // table page, which has no controls of its own.
        int number = -1;
        int sheet = -1; // its sub-tab, counted over the whole walk
        QPoint place;   // top left of its place on its sub-tab
        // What the row shows: the value as last read from its game file, or the text typed
        // into its value box since.
        ParameterLookup::RowValue value;
        bool valueRead = false;
        bool built = false;   // its controls exist
        bool deleted = false; // its entry was deleted from the catalogue in this run

        bool trade() const { return entry.trade; }
        bool hasControls() const { return number >= 0; }
    };

    int size() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    Row &operator[](int index) { return rows_[std::size_t(index)]; }
    const Row &operator[](int index) const { return rows_[std::size_t(index)]; }
    const Row &last() const { return rows_.back(); }
    const Sheet &sheetOf(int index) const { return sheets_[std::size_t(rows_[index].sheet)]; }
    const QList<Sheet> &sheets() const { return sheets_; }
    // Rows with controls so far: the running number of the next one.
    int named() const { return static_cast<int>(byNumber_.size()); }
    // The row of that running number; -1 for none.
    int numbered(int number) const;

    // --- the walk
    // Room for that many more rows, growing geometrically: rows are moved, never copied.
    void reserve(int more);
    // A new sub-tab; the rows added after it belong to it.
    void addSheet(const QString &page, const QString &subTab);
    // Adds a row to the last sub-tab; withControls gives it the next running number.
    int add(Row &&row, bool withControls);

    // --- values
    // What the row of an entry shows as its game file holds it now, read through values. The
    // one reading every row takes, in the window and in the background alike.
    static ParameterLookup::RowValue readValue(GameValues &values, const CatalogueEntry &entry);
    // Reads the value of each of the rows that has none yet.
    void readValues(GameValues &values, const QList<int> &rows);
    // The row shows value from now on (read again or restored).
    void setValue(int index, ParameterLookup::RowValue value);
    // Text typed into the row's value box: it shows that text as its own value from now on.
    void setTyped(int index, const QByteArray &text);
    // Every row has its value.
    bool allRead() const { return unread_ == 0; }

    // Reads the value of every row with controls on another thread through values, in walk
    // order with one reader, as the walk used to: its problems come in the order a walk meets
    // them. done is called on that thread when it has finished; finishBackground() then takes
    // the values. A read already running is stopped first.
    void readInBackground(GameValues values, std::function<void()> done = {});
    bool readingInBackground() const;
    // Stops the background read and drops what it has read (every row is about to be read
    // again).
    void cancelBackground();
    // Waits for the background read, gives the rows without a value yet theirs and returns the
    // problems it met (empty when none was running).
    QStringList finishBackground();
    // Every row gets its value: the background read is finished, the rows it did not reach are
    // read through values. Returns the problems of both.
    QStringList readAll(GameValues &values);

    // --- finding rows
    // The rows by their game file (sameFileKey of the entry's file), each list in walk order.
    const QHash<QByteArray, QList<int>> &byFile() const;
    // The rows that show a game file's key (file paths without letter case and with either
    // separator, section and key without letter case), in walk order; deleted rows left out.
    QList<int> showing(const QByteArray &file, const QByteArray &section,
                       const QByteArray &key) const;
    // The rows whose caption, key, section, file, help or shown value holds the query, without
    // regard to letter case ("ё" reads as "е"), in walk order; every row for an empty query;
    // deleted rows left out. The texts are indexed at the first search and kept current as
    // values change; a row without a value yet is searched by its other texts.
    QList<int> find(QByteArrayView query) const;

    // --- catalogue edits
    // The entry of row index was deleted from its page file: the row is marked deleted, and the
    // rows after it in the same section of the same page file get the next lower entry number.
    // sectionKeyOf names the page file and section that list a row's entry as the files are now
    // (empty for none); it is asked once per sub-tab. Returns the rows renumbered.
    QList<int> deleteEntry(int index, const std::function<QByteArray(const Row &)> &sectionKeyOf);

private:
    class Background;
    static QByteArray keyOf(const QByteArray &file, const QByteArray &section,
                            const QByteArray &key);
    static SearchItem searchItem(const Row &row);

    std::vector<Row> rows_;
    QList<Sheet> sheets_;
    std::vector<int> byNumber_; // running number -> row
    int unread_ = 0;
    std::unique_ptr<Background> background_;
    // Made on first use.
    mutable std::unique_ptr<ParameterSearch> search_;
    mutable QHash<QByteArray, QList<int>> byKey_;
    mutable QHash<QByteArray, QList<int>> byFile_;
};
