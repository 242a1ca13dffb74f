#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The texts of one editor row that the find command searches (Windows-1251 bytes).
struct SearchItem
{
    QByteArray caption, key, section, file, help;
    // What the row shows: its value, the one it inherits included, and where an inherited value
    // comes from ("унаследовано из [section], file").
    QByteArray value;
};

// Finds rows by part of their caption, key, section, file, help text or value, without regard to
// Windows-1251 letter case (Cyrillic included). Each row's texts are folded once when added, so
// a search is one pass over the folded texts: fast enough to run at every keystroke.
class ParameterSearch
{
public:
    void add(const SearchItem &item);
    int size() const { return static_cast<int>(folded_.size()); }

    // The indexes (in the order added) of the rows whose texts hold the query; every row for an
    // empty query.
    QList<int> find(QByteArrayView query) const;

private:
    QList<QByteArray> folded_; // the texts joined by "\n", folded to lower case
};
