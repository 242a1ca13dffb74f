#include "gamefiles/ParameterSearch.h"

#include <QByteArrayMatcher>

#include "textcodec/Cp1251.h"

QByteArray ParameterSearch::fold(QByteArrayView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *to = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const unsigned char c = cp1251::foldCase(static_cast<unsigned char>(text[i]));
        // "ё" (after folding) reads as "е": a user who types one means both.
        to[i] = static_cast<char>(c == 0xB8 ? 0xE5 : c);
    }
    return out;
}

QByteArray ParameterSearch::joined(const SearchItem &item)
{
    QByteArray text;
    text.reserve(item.caption.size() + item.key.size() + item.section.size() + item.file.size() +
                 item.help.size() + item.value.size() + 5);
    // A line break is never part of a catalogue text, so a query cannot match across two texts.
    text += item.caption;
    text += '\n';
    text += item.key;
    text += '\n';
    text += item.section;
    text += '\n';
    text += item.file;
    text += '\n';
    text += item.help;
    text += '\n';
    text += item.value;
    return fold(text);
}

void ParameterSearch::add(const SearchItem &item)
{
    folded_.push_back(joined(item));
}

void ParameterSearch::replace(int index, const SearchItem &item)
{
    if (index >= 0 && index < size())
        folded_[std::size_t(index)] = joined(item);
}

QList<int> ParameterSearch::find(QByteArrayView query) const
{
    const QByteArray needle = fold(query);
    QList<int> found;
    if (needle.isEmpty()) {
        found.reserve(size());
        for (int i = 0; i < size(); ++i)
            found.append(i);
        return found;
    }
    const QByteArrayMatcher matcher(needle);
    for (int i = 0; i < size(); ++i) {
        if (matcher.indexIn(folded_[std::size_t(i)]) >= 0)
            found.append(i);
    }
    return found;
}
