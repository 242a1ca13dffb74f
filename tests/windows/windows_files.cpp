// What only Windows has: files another program holds open, the read-only attribute, junctions,
// paths beyond 260 characters and names in UTF-16 (this file is built for Windows only).
#include "gamefiles/Backup.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/DiskPath.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include <winioctl.h>

namespace {

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// A junction at link leading to the folder target, as any user may make one; under Wine, which
// makes none, a symbolic link of the Unix side, which Windows programs see as the folder it
// leads to. Empty when made, otherwise why not.
QString makeJunction(const QString &target, const QString &link)
{
    if (!CreateDirectoryW(wide(link).c_str(), nullptr))
        return QStringLiteral("no folder for the junction");
    HANDLE h = CreateFileW(wide(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const std::wstring substitute = L"\\??\\" + wide(target);
    const std::wstring print = wide(target);
    // REPARSE_DATA_BUFFER of a mount point: tag, data length, reserved, then the offsets and
    // lengths of the two names and the names themselves, each ending in a null character.
    std::string buffer(8 + 8 + (substitute.size() + print.size() + 2) * 2, '\0');
    const auto put16 = [&](size_t at, size_t value) {
        const USHORT v = USHORT(value);
        std::memcpy(buffer.data() + at, &v, 2);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.data(), &tag, 4);
    put16(4, buffer.size() - 8);
    put16(8, 0);
    put16(10, substitute.size() * 2);
    put16(12, (substitute.size() + 1) * 2);
    put16(14, print.size() * 2);
    std::memcpy(buffer.data() + 16, substitute.c_str(), (substitute.size() + 1) * 2);
    std::memcpy(buffer.data() + 16 + (substitute.size() + 1) * 2, print.c_str(),
                (print.size() + 1) * 2);
    DWORD returned = 0;
    const bool made = h != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      DWORD(buffer.size()), nullptr, 0, &returned, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    if (made)
        return QString();
    RemoveDirectoryW(wide(link).c_str());

    using UnixName = char *(CDECL *)(LPCWSTR);
    // Through void (*)(): the cast GCC accepts between unrelated function types.
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return QStringLiteral("junctions cannot be made on this file system");
    char *from = unixName(wide(target).c_str());
    char *to = unixName(wide(link).c_str());
    std::wstring command = L"Z:\\bin\\ln -s \"" + QString::fromUtf8(from).toStdWString() +
                           L"\" \"" + QString::fromUtf8(to).toStdWString() + L"\"";
    HeapFree(GetProcessHeap(), 0, from);
    HeapFree(GetProcessHeap(), 0, to);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return QStringLiteral("Wine makes no junctions and cannot run ln");
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine may report a Unix program finished before it has run: the link is looked for until
    // it is there, for as long as the wait above allows.
    for (int i = 0; i < 200 && !QFileInfo::exists(link); ++i)
        Sleep(50);
    return QFileInfo(link).isDir() ? QString() : QStringLiteral("ln made no link");
}

} // namespace

// The game or an editor may keep a game file open while a value is applied. The file is
// replaced only when that program lets it be (it shares the file for deletion); otherwise the
// write fails naming the file and saying that another program holds it, and leaves it whole.
TEST(WindowsFiles, AFileHeldOpenByAnotherProgramIsReplacedOnlyWhereItAllows)
{
    struct Case
    {
        const char *what;
        DWORD sharing;
        bool replaced;
    };
    const Case cases[] = {
        {"shared for reading, writing and deletion",
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
        {"shared for reading and writing", FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {"shared for reading only", FILE_SHARE_READ, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QByteArray original = "[actor]\r\nhealth = 1.0 ; full\r\n";
        const QString path = dir.write("gamedata/actor.ltx", original);
        HANDLE held = CreateFileW(wide(path).c_str(), GENERIC_READ, c.sharing, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        QString error;
        const WriteResult result =
            ParameterWriter(WriteTarget{dir.bytePath("gamedata") + '/', false, {}})
                .writeParameter("actor.ltx", "actor", "health", " 2.0 ; full", &error);
        CloseHandle(held);
        EXPECT_EQ(result.gameFileWritten(), c.replaced) << error.toStdString();
        if (c.replaced) {
            EXPECT_EQ(TempDir::read(path), "[actor]\r\nhealth= 2.0 ; full\r\n");
        } else {
            EXPECT_EQ(TempDir::read(path), original);
            EXPECT_TRUE(error.contains(QStringLiteral("actor.ltx"))) << error.toStdString();
            EXPECT_TRUE(error.contains(QStringLiteral("открыт"))) << error.toStdString();
        }
        // The backup is made either way; no temporary or lock file stays.
        EXPECT_EQ(names(dir.path("gamedata")), QStringList({"actor.ltx", "actor.ltx.bak"}));
    }
}

// Windows marks a file read-only with an attribute that administrators' programs could write
// through; the editor refuses such a file as on Linux and keeps the mark. The attributes a user
// sees (hidden, here) stay on a file that is replaced.
TEST(WindowsFiles, TheReadOnlyAttributeIsRespectedAndOtherAttributesKept)
{
    TempDir dir;
    const QByteArray original = "[s]\r\nk = 1\r\n";
    const QString path = dir.write("game.ltx", original);
    ASSERT_TRUE(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    QString error;
    EXPECT_FALSE(ProfileFile(dir.bytePath("game.ltx")).writeString("s", "k", "2", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("только для чтения"))) << error.toStdString();
    EXPECT_EQ(TempDir::read(path), original);
    EXPECT_TRUE(GetFileAttributesW(wide(path).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(mayWrite(path));

    ASSERT_TRUE(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(ProfileFile(dir.bytePath("game.ltx")).writeString("s", "k", "2", &error))
        << error.toStdString();
    EXPECT_EQ(TempDir::read(path), "[s]\r\nk=2\r\n");
    EXPECT_TRUE(GetFileAttributesW(wide(path).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(names(dir.path()), QStringList{"game.ltx"});
}

// A junction inside the gamedata folder that leads out of it is refused like a link on Linux,
// reading and writing alike; one that stays inside is followed.
TEST(WindowsFiles, AJunctionOutOfTheGamedataFolderIsRefused)
{
    TempDir dir;
    const QByteArray outside = "[actor]\r\nhealth = 1.0\r\n";
    dir.write("outside/actor.ltx", outside);
    dir.write("gamedata/config/actor.ltx", "[actor]\r\nhealth = 3.0\r\n");
    if (const QString why = makeJunction(dir.path("outside"), dir.path("gamedata/linked"));
        !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(makeJunction(dir.path("gamedata/config"), dir.path("gamedata/alias")), QString());
    const QByteArray gamedata = dir.bytePath("gamedata") + '/';

    EXPECT_FALSE(isInsideGamedata(gamedata, "linked\\actor.ltx"));
    EXPECT_TRUE(isInsideGamedata(gamedata, "alias\\actor.ltx"));
    QString error;
    ParameterWriter writer(WriteTarget{gamedata, false, {}});
    EXPECT_FALSE(writer.writeParameter("linked\\actor.ltx", "actor", "health", " 2.0", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("gamedata"))) << error.toStdString();
    EXPECT_EQ(TempDir::read(dir.path("outside/actor.ltx")), outside);
    EXPECT_EQ(names(dir.path("outside")), QStringList{"actor.ltx"});
    EXPECT_TRUE(writer.writeParameter("alias\\actor.ltx", "actor", "health", " 4.0", &error))
        << error.toStdString();
    EXPECT_EQ(TempDir::read(dir.path("gamedata/config/actor.ltx")), "[actor]\r\nhealth= 4.0\r\n");
}

// Game folders deep in a mod manager's tree pass 260 characters: files there are read, backed
// up, written and found in any letter case like any other.
TEST(WindowsFiles, PathsLongerThan260CharactersWork)
{
    TempDir dir;
    QString deep = QStringLiteral("gamedata");
    while (dir.path(deep).size() < 300)
        deep += QStringLiteral("/Mods Folder With A Long Name");
    const QByteArray original = "[actor]\r\nhealth = 1.0\r\n";
    ASSERT_TRUE(QDir().mkpath(dir.path(deep + "/config")));
    const QString path = dir.write(deep + "/config/actor.ltx", original);
    ASSERT_GT(path.size(), 300);
    ASSERT_EQ(TempDir::read(path), original);

    const QByteArray gamedata = cp1251::encode(dir.path(deep)) + '/';
    EXPECT_EQ(ProfileFile(gamedata + "CONFIG\\Actor.LTX").readString("actor", "health", "-"),
              "1.0");
    QString error;
    ASSERT_TRUE(ParameterWriter(WriteTarget{gamedata, false, {}})
                    .writeParameter("config\\actor.ltx", "actor", "health", " 2.0", &error))
        << error.toStdString();
    EXPECT_EQ(TempDir::read(path), "[actor]\r\nhealth= 2.0\r\n");
    EXPECT_EQ(TempDir::read(path + ".bak"), original);
    EXPECT_EQ(names(dir.path(deep + "/config")), QStringList({"actor.ltx", "actor.ltx.bak"}));
    EXPECT_EQ(realDiskPath(path), QDir::cleanPath(path));
}

// Names on Windows are UTF-16: Cyrillic folders and files are found from the catalogue's
// Windows-1251 text in any letter case, written and backed up under their own names, and a new
// file gets the catalogue's spelling.
TEST(WindowsFiles, CyrillicNamesAreFoundWrittenAndBackedUp)
{
    TempDir dir;
    const QByteArray original = "[wpn]\r\ncost = 10 ; старая\r\n";
    const QString path = dir.write(QStringLiteral("gamedata/Конфиг/Оружие.ltx"), original);
    const QByteArray gamedata = dir.bytePath("gamedata") + '/';
    EXPECT_EQ(resolveDiskPath(gamedata + cp(u"конфиг\\ОРУЖИЕ.ltx")), path);
    EXPECT_EQ(ProfileFile(gamedata + cp(u"конфиг\\оружие.ltx")).readString("wpn", "cost", "-"),
              "10 ; старая");
    ParameterWriter writer(WriteTarget{gamedata, false, {}});
    QString error;
    ASSERT_TRUE(
        writer.writeParameter(cp(u"КОНФИГ\\оружие.ltx"), "wpn", "cost", " 20 ; старая", &error))
        << error.toStdString();
    EXPECT_EQ(TempDir::read(path), "[wpn]\r\ncost= 20 ; старая\r\n");
    EXPECT_EQ(TempDir::read(path + ".bak"), original);
    ASSERT_TRUE(ProfileFile(gamedata + cp(u"конфиг\\Новый.ltx")).writeString("s", "k", "1"));
    EXPECT_EQ(names(dir.path(QStringLiteral("gamedata/Конфиг"))),
              QStringList({QStringLiteral("Новый.ltx"), QStringLiteral("Оружие.ltx"),
                           QStringLiteral("Оружие.ltx.bak")}));
}
