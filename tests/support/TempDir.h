#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder for one test, removed afterwards, with helpers for files of raw bytes.
class TempDir
{
public:
    TempDir();

    // Absolute path of a name inside the folder (no trailing slash for the folder itself).
    QString path(const QString &name = QString()) const;
    // The same path as Windows-1251 bytes, as the program's profile paths are held.
    QByteArray bytePath(const QString &name = QString()) const;

    // Writes bytes to a file inside the folder, creating sub-folders; returns its path.
    QString write(const QString &name, const QByteArray &bytes) const;

    static QByteArray read(const QString &path);

private:
    QTemporaryDir dir_;
};
