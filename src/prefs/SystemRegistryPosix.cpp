// Linux has no system registry: the state store keeps its files.
#include "prefs/SystemRegistry.h"

namespace sysreg {

namespace {

bool none(QString *error)
{
    if (error)
        *error = QStringLiteral("в этой системе нет реестра");
    return false;
}

} // namespace

bool available()
{
    return false;
}

QString placeOf(const QByteArray &root)
{
    return QString::fromLatin1(root);
}

bool keyExists(const QByteArray &, const QByteArray &)
{
    return false;
}

bool readKey(const QByteArray &, const QByteArray &, QList<RegistryStore::Value> *, bool *exists,
             QString *error, QByteArray *)
{
    *exists = false;
    return none(error);
}

bool writeKey(const QByteArray &, const QByteArray &, const QList<RegistryStore::Value> &,
              QString *error)
{
    return none(error);
}

bool deleteKey(const QByteArray &, const QByteArray &, QString *error)
{
    return none(error);
}

} // namespace sysreg
