#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "prefs/RegistryStore.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

namespace {

const QByteArray Header = "BRANVIK Configurator registry 1\n";
const QByteArray Program = "SOFTWARE\\Maker\\Program";

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

// Where a store can be kept: files in a folder everywhere, and the system's registry where there
// is one. There, the keys go below a key of the test's own, deleted afterwards.
struct Place
{
    const char *name;
    QString folder;
    QByteArray root;
    QByteArray base; // before every key path
    bool files;
};

class Places
{
public:
    Places()
    {
        list_.append({"files", dir_.path("registry"), "HKEY_LOCAL_MACHINE", {}, true});
        if (RegistryStore::systemRegistry() != RegistryStore::defaultPlace())
            return;
        // Spelled as the system spells its own key: a key that exists keeps its spelling.
        const QByteArray own =
            "Software\\BRANVIK Configurator tests\\" + QFileInfo(dir_.path()).fileName().toLatin1();
        list_.append({"system registry", RegistryStore::systemRegistry(), "HKEY_CURRENT_USER",
                      own + '\\', false});
        own_ = own;
    }
    ~Places()
    {
        if (own_.isEmpty())
            return;
        RegistryStore store(RegistryStore::systemRegistry(), "HKEY_CURRENT_USER");
        store.read();
        store.deleteKey(own_);
        store.deleteKey("Software\\BRANVIK Configurator tests"); // when no other test's is there
        store.save();
    }
    const QList<Place> &list() const { return list_; }

private:
    TempDir dir_;
    QList<Place> list_;
    QByteArray own_;
};

} // namespace

TEST(RegistryStore, KeepsTypedValuesAcrossAReadWithoutRegardToLetterCase)
{
    const Places places;
    for (const Place &place : places.list()) {
        SCOPED_TRACE(place.name);
        const QByteArray program = place.base + Program;
        {
            RegistryStore store(place.folder, place.root);
            ASSERT_TRUE(store.read()) << "a missing file is an empty store";
            RegistryStore::Key *key = store.openKey(program, true);
            ASSERT_NE(key, nullptr);
            key->writeInteger(cp("Окно.Color"), 0x00F0CAA6);
            key->writeInteger("Row.TOP", -12);
            key->writeBoolean("Row.Visible", true);
            key->writeString("Text", "a \"quoted\" \\ text\r\nwith\x01 bytes \xFF");
            key->writeString("", "the default value");
            ASSERT_TRUE(store.save());
        }
        RegistryStore store(place.folder, place.root);
        ASSERT_TRUE(store.read());
        EXPECT_TRUE(store.keyExists(place.base + "software\\MAKER"));
        EXPECT_FALSE(store.openKey(place.base + "SOFTWARE\\Maker\\Other", false));
        const RegistryStore::Key *key =
            store.openKey(place.base + "software\\maker\\PROGRAM", false);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->path(), program) << "keeps the case it was created with";
        qint32 n = 0;
        bool b = false;
        QByteArray s;
        EXPECT_TRUE(key->readInteger(cp("оКНО.color"), &n));
        EXPECT_EQ(n, 0x00F0CAA6);
        EXPECT_TRUE(key->readInteger("row.top", &n));
        EXPECT_EQ(n, -12);
        EXPECT_TRUE(key->readBoolean("ROW.VISIBLE", &b));
        EXPECT_TRUE(b);
        EXPECT_TRUE(key->readInteger("Row.Visible", &n)) << "Booleans are 32-bit values too";
        EXPECT_TRUE(key->readString("text", &s));
        EXPECT_EQ(s, "a \"quoted\" \\ text\r\nwith\x01 bytes \xFF");
        EXPECT_TRUE(key->readString("", &s));
        EXPECT_EQ(s, "the default value");
        QString error;
        EXPECT_FALSE(key->readInteger("Text", &n, &error)) << "a string is not an integer";
        EXPECT_EQ(error, "Значение Text реестра имеет другой тип");
        EXPECT_FALSE(key->readString("Row.TOP", &s, &error));
        EXPECT_EQ(error, "Значение Row.TOP реестра имеет другой тип");
        EXPECT_FALSE(key->readBoolean("missing", &b, &error));
        EXPECT_EQ(error, "Нет значения missing в реестре");
        EXPECT_FALSE(key->readString(cp("нет"), &s, &error));
        EXPECT_EQ(error, "Нет значения нет в реестре");
        EXPECT_FALSE(store.isModified());
        if (place.files) {
            EXPECT_TRUE(
                TempDir::read(store.filePath()).contains(cp("\"Окно.Color\"=dword:00f0caa6\n")));
        }
    }
}

TEST(RegistryStore, RewritingTheSameValueLeavesTheFileAlone)
{
    TempDir dir;
    RegistryStore store(dir.path(), "HKEY_CURRENT_USER");
    store.openKey(Program, true)->writeInteger("A", 1);
    ASSERT_TRUE(store.save());
    QFile::remove(store.filePath());
    store.openKey(Program, true)->writeInteger("a", 1);
    EXPECT_FALSE(store.isModified());
    EXPECT_TRUE(store.save());
    EXPECT_FALSE(QFile::exists(store.filePath())) << "nothing changed, nothing written";
}

TEST(RegistryStore, DeletingAKeyTakesItsSubkeysAndKeepsItsParentAndNeighbours)
{
    TempDir dir;
    RegistryStore store(dir.path(), "HKEY_LOCAL_MACHINE");
    store.openKey(Program + "\\Sub\\Deeper", true)->writeInteger("x", 1);
    store.openKey(Program, true)->writeInteger("y", 2);
    store.openKey(Program + "2", true)->writeInteger("z", 3);
    EXPECT_FALSE(store.deleteKey("SOFTWARE\\Maker\\Missing"));
    EXPECT_FALSE(store.deleteKey("")) << "never the root itself";
    ASSERT_TRUE(store.deleteKey("software\\maker\\program"));
    EXPECT_FALSE(store.keyExists(Program));
    EXPECT_FALSE(store.keyExists(Program + "\\Sub\\Deeper"));
    EXPECT_TRUE(store.keyExists("SOFTWARE\\Maker"));
    ASSERT_TRUE(store.openKey(Program + "2", false));
    ASSERT_TRUE(store.save());
    EXPECT_EQ(TempDir::read(store.filePath()),
              Header + "[SOFTWARE]\n[SOFTWARE\\Maker]\n[SOFTWARE\\Maker\\Program2]\n"
                       "\"z\"=dword:00000003\n");
}

// Deleting keys that a store read (in the system's registry: keys it finds there as they are
// opened): they are gone for the store at once and from its place at the save; a key made again
// holds only what was written since.
TEST(RegistryStore, SavedKeysAreDeletedWithTheirSubkeysInEveryPlace)
{
    const Places places;
    for (const Place &place : places.list()) {
        SCOPED_TRACE(place.name);
        const QByteArray program = place.base + Program;
        {
            RegistryStore store(place.folder, place.root);
            store.read();
            store.openKey(program + "\\Sub\\Deeper", true)->writeInteger("x", 1);
            store.openKey(program, true)->writeInteger("y", 2);
            store.openKey(program + "2", true)->writeInteger("z", 3);
            ASSERT_TRUE(store.save());
        }
        RegistryStore store(place.folder, place.root);
        store.read();
        EXPECT_FALSE(store.deleteKey(place.base + "SOFTWARE\\Maker\\Missing"));
        ASSERT_TRUE(store.deleteKey(place.base + "software\\maker\\program"));
        EXPECT_FALSE(store.keyExists(program));
        EXPECT_FALSE(store.openKey(program + "\\Sub", false));
        EXPECT_TRUE(store.keyExists(place.base + "SOFTWARE\\Maker"));
        store.openKey(program, true)->writeInteger("w", 4);
        ASSERT_TRUE(store.save());

        RegistryStore again(place.folder, place.root);
        again.read();
        EXPECT_FALSE(again.keyExists(program + "\\Sub\\Deeper"));
        const RegistryStore::Key *made = again.openKey(program, false);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->values(),
                  (QList<RegistryStore::Value>{{"w", RegistryStore::Type::Integer, 4, {}}}));
        const RegistryStore::Key *neighbour = again.openKey(program + "2", false);
        ASSERT_NE(neighbour, nullptr);
        EXPECT_EQ(neighbour->values().size(), 1);
    }
}

TEST(RegistryStore, InvalidPathsOpenNoKey)
{
    RegistryStore store(QString(), "HKEY_USERS");
    for (const char *path : {"A\\\\B", "A\\B\nC", "tab\there"})
        EXPECT_EQ(store.openKey(path, true), nullptr) << path;
    EXPECT_NE(store.openKey("\\A\\B\\", true), nullptr) << "outer separators are dropped";
    EXPECT_TRUE(store.keyExists("A\\B"));
}

TEST(RegistryStore, ADamagedFileReadsAsEmptyAndIsKeptAsideWhenReplaced)
{
    const QByteArray damaged[] = {
        "not a store\n",
        Header + "\"value before any key\"=dword:00000001\n",
        Header + "[Key]\n\"a\"=dword:0000001\n",
        Header + "[Key]\n\"a\"=dword:0000001g\n",
        Header + "[Key]\n\"a\"=bool:2\n",
        Header + "[Key]\n\"a\"=sz:\"unterminated\n",
        Header + "[Key]\n\"a\"=sz:\"text\" trailing\n",
        Header + "[Key]\n\"bad \\q escape\"=bool:1\n",
        Header + "[Key]\n\"a\"=bool:1\n\"A\"=bool:0\n",
        Header + "[Key\n",
        Header + "[Key]\n\"a\"=float:1.5\n",
    };
    for (const QByteArray &bytes : damaged) {
        TempDir dir;
        const QString path = dir.write("HKEY_LOCAL_MACHINE", bytes);
        RegistryStore store(dir.path(), "HKEY_LOCAL_MACHINE");
        QString problem;
        EXPECT_FALSE(store.read(&problem)) << bytes.constData();
        EXPECT_FALSE(problem.isEmpty());
        EXPECT_FALSE(store.keyExists("Key")) << bytes.constData();
        store.openKey(Program, true)->writeBoolean("b", false);
        ASSERT_TRUE(store.save());
        EXPECT_EQ(TempDir::read(path + ".damaged"), bytes);
        RegistryStore again(dir.path(), "HKEY_LOCAL_MACHINE");
        EXPECT_TRUE(again.read()) << "replaced by a sound store";
        EXPECT_TRUE(again.keyExists(Program));
    }
    TempDir dir;
    dir.write("HKEY_LOCAL_MACHINE", Header + "\r\n[Key]\r\n\"a\"=sz:\"\\x0d\\x0a\"\r\n");
    RegistryStore crlf(dir.path(), "HKEY_LOCAL_MACHINE");
    QByteArray text;
    ASSERT_TRUE(crlf.read());
    EXPECT_TRUE(crlf.openKey("Key", false)->readString("a", &text));
    EXPECT_EQ(text, "\r\n");
}

TEST(RegistryStore, AFailedSaveLeavesTheFileAsItWas)
{
    TempDir dir;
    RegistryStore store(dir.path("registry"), "HKEY_LOCAL_MACHINE");
    store.openKey(Program, true)->writeInteger("kept", 1);
    ASSERT_TRUE(store.save());
    const QByteArray before = TempDir::read(store.filePath());
    store.openKey(Program, true)->writeInteger("lost", 2);
    testsys::setFolderWritable(dir.path("registry"), false);
    QString error;
    EXPECT_FALSE(store.save(&error));
    testsys::setFolderWritable(dir.path("registry"), true);
    EXPECT_TRUE(error.contains(store.filePath()));
    EXPECT_TRUE(store.isModified()) << "still to be saved";
    EXPECT_EQ(TempDir::read(store.filePath()), before);
    EXPECT_EQ(QDir(dir.path("registry")).entryList(QDir::Files), QStringList{"HKEY_LOCAL_MACHINE"})
        << "no temporary file left";
}

TEST(RegistryStore, AFileThatCannotBeReadIsNeverSavedOver)
{
    const QByteArray kept = Header + "[" + Program + "]\n\"kept\"=dword:00000007\n";
    const RegistryStore::FileReader failing = [](const QByteArray &, QByteArray *, QString *why) {
        *why = QStringLiteral("ошибка ввода-вывода");
        return FileRead::Failed;
    };
    struct Case
    {
        const char *name;
        bool folderAtPath;   // the store's name is taken by a folder
        bool earlierDamaged; // a ".damaged" copy from before is there
        bool readOnlyFolder; // nothing can be moved or written
        const char *asideName;
    };
    const Case cases[] = {
        {"unreadable file", false, false, false, "HKEY_LOCAL_MACHINE.damaged"},
        {"folder at the path", true, false, false, "HKEY_LOCAL_MACHINE.damaged"},
        {"earlier copy kept", false, true, false, "HKEY_LOCAL_MACHINE.damaged.2"},
        {"read-only folder", false, false, true, nullptr},
    };
    for (const Case &c : cases) {
        TempDir dir;
        const QString path = dir.path("HKEY_LOCAL_MACHINE");
        if (c.folderAtPath)
            dir.write("HKEY_LOCAL_MACHINE/inside", kept);
        else
            dir.write("HKEY_LOCAL_MACHINE", kept);
        if (c.earlierDamaged)
            dir.write("HKEY_LOCAL_MACHINE.damaged", "earlier");
        RegistryStore store(dir.path(), "HKEY_LOCAL_MACHINE",
                            c.folderAtPath ? RegistryStore::FileReader() : failing);
        QString problem;
        EXPECT_FALSE(store.read(&problem)) << c.name;
        EXPECT_TRUE(problem.contains(path)) << c.name;
        store.openKey(Program, true)->writeInteger("Color", 1);
        if (c.readOnlyFolder)
            testsys::setFolderWritable(dir.path(), false);
        QString error;
        const bool saved = store.save(&error);
        testsys::setFolderWritable(dir.path(), true);
        if (!c.asideName) {
            EXPECT_FALSE(saved) << c.name;
            EXPECT_TRUE(error.contains(path)) << c.name << ": " << error.toStdString();
            EXPECT_EQ(TempDir::read(path), kept) << c.name << ": left as it was";
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"HKEY_LOCAL_MACHINE"});
            continue;
        }
        ASSERT_TRUE(saved) << c.name << ": " << error.toStdString();
        const QString aside = dir.path(c.asideName);
        EXPECT_EQ(TempDir::read(c.folderAtPath ? aside + "/inside" : aside), kept) << c.name;
        if (c.earlierDamaged) {
            EXPECT_EQ(TempDir::read(path + ".damaged"), "earlier") << c.name;
        }
        RegistryStore again(dir.path(), "HKEY_LOCAL_MACHINE");
        EXPECT_TRUE(again.read()) << c.name;
        EXPECT_TRUE(again.openKey(Program, false)->valueExists("Color")) << c.name;
        EXPECT_FALSE(again.openKey(Program, false)->valueExists("kept")) << c.name;
        EXPECT_TRUE(again.save()) << c.name << ": a store read well is saved in place";
    }
}
