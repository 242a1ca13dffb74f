#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <memory>

// A compound file (structured storage: the container that .xls workbooks are saved in), read from
// memory: the names of the streams at its top level, their sizes and their bytes. The system's
// own reader opens it where there is one (ole32 on Windows); libgsf does elsewhere. The bytes
// must outlive the object.
class CompoundFile
{
public:
    explicit CompoundFile(QByteArrayView bytes);
    ~CompoundFile();
    CompoundFile(const CompoundFile &) = delete;
    CompoundFile &operator=(const CompoundFile &) = delete;

    // False when the bytes are no compound file that can be read (a broken header or directory).
    bool isOpen() const;
    // The names of the entries at the top level, in the file's order.
    QStringList entries() const;
    // The size the entry's directory record claims; -1 when there is no such stream.
    qint64 streamSize(const QString &name) const;
    // The whole stream; false when it cannot be read (a broken chain of sectors).
    bool readStream(const QString &name, QByteArray *bytes) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
