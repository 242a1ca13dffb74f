#pragma once

#include <QString>
#include <ostream>

// Readable Qt texts in test failure messages (lists of texts print through it too).
inline std::ostream &operator<<(std::ostream &os, const QString &text)
{
    return os << '"' << text.toStdString() << '"';
}
