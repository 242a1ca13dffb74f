#include "support/TestSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <string>

#include <windows.h>

#include <aclapi.h>

namespace testsys {

QByteArray consoleText(QByteArray output)
{
    return output.replace("\r\n", "\n");
}

QString displayAlwaysThere()
{
    return QStringLiteral("Windows' window system is always there: no program starts without a "
                          "display");
}

namespace {

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// The folders made read-only, with the access list each had before.
QHash<QString, std::string> &keptAccess()
{
    static QHash<QString, std::string> kept;
    return kept;
}

} // namespace

bool runningAsRoot()
{
    return false;
}

int permissionBits(const QString &)
{
    return -1;
}

int newFilePermissionBits()
{
    return -1;
}

QString makeFifo(const QString &)
{
    return QStringLiteral("Windows file systems hold no FIFOs");
}

void unblockFifo(const QString &) {}

bool isFifo(const QString &)
{
    return false;
}

QString makeNullDevice(const QString &)
{
    return QStringLiteral("Windows file systems hold no device nodes");
}

bool isCharacterDevice(const QString &)
{
    return false;
}

// Windows lets a user make symbolic links only in developer mode or with administrator rights,
// and Wine 8 reports success without making one: the link must be there afterwards.
QString makeSymlink(const QString &target, const QString &link)
{
    const DWORD folder =
        GetFileAttributesW(wide(QDir(QFileInfo(link).absolutePath()).filePath(target)).c_str());
    const DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE |
                        (folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY)
                             ? SYMBOLIC_LINK_FLAG_DIRECTORY
                             : 0);
    CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags);
    const DWORD made = GetFileAttributesW(wide(link).c_str());
    if (made == INVALID_FILE_ATTRIBUTES || !(made & FILE_ATTRIBUTE_REPARSE_POINT))
        return QStringLiteral("no symbolic link can be made here (Windows allows them in "
                              "developer mode or to administrators; Wine makes none)");
    return QString();
}

// A deny entry for this user on creating, renaming and deleting entries in the folder; the
// folder's access list as it was comes back with writable.
QString setFolderWritable(const QString &folder, bool writable)
{
    const std::wstring path = wide(folder);
    if (writable) {
        const auto kept = keptAccess().find(folder);
        if (kept == keptAccess().end())
            return QString();
        auto *descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(kept->data());
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
        const DWORD status =
            SetNamedSecurityInfoW(const_cast<wchar_t *>(path.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl, nullptr);
        keptAccess().erase(kept);
        return status == ERROR_SUCCESS ? QString() : qt_error_string(int(status));
    }
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::string before(needed, '\0');
    if (needed == 0 ||
        !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION,
                          reinterpret_cast<PSECURITY_DESCRIPTOR>(before.data()), needed, &needed))
        return qt_error_string(int(GetLastError()));
    BOOL present = FALSE, defaulted = FALSE;
    PACL old = nullptr;
    GetSecurityDescriptorDacl(reinterpret_cast<PSECURITY_DESCRIPTOR>(before.data()), &present, &old,
                              &defaulted);

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return qt_error_string(int(GetLastError()));
    union {
        TOKEN_USER user;
        char bytes[256];
    } self;
    DWORD size = 0;
    const BOOL known = GetTokenInformation(token, TokenUser, &self, sizeof self, &size);
    CloseHandle(token);
    if (!known)
        return qt_error_string(int(GetLastError()));
    EXPLICIT_ACCESSW deny = {};
    deny.grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.ptstrName = reinterpret_cast<LPWSTR>(self.user.User.Sid);
    PACL acl = nullptr;
    DWORD status = SetEntriesInAclW(1, &deny, present ? old : nullptr, &acl);
    if (status != ERROR_SUCCESS)
        return qt_error_string(int(status));
    status = SetNamedSecurityInfoW(const_cast<wchar_t *>(path.c_str()), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    if (status != ERROR_SUCCESS)
        return qt_error_string(int(status));
    keptAccess().insert(folder, before);
    return QString();
}

QString setMark(const QString &, Mark, bool)
{
    return QStringLiteral("Windows has no append-only or immutable marks");
}

bool setAge(const QString &path, int secondsAgo)
{
    HANDLE h =
        CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const quint64 ticks =
        (quint64(now.dwHighDateTime) << 32 | now.dwLowDateTime) - quint64(secondsAgo) * 10000000;
    const FILETIME back{DWORD(ticks & 0xFFFFFFFF), DWORD(ticks >> 32)};
    const bool done = SetFileTime(h, nullptr, &back, &back);
    CloseHandle(h);
    return done;
}

QString byteNamesMissing()
{
    return QStringLiteral("Windows names files in UTF-16: no name is spelled in Windows-1251 "
                          "bytes");
}

bool writeRaw(const QByteArray &, const QByteArray &)
{
    return false;
}

QByteArray readRaw(const QByteArray &)
{
    return "<missing>";
}

QList<QByteArray> listRaw(const QByteArray &)
{
    return {};
}

void removeRaw(const QByteArray &) {}

QString makeSymlinkRaw(const QByteArray &, const QByteArray &)
{
    return byteNamesMissing();
}

SmallDisk::~SmallDisk() = default;

QString SmallDisk::mount(const QString &)
{
    return QStringLiteral("no small file system can be mounted for a test on Windows");
}

} // namespace testsys
