#include "gamefiles/ParameterSearch.h"

#include "textcodec/Cp1251.h"

void ParameterSearch::add(const SearchItem &item)
{
    QByteArray joined;
    joined.reserve(item.caption.size() + item.key.size() + item.section.size() + item.file.size() +
                   item.help.size() + item.value.size() + 5);
    // A line break is never part of a catalogue text, so a query cannot match across two texts.
    joined += item.caption;
    joined += '\n';
    joined += item.key;
    joined += '\n';
    joined += item.section;
    joined += '\n';
    joined += item.file;
    joined += '\n';
    joined += item.help;
    joined += '\n';
    joined += item.value;
    folded_.append(cp1251::foldCase(joined));
}

QList<int> ParameterSearch::find(QByteArrayView query) const
{
    const QByteArray needle = cp1251::foldCase(query);
    QList<int> found;
    for (int i = 0; i < size(); ++i)
        if (needle.isEmpty() || folded_[i].contains(needle))
            found.append(i);
    return found;
}
