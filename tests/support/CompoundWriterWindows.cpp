#include "support/CompoundWriter.h"

#include <QString>

#include <string>

#include <objbase.h>
#include <windows.h>

QByteArray compoundFile(const char *streamName, const QByteArray &stream)
{
    QByteArray bytes;
    ILockBytes *memory = nullptr;
    IStorage *storage = nullptr;
    IStream *child = nullptr;
    const std::wstring name = QString::fromLatin1(streamName).toStdWString();
    ULONG written = 0;
    if (SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, TRUE, &memory)) &&
        SUCCEEDED(StgCreateDocfileOnILockBytes(
            memory, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage)) &&
        SUCCEEDED(storage->CreateStream(
            name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &child)) &&
        SUCCEEDED(child->Write(stream.constData(), ULONG(stream.size()), &written))) {
        child->Release();
        child = nullptr;
        storage->Commit(STGC_DEFAULT);
        storage->Release();
        storage = nullptr;
        STATSTG status;
        if (SUCCEEDED(memory->Stat(&status, STATFLAG_NONAME))) {
            bytes.resize(qsizetype(status.cbSize.QuadPart));
            ULONG read = 0;
            ULARGE_INTEGER at = {};
            memory->ReadAt(at, bytes.data(), ULONG(bytes.size()), &read);
            bytes.truncate(read);
        }
    }
    if (child)
        child->Release();
    if (storage)
        storage->Release();
    if (memory)
        memory->Release();
    return bytes;
}
