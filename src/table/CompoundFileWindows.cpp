// Compound files through the system's structured storage (ole32).
#include "table/CompoundFile.h"

#include <algorithm>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <objbase.h>
#include <windows.h>

namespace {

template <typename T> struct ComPtr
{
    T *p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
};

} // namespace

struct CompoundFile::Private
{
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;

    // The stream of that name opened for reading; null when there is none.
    IStream *open(const QString &name) const
    {
        IStream *stream = nullptr;
        const std::wstring wide = name.toStdWString();
        if (!storage.p || FAILED(storage.p->OpenStream(
                              wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)))
            return nullptr;
        return stream;
    }
};

CompoundFile::CompoundFile(QByteArrayView bytes) : d(std::make_unique<Private>())
{
    // A copy in memory that the storage reads from, as it would read a file.
    if (FAILED(CreateILockBytesOnHGlobal(nullptr, TRUE, &d->bytes.p)))
        return;
    ULONG written = 0;
    ULARGE_INTEGER at = {};
    if (FAILED(d->bytes.p->WriteAt(at, bytes.data(), ULONG(bytes.size()), &written)) ||
        written != ULONG(bytes.size()))
        return;
    if (FAILED(StgOpenStorageOnILockBytes(d->bytes.p, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                          nullptr, 0, &d->storage.p)))
        d->storage.p = nullptr;
}

CompoundFile::~CompoundFile() = default;

bool CompoundFile::isOpen() const
{
    return d->storage.p != nullptr;
}

QStringList CompoundFile::entries() const
{
    QStringList names;
    ComPtr<IEnumSTATSTG> each;
    if (!isOpen() || FAILED(d->storage.p->EnumElements(0, nullptr, 0, &each.p)))
        return names;
    STATSTG entry;
    while (each.p->Next(1, &entry, nullptr) == S_OK) {
        names.append(QString::fromWCharArray(entry.pwcsName));
        CoTaskMemFree(entry.pwcsName);
    }
    return names;
}

qint64 CompoundFile::streamSize(const QString &name) const
{
    ComPtr<IStream> stream;
    stream.p = d->open(name);
    STATSTG status;
    if (!stream.p || FAILED(stream.p->Stat(&status, STATFLAG_NONAME)))
        return -1;
    return qint64(status.cbSize.QuadPart);
}

bool CompoundFile::readStream(const QString &name, QByteArray *bytes) const
{
    const qint64 size = streamSize(name);
    ComPtr<IStream> stream;
    stream.p = d->open(name);
    if (size < 0 || !stream.p)
        return false;
    bytes->resize(qsizetype(size));
    for (qint64 done = 0; done < size;) {
        ULONG n = 0;
        const ULONG chunk = ULONG(std::min<qint64>(size - done, 1 << 20));
        if (FAILED(stream.p->Read(bytes->data() + done, chunk, &n)) || n == 0)
            return false;
        done += n;
    }
    return true;
}
