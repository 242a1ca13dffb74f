#pragma once

#include <QString>

namespace base {

// The end of a core operation that fails: the text goes to *error when the caller asked for it.
inline bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace base
