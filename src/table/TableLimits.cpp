#include "table/TableLimits.h"

#include "profile/FileSystem.h"
#include "profile/SafeFile.h"

#include <QFile>

namespace tablelimits {

QString cellName(int column, int row)
{
    QString letters;
    for (qint64 c = qint64(column) + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + int((c - 1) % 26)));
    return letters + QString::number(qint64(row) + 1);
}

bool readInputFile(const QString &path, QByteArray *bytes, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    if (const fsys::Entry entry = fsys::entryAt(native);
        entry.kind == fsys::Kind::File && entry.stamp.size > kMaxFileBytes) {
        *error = QStringLiteral("файл больше %1 МБ").arg(kMaxFileBytes / (1024 * 1024));
        return false;
    }
    QString reason;
    switch (readRegularFile(native, bytes, nullptr, &reason)) {
    case FileRead::Read:
        if (bytes->size() > kMaxFileBytes) {
            *error = QStringLiteral("файл больше %1 МБ").arg(kMaxFileBytes / (1024 * 1024));
            return false;
        }
        return true;
    case FileRead::Missing:
        *error = QStringLiteral("файл не найден");
        return false;
    case FileRead::NotRegular:
    case FileRead::Failed:
        *error = reason.isEmpty() ? QStringLiteral("файл не читается") : reason;
        return false;
    }
    return false;
}

bool saveOutputFile(const QString &path, const GridCellStore &grid, GridBytes toBytes,
                    QString *error)
{
    QByteArray bytes;
    QString reason;
    if (!toBytes(grid, &bytes, &reason) || !saveFile(path, bytes, &reason)) {
        *error = reason;
        return false;
    }
    return true;
}

} // namespace tablelimits
