#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <vector>

// The texts of one editor row that the find command searches (Windows-1251 bytes).
struct SearchItem
{
    QByteArray caption, key, section, file, help;
    // What the row shows: its value, the one it inherits included, and where an inherited value
    // comes from ("унаследовано из [section], file").
    QByteArray value;
};

// Finds rows by part of their caption, key, section, file, help text or value, without regard to
// Windows-1251 letter case (Cyrillic included) and with "ё" read as "е". Each row's texts are
// folded once when added or replaced, so a search is one pass over the folded texts: fast
// enough to run at every keystroke over tens of thousands of rows.
class ParameterSearch
{
public:
    void add(const SearchItem &item);
    // Row index shows other texts now (its value changed).
    void replace(int index, const SearchItem &item);
    int size() const { return static_cast<int>(folded_.size()); }

    // The indexes (in the order added) of the rows whose texts hold the query; every row for an
    // empty query.
    QList<int> find(QByteArrayView query) const;

    // A text as the search compares it: letters folded to lower case, "ё" as "е".
    static QByteArray fold(QByteArrayView text);

private:
    static QByteArray joined(const SearchItem &item);

    std::vector<QByteArray> folded_; // the texts joined by "\n", folded
};
