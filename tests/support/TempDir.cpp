#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "textcodec/Cp1251.h"

TempDir::TempDir() : dir_(QDir::tempPath() + "/branvik-test-XXXXXX") {}

QString TempDir::path(const QString &name) const
{
    return name.isEmpty() ? dir_.path() : dir_.path() + '/' + name;
}

QByteArray TempDir::bytePath(const QString &name) const
{
    return cp1251::encode(path(name));
}

QString TempDir::write(const QString &name, const QByteArray &bytes) const
{
    const QString full = path(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return full;
}

QByteArray TempDir::read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
