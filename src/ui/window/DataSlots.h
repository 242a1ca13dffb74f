#pragma once

#include <QByteArray>
#include <QObject>
#include <QVariant>

// The data slots that every run-time control carries besides its name: an integer tag and two
// texts, the hint and the help keyword. They hold catalogue data (Windows-1251 bytes); no tool
// tip or help is shown from them. Handlers read them from the control that fired and from its
// siblings, found by name.
namespace dataslot {

inline void setTag(QObject *o, int tag)
{
    o->setProperty("tag", tag);
}
inline int tag(const QObject *o)
{
    return o ? o->property("tag").toInt() : 0;
}
inline void setHint(QObject *o, const QByteArray &hint)
{
    o->setProperty("hint", hint);
}
inline QByteArray hint(const QObject *o)
{
    return o ? o->property("hint").toByteArray() : QByteArray();
}
inline void setHelpKeyword(QObject *o, const QByteArray &keyword)
{
    o->setProperty("helpKeyword", keyword);
}
inline QByteArray helpKeyword(const QObject *o)
{
    return o ? o->property("helpKeyword").toByteArray() : QByteArray();
}

// The catalogue keys an entry lacks ("3_File, 3_Param"), kept on its apply button: such a row
// shows the catalogue's stand-ins and must not be written. Empty for a complete entry.
inline void setMissingKeys(QObject *o, const QByteArray &keys)
{
    o->setProperty("missingKeys", keys);
}
inline QByteArray missingKeys(const QObject *o)
{
    return o ? o->property("missingKeys").toByteArray() : QByteArray();
}

} // namespace dataslot
