#pragma once

#include <QString>
#include <QtGlobal>

namespace base {

// The form of a Russian noun that goes with the count n: one for 1, 21, 101 ("строка"), few for
// 2-4, 22-24 ("строки"), many for 0, 5-20, 25-30, 111-114 ("строк"). The forms are UTF-8.
inline QString plural(qint64 n, const char *one, const char *few, const char *many)
{
    const qint64 last2 = (n < 0 ? -n : n) % 100;
    const qint64 last = last2 % 10;
    if (last2 >= 11 && last2 <= 14)
        return QString::fromUtf8(many);
    if (last == 1)
        return QString::fromUtf8(one);
    if (last >= 2 && last <= 4)
        return QString::fromUtf8(few);
    return QString::fromUtf8(many);
}

// The count with its noun: counted(1, "строка", "строки", "строк") is "1 строка".
inline QString counted(qint64 n, const char *one, const char *few, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + plural(n, one, few, many);
}

} // namespace base
