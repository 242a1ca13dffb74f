// The file interface of FileSystem.h on Windows: every call into the system's file API the
// program makes is here. Names are UTF-16; paths reach the system in the "\\?\" form, so they
// may be longer than 260 characters, and are never taken apart by the system again ("." and ".."
// are taken once, here, as Windows takes them: by the text).
#include "profile/FileSystem.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <aclapi.h>
#include <restartmanager.h>
#include <winioctl.h>

namespace {

// --- Paths ---

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

QString fromWide(const wchar_t *text, qsizetype size = -1)
{
    return size < 0 ? QString::fromWCharArray(text) : QString::fromWCharArray(text, size);
}

// A path as the system gave it (with or without "\\?\") as a disk path: "/" separators, no
// prefix ("\\?\UNC\server\share" is "//server/share").
QString diskPathOf(QString path)
{
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        path = QStringLiteral("\\\\") + path.mid(8);
    else if (path.startsWith(QLatin1String("\\\\?\\")) && path.size() >= 6 && path.at(5) == u':')
        path = path.mid(4);
    return QDir::fromNativeSeparators(path);
}

// The "\\?\" form of a disk path: absolute, "\" separators, "." and ".." taken. A path in that
// form already is left as it is.
std::wstring longPath(const QString &diskPath)
{
    QString path = QDir::toNativeSeparators(diskPath.isEmpty() ? QStringLiteral(".") : diskPath);
    if (path.startsWith(QLatin1String("\\\\?\\")) || path.startsWith(QLatin1String("\\\\.\\")))
        return path.toStdWString();
    const std::wstring given = path.toStdWString();
    std::wstring full(given.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(given.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (n == 0)
            return given; // the call that takes it says why
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n + 1);
    }
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring longPath(const NativePath &native)
{
    return longPath(QString::fromUtf8(native));
}

// --- Errors ---

constexpr DWORD diskQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED, missing in MinGW's headers

QString reasonFor(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("на диске нет места");
    case diskQuotaExceeded:
        return QStringLiteral("превышена дисковая квота");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("диск защищён от записи");
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("доступ запрещён");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return QStringLiteral("файл открыт другой программой");
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
        return QStringLiteral("ошибка ввода-вывода");
    case ERROR_FILE_TOO_LARGE:
        return QStringLiteral("файл слишком велик");
    case ERROR_FILENAME_EXCED_RANGE:
        return QStringLiteral("слишком длинное имя файла");
    case ERROR_INVALID_NAME:
        return QStringLiteral("недопустимое имя файла");
    default:
        return qt_error_string(int(error));
    }
}

fsys::Error errorOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return fsys::Error::Missing;
    case ERROR_DIRECTORY:
        return fsys::Error::NoFolder;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return fsys::Error::Exists;
    default:
        return fsys::Error::Other;
    }
}

bool fail(fsys::Failure *failure, DWORD error)
{
    if (failure)
        *failure = {errorOf(error), reasonFor(error)};
    return false;
}

bool fail(QString *reason, DWORD error)
{
    if (reason)
        *reason = reasonFor(error);
    return false;
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

bool isMissing(DWORD error)
{
    return errorOf(error) == fsys::Error::Missing;
}

// --- Status ---

std::function<void(FileStamp &)> &stampFilter()
{
    static std::function<void(FileStamp &)> filter;
    return filter;
}

// File times count 100 ns steps from 1601-01-01 UTC.
constexpr qint64 epochDifference = 116444736000000000;

qint64 nanoseconds(qint64 fileTime)
{
    return (fileTime - epochDifference) * 100;
}

qint64 nanoseconds(const FILETIME &t)
{
    return nanoseconds(qint64(quint64(t.dwHighDateTime) << 32 | t.dwLowDateTime));
}

class Handle
{
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(h_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

private:
    HANDLE h_;
};

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openForStatus(const std::wstring &path, bool followLinks)
{
    return CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
}

// The identity of an open file: volume serial and file index, size, times.
bool stampOf(HANDLE h, FileStamp *stamp, DWORD *attributes)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    FileStamp s;
    s.exists =
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && GetFileType(h) == FILE_TYPE_DISK;
    s.device = info.dwVolumeSerialNumber;
    s.fileId = quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    s.size = qint64(quint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    s.modified = nanoseconds(info.ftLastWriteTime);
    // The change time (attributes included) where the file system keeps one.
    FILE_BASIC_INFO basic;
    s.changed = GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
                        basic.ChangeTime.QuadPart > 0
                    ? nanoseconds(basic.ChangeTime.QuadPart)
                    : s.modified;
    if (stampFilter())
        stampFilter()(s);
    *stamp = s;
    if (attributes)
        *attributes = info.dwFileAttributes;
    return true;
}

// Symbolic links and junctions; other reparse points (deduplicated or cloud files) are files.
bool isLinkTag(DWORD tag)
{
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

fsys::Entry entryOf(const std::wstring &path, fsys::Links links, fsys::Failure *failure)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        fail(failure, GetLastError());
        return {};
    }
    fsys::Entry entry;
    Handle h(openForStatus(path, links == fsys::Links::Follow));
    if (!h.valid()) {
        const DWORD error = GetLastError();
        // A link whose target is missing leads nowhere.
        if (isMissing(error)) {
            fail(failure, error);
            return {};
        }
        // Held in a way that refuses even a look at its attributes: what the folder says of it.
        entry.kind = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? fsys::Kind::Folder
                                                                      : fsys::Kind::File;
        entry.stamp.exists = entry.kind == fsys::Kind::File;
        entry.stamp.size = qint64(quint64(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
        entry.stamp.modified = entry.stamp.changed = nanoseconds(data.ftLastWriteTime);
        if (stampFilter())
            stampFilter()(entry.stamp);
        return entry;
    }
    DWORD attributes = 0;
    if (!stampOf(h.get(), &entry.stamp, &attributes)) {
        fail(failure, GetLastError());
        return {};
    }
    if (links == fsys::Links::DoNotFollow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        FILE_ATTRIBUTE_TAG_INFO tag;
        if (GetFileInformationByHandleEx(h.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
            isLinkTag(tag.ReparseTag)) {
            entry.kind = fsys::Kind::Link;
            entry.stamp.exists = false;
            return entry;
        }
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        entry.kind = fsys::Kind::Folder;
    else
        entry.kind = entry.stamp.exists ? fsys::Kind::File : fsys::Kind::Other;
    return entry;
}

// Whether this user's access token grants access to the entry at path. Where the file system
// keeps no security (FAT) or the check itself fails, the write that follows tells.
bool accessGranted(const std::wstring &path, DWORD access)
{
    const SECURITY_INFORMATION wanted =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), wanted, nullptr, 0, &needed);
    if (needed == 0)
        return true;
    std::string buffer(needed, '\0');
    auto *descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(buffer.data());
    if (!GetFileSecurityW(path.c_str(), wanted, descriptor, needed, &needed))
        return true;
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(),
                          TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE | STANDARD_RIGHTS_READ,
                          &process))
        return true;
    Handle processToken(process);
    HANDLE impersonation = nullptr;
    if (!DuplicateToken(process, SecurityImpersonation, &impersonation))
        return true;
    Handle token(impersonation);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    MapGenericMask(&access, &mapping);
    PRIVILEGE_SET privileges;
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(descriptor, token.get(), access, &mapping, &privileges, &privilegesSize,
                     &granted, &status))
        return true;
    return status != FALSE;
}

bool onReadOnlyVolume(const std::wstring &path)
{
    Handle h(openForStatus(path, true));
    DWORD flags = 0;
    return h.valid() &&
           GetVolumeInformationByHandleW(h.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                         0) &&
           (flags & FILE_READ_ONLY_VOLUME);
}

// The names of the programs that hold the file at path open, as the restart manager knows
// them; empty when it knows none.
QStringList programsHolding(const std::wstring &path)
{
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS)
        return {};
    QStringList names;
    LPCWSTR files[] = {path.c_str()};
    if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        RM_PROCESS_INFO processes[8];
        UINT needed = 0, count = UINT(std::size(processes));
        DWORD reasons = 0;
        if (RmGetList(session, &needed, &count, processes, &reasons) == ERROR_SUCCESS)
            for (UINT i = 0; i < count; ++i)
                if (const QString name = fromWide(processes[i].strAppName);
                    !name.isEmpty() && !names.contains(name))
                    names.append(name);
    }
    RmEndSession(session);
    return names;
}

// Why a file cannot be replaced while another program holds it open.
QString heldOpenReason(const std::wstring &path)
{
    const QStringList holders = programsHolding(path);
    return holders.isEmpty()
               ? QStringLiteral("файл открыт другой программой, которая не даёт его заменить; "
                                "закройте его там и повторите")
               : QStringLiteral("файл открыт программой «%1», которая не даёт его заменить; "
                                "закройте его там и повторите")
                     .arg(holders.join(QStringLiteral("», «")));
}

// Whether another program holds the file at path open without sharing it for deletion.
bool heldWithoutDeleteSharing(const std::wstring &path)
{
    Handle h(CreateFileW(path.c_str(), DELETE, shareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return !h.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace

// --- Names ---

NativePath nativePath(const QString &diskPath)
{
    return diskPath.toUtf8();
}

QString fromNativePath(const NativePath &native)
{
    return QString::fromUtf8(native);
}

QString shownPath(const QString &diskPath)
{
    return diskPath;
}

namespace fsys {

qsizetype rootLength(const QString &diskPath)
{
    const qsizetype size = diskPath.size();
    if (size >= 2 && diskPath.at(1) == u':' && diskPath.at(0).isLetter())
        return size >= 3 && isSeparator(diskPath.at(2)) ? 3 : 2;
    if (size >= 2 && isSeparator(diskPath.at(0)) && isSeparator(diskPath.at(1))) {
        // "//server/share/", "//?/C:/", "//?/UNC/server/share/", "//?/Volume{...}/"
        qsizetype i = 2;
        int names = 2;
        if (size > 3 && (diskPath.at(2) == u'?' || diskPath.at(2) == u'.') &&
            isSeparator(diskPath.at(3))) {
            i = 4;
            if (diskPath.mid(4, 4).compare(QLatin1String("UNC/"), Qt::CaseInsensitive) == 0 ||
                diskPath.mid(4, 4).compare(QLatin1String("UNC\\"), Qt::CaseInsensitive) == 0)
                i = 8;
            else
                names = 1;
        }
        for (; i < size && names > 0; ++i)
            if (isSeparator(diskPath.at(i)))
                --names;
        return i;
    }
    return size >= 1 && isSeparator(diskPath.at(0)) ? 1 : 0;
}

// Windows keeps names in UTF-16: none is spelled in Windows-1251 bytes.
QString legacySpelling(const QString &)
{
    return QString();
}

bool sameLegacyName(const QString &, const QString &)
{
    return false;
}

// --- Status ---

Entry entryAt(const NativePath &path, Links links, Failure *failure)
{
    return entryOf(longPath(path), links, failure);
}

Entry entryAt(const QString &path, Links links, Failure *failure)
{
    return entryOf(longPath(path), links, failure);
}

bool mayWrite(const QString &path)
{
    const std::wstring native = longPath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // A folder's read-only attribute only marks it as customised in Explorer.
    const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!folder && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    return !onReadOnlyVolume(native) &&
           accessGranted(native, folder ? FILE_ADD_FILE : FILE_WRITE_DATA);
}

bool mayRead(const QString &path)
{
    const std::wstring native = longPath(path);
    return GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES &&
           accessGranted(native, FILE_READ_DATA); // FILE_LIST_DIRECTORY for a folder
}

bool isMarkedUnchangeable(const QString &, bool)
{
    return false;
}

std::optional<QString> linkTarget(const QString &path)
{
    Handle h(CreateFileW(longPath(path).c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr));
    if (!h.valid())
        return std::nullopt;
    // REPARSE_DATA_BUFFER is a driver header's; its layout is fixed: tag, lengths, then the
    // substitute and print names in one path buffer.
    union {
        char bytes[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
        DWORD align;
    } buffer;
    DWORD size = 0;
    if (!DeviceIoControl(h.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.bytes,
                         sizeof buffer.bytes, &size, nullptr) ||
        size < 16)
        return std::nullopt;
    const auto word = [&](int offset) {
        USHORT v;
        std::memcpy(&v, buffer.bytes + offset, sizeof v);
        return v;
    };
    DWORD tag;
    std::memcpy(&tag, buffer.bytes, sizeof tag);
    const int substituteOffset = word(8), substituteLength = word(10);
    int names = 16; // the mount point's path buffer; a symbolic link has its flags first
    bool relative = false;
    if (tag == IO_REPARSE_TAG_SYMLINK) {
        ULONG flags;
        std::memcpy(&flags, buffer.bytes + 16, sizeof flags);
        relative = flags & 1; // SYMLINK_FLAG_RELATIVE
        names = 20;
    } else if (tag != IO_REPARSE_TAG_MOUNT_POINT) {
        return std::nullopt;
    }
    if (names + substituteOffset + substituteLength > int(size))
        return std::nullopt;
    QString target = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(buffer.bytes + names + substituteOffset),
        substituteLength / 2);
    if (!relative) {
        if (target.startsWith(QLatin1String("\\??\\UNC\\")))
            target = QStringLiteral("\\\\") + target.mid(8);
        else if (target.startsWith(QLatin1String("\\??\\")))
            target = target.mid(4);
    }
    return QDir::fromNativeSeparators(target);
}

std::optional<QString> canonicalPath(const QString &path)
{
    Handle h(openForStatus(longPath(path), true));
    if (!h.valid())
        return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(h.get(), final.data(), DWORD(final.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return std::nullopt;
        if (n < final.size()) {
            final.resize(n);
            break;
        }
        final.resize(n + 1);
    }
    return diskPathOf(fromWide(final.c_str(), qsizetype(final.size())));
}

QString nameOnDisk(const QString &path)
{
    const QString given = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(longPath(path).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return given;
    FindClose(search);
    const QString name = fromWide(found.cFileName);
    // The same name in other letters; anything else (a short 8.3 alias) is not taken.
    return name.compare(given, Qt::CaseInsensitive) == 0 ? name : given;
}

QString currentFolder()
{
    wchar_t buffer[32768];
    const DWORD n = GetCurrentDirectoryW(DWORD(std::size(buffer)), buffer);
    if (n == 0 || n >= std::size(buffer))
        return QDir::currentPath();
    return diskPathOf(fromWide(buffer, n));
}

bool listFolder(const QString &folder, const std::function<void(const QString &name)> &each)
{
    std::wstring pattern = longPath(folder);
    if (!pattern.ends_with(L'\\'))
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND; // nothing in it, not even "."
    do {
        const QString name = fromWide(found.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            each(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// --- Changes ---

bool replace(const QString &from, const QString &to, Failure *failure)
{
    using namespace std::chrono;
    const std::wstring source = longPath(from);
    const std::wstring target = longPath(to);
    // Another program (an indexer, a virus scanner, the game) may hold either file for a moment:
    // the rename is tried again for up to two seconds before the save gives up.
    const auto deadline = steady_clock::now() + seconds(2);
    DWORD error = 0;
    for (;;) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
        // The rename refuses a target that is open at all; ReplaceFileW replaces one whose
        // holders share it for deletion, keeping its attributes. It is not tried while a holder
        // refuses that sharing: it cannot succeed then, and Wine's leaves a file "rf*.tmp" in
        // the folder at each try.
        if (!heldWithoutDeleteSharing(target) &&
            ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr))
            return true;
        const DWORD replaceError = GetLastError();
        // Gone under another name in between: the replacement only has to take its place.
        if (replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
            MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        if (steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(milliseconds(100));
    }
    if (failure && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
        heldWithoutDeleteSharing(target)) {
        *failure = {Error::Other, heldOpenReason(target)};
        return false;
    }
    return fail(failure, error);
}

bool moveNoReplace(const QString &from, const QString &to, Failure *failure)
{
    if (MoveFileExW(longPath(from).c_str(), longPath(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    return fail(failure, GetLastError());
}

bool removeFile(const QString &path)
{
    return DeleteFileW(longPath(path).c_str());
}

qint64 clockNow()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return nanoseconds(now);
}

bool setModifiedTime(const QString &path, qint64 ns)
{
    Handle h(CreateFileW(longPath(path).c_str(), FILE_WRITE_ATTRIBUTES, shareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid())
        return false;
    const quint64 ticks = quint64(ns / 100 + epochDifference);
    FILETIME t{DWORD(ticks & 0xFFFFFFFF), DWORD(ticks >> 32)};
    return SetFileTime(h.get(), nullptr, nullptr, &t);
}

// --- Open files ---

namespace {

HANDLE handleOf(std::intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

std::intptr_t valueOf(HANDLE h)
{
    return reinterpret_cast<std::intptr_t>(h);
}

} // namespace

static_assert(sizeof(std::intptr_t) == sizeof(HANDLE));

File::~File()
{
    if (handle_ != -1)
        CloseHandle(handleOf(handle_));
}

File::File(File &&other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (handle_ != -1)
            CloseHandle(handleOf(handle_));
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

File File::openRegular(const NativePath &path, FileStamp *stamp, FileRead *outcome, QString *reason)
{
    const auto refuse = [&](FileRead why, const QString &text) {
        *outcome = why;
        if (reason)
            *reason = text;
        return File();
    };
    const auto refuseError = [&](DWORD error) {
        return refuse(isMissing(error) ? FileRead::Missing : FileRead::Failed, reasonFor(error));
    };
    const std::wstring native = longPath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return refuseError(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return refuse(FileRead::NotRegular, QStringLiteral("по этому пути находится папка"));
    // Shared for everything, so the game or an editor may keep the file open, write it or
    // replace it meanwhile.
    HANDLE h = CreateFileW(native.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return refuseError(GetLastError());
    File file(valueOf(h));
    DWORD found = 0;
    if (!stampOf(h, stamp, &found))
        return refuseError(GetLastError());
    if (!stamp->exists)
        return refuse(FileRead::NotRegular, found & FILE_ATTRIBUTE_DIRECTORY
                                                ? QStringLiteral("по этому пути находится папка")
                                                : QStringLiteral("это не обычный файл"));
    *outcome = FileRead::Read;
    return file;
}

// Windows gives a new file the permissions its folder passes on; ownerOnly asks nothing more.
File File::createNew(const QString &path, bool, Failure *failure)
{
    HANDLE h = CreateFileW(longPath(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fail(failure, GetLastError());
        return File();
    }
    return File(valueOf(h));
}

qint64 File::read(char *buffer, qint64 size, QString *reason)
{
    DWORD n = 0;
    if (!ReadFile(handleOf(handle_), buffer, DWORD(std::min<qint64>(size, 1 << 30)), &n, nullptr)) {
        fail(reason, GetLastError());
        return -1;
    }
    return n;
}

qint64 File::readAt(qint64 offset, char *buffer, qint64 size, QString *reason)
{
    // A read at an offset moves the position of a handle opened for plain reads: it is put back.
    const HANDLE h = handleOf(handle_);
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(h, LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        fail(reason, GetLastError());
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFF);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD n = 0;
    const bool read = ReadFile(h, buffer, DWORD(std::min<qint64>(size, 1 << 30)), &n, &at);
    const DWORD error = read ? 0 : GetLastError();
    SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
    if (!read && error != ERROR_HANDLE_EOF) {
        fail(reason, error);
        return -1;
    }
    return read ? qint64(n) : 0;
}

namespace {

bool writeAll(HANDLE h, const char *data, qsizetype size, QString *reason)
{
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(h, data, DWORD(std::min<qsizetype>(size, 1 << 30)), &n, nullptr))
            return fail(reason, GetLastError());
        if (n == 0)
            return fail(reason, DWORD(ERROR_WRITE_FAULT));
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool File::write(QByteArrayView bytes, QString *reason)
{
    return writeAll(handleOf(handle_), bytes.data(), bytes.size(), reason);
}

bool File::flushToDisk(QString *reason)
{
    if (!FlushFileBuffers(handleOf(handle_)))
        return fail(reason, GetLastError());
    return true;
}

bool File::close(QString *reason)
{
    if (!CloseHandle(handleOf(std::exchange(handle_, -1))))
        return fail(reason, GetLastError());
    return true;
}

// The attributes a user sees (hidden, system, archive, not indexed) go over to the new file; its
// permissions are those the folder passes on, as the replaced file's mostly were.
void File::takeAccessOf(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(longPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept == 0)
        return;
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = kept;
    SetFileInformationByHandle(handleOf(handle_), FileBasicInfo, &basic, sizeof basic);
}

// --- Appending ---

bool appendToFile(const QString &path, QByteArrayView bytes, bool onOwnLine, QString *reason)
{
    const std::wstring native = longPath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(reason, QStringLiteral("по этому пути находится папка"));
    // Append access alone puts every write at the file's end, whoever else writes it.
    HANDLE h = CreateFileW(native.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                           shareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(reason, GetLastError());
    File file(valueOf(h));
    FileStamp stamp;
    if (!stampOf(h, &stamp, nullptr))
        return fail(reason, GetLastError());
    if (!stamp.exists)
        return fail(reason, QStringLiteral("это не обычный файл"));
    QByteArray line;
    if (onOwnLine && stamp.size > 0) {
        char last = '\n';
        OVERLAPPED at = {};
        at.Offset = DWORD(quint64(stamp.size - 1) & 0xFFFFFFFF);
        at.OffsetHigh = DWORD(quint64(stamp.size - 1) >> 32);
        DWORD n = 0;
        if (ReadFile(h, &last, 1, &n, &at) && n == 1 && last != '\n')
            line = "\n";
    }
    if (!line.isEmpty()) {
        line += bytes;
        bytes = line;
    }
    if (!file.write(bytes, reason))
        return false;
    return file.close(reason);
}

// --- Locks ---

QString FileLock::lockPathFor(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : path.left(slash + 1);
    // Cut like the temporary files' names, so that the whole stays a valid file name.
    return folder + '.' + path.mid(slash + 1).left(200) + ".lock";
}

FileLock FileLock::acquire(const QString &path, std::chrono::milliseconds wait, Outcome *outcome,
                           QString *reason)
{
    using namespace std::chrono;
    FileLock lock;
    const QString lockPath = lockPathFor(path);
    const std::wstring native = longPath(lockPath);
    if (!mayWrite(folderHolding(lockPath))) {
        *outcome = Outcome::Unavailable;
        fail(reason, QStringLiteral("папка недоступна для записи"));
        return lock;
    }
    const auto deadline = steady_clock::now() + wait;
    milliseconds pause{1};
    const auto busy = [&] {
        *outcome = Outcome::Busy;
        fail(reason, QStringLiteral("файл занят другой записью дольше %1 с; ничего не записано")
                         .arg(QString::number(double(wait.count()) / 1000.0)));
        return FileLock();
    };
    for (;;) {
        // Hidden, as its leading dot hides it on Linux. A lock file that its last holder has
        // just deleted refuses new opens until every handle on it is closed: that is a wait.
        HANDLE h =
            CreateFileW(native.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, shareAll, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
                *outcome = Outcome::Unavailable;
                fail(reason, error);
                return lock;
            }
            if (steady_clock::now() >= deadline)
                return busy();
        } else {
            Handle held(h);
            FileStamp heldStamp;
            if (!stampOf(h, &heldStamp, nullptr) || !heldStamp.exists) {
                *outcome = Outcome::Unavailable;
                fail(reason,
                     QStringLiteral("файл блокировки %1 не обычный файл").arg(shownPath(lockPath)));
                return lock;
            }
            OVERLAPPED range = {};
            if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &range)) {
                // The last holder deletes the file as it lets go: a lock on a file no longer
                // named so holds nobody off, so the one there now is locked instead.
                const Entry named = entryOf(native, Links::DoNotFollow, nullptr);
                if (named.kind == Kind::File && named.stamp.device == heldStamp.device &&
                    named.stamp.fileId == heldStamp.fileId) {
                    lock.handle_ = valueOf(held.release());
                    lock.lockPath_ = lockPath;
                    *outcome = Outcome::Held;
                    return lock;
                }
                continue;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
                *outcome = Outcome::Unsupported;
                fail(reason, error);
                return lock;
            }
            if (steady_clock::now() >= deadline)
                return busy();
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, milliseconds(50));
    }
}

void FileLock::release()
{
    if (handle_ == -1)
        return;
    HANDLE h = handleOf(std::exchange(handle_, -1));
    // Marked for deletion while still held, so no waiter locks a file that is going; a waiter
    // that opened it before finds it gone once it gets the lock and takes a new one.
    FILE_DISPOSITION_INFO deletion = {TRUE};
    SetFileInformationByHandle(h, FileDispositionInfo, &deletion, sizeof deletion);
    OVERLAPPED range = {};
    UnlockFileEx(h, 0, 1, 0, &range);
    CloseHandle(h);
    lockPath_.clear();
}

void setStampFilterForTests(std::function<void(FileStamp &)> filter)
{
    stampFilter() = std::move(filter);
}

} // namespace fsys
