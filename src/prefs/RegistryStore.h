#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "profile/SafeFile.h"

// The keys and values of one registry root, kept in one file of the registry folder named after
// the root ("HKEY_LOCAL_MACHINE"), or, for the place systemRegistry(), in the system's own
// registry (Windows; SystemRegistry.h). Keys are addressed by their path
// ("SOFTWARE\Maker\Program"); each holds values of three types: integer (32 bits), Boolean and
// string. Key paths and value names are Windows-1251 text and compare without regard to letter
// case (Cyrillic included); they keep the case they were created with.
//
// In the system's registry a Boolean is a 32-bit value like an integer, and reads back as one
// (readBoolean takes either). Keys are read from it when first opened, and save() writes the keys
// that changed and deletes those deleted; nothing there is ever damaged in the way a file can be.
//
// The whole file is read once into memory, worked on there and written back with save(), whole
// and atomically (SafeFile.h). A file that cannot be read (permissions, an I/O error, not a
// regular file) or parsed reads as an empty store; before the store is next saved, that file is
// moved aside, untouched, as "<root>.damaged" (".damaged.2", ... when that name is taken), so
// nothing of it is lost. When it cannot be moved aside, the save fails and the file stays.
//
// File format (Windows-1251 text, one item a line):
//   BRANVIK Configurator registry 1
//   [SOFTWARE\Maker\Program]
//   "name"=dword:00f0caa6        integer, as its 32-bit pattern in hexadecimal
//   "name"=bool:1                Boolean
//   "name"=sz:"text"             string
// In names and strings, \\ and \" stand for themselves and \xHH for a byte below 0x20 or 0x7F.
class RegistryStore
{
public:
    enum class Type
    {
        Integer,
        Boolean,
        String
    };
    struct Value
    {
        QByteArray name;
        Type type = Type::Integer;
        qint32 integer = 0; // Integer and Boolean
        QByteArray text;    // String
        bool operator==(const Value &) const = default;
    };

    // An open key: its values, found by name. Valid until the key is deleted or the store goes.
    class Key
    {
    public:
        const QByteArray &path() const { return path_; }
        const QList<Value> &values() const { return values_; }

        bool valueExists(QByteArrayView name) const { return find(name) != nullptr; }
        // False, with a reason, when the value is missing or holds another type. Integers and
        // Booleans read as each other: both are the registry's 32-bit values.
        bool readInteger(QByteArrayView name, qint32 *value, QString *error = nullptr) const;
        bool readBoolean(QByteArrayView name, bool *value, QString *error = nullptr) const;
        bool readString(QByteArrayView name, QByteArray *value, QString *error = nullptr) const;

        void writeInteger(QByteArrayView name, qint32 value);
        void writeBoolean(QByteArrayView name, bool value);
        void writeString(QByteArrayView name, const QByteArray &value);

    private:
        friend class RegistryStore;
        const Value *find(QByteArrayView name) const;
        void write(QByteArrayView name, Type type, qint32 integer, const QByteArray &text);

        RegistryStore *store_ = nullptr;
        QByteArray path_;
        bool changed_ = false; // created or written since the last read or save
        QList<Value> values_;
        QHash<QByteArray, qsizetype> byName_; // folded name -> index in values_
    };

    // How the file is read: readRegularFile, or a stand-in in tests (a read that fails).
    using FileReader =
        std::function<FileRead(const QByteArray &nativePath, QByteArray *bytes, QString *reason)>;

    // The place of a store in the system's registry, where the system has one (Windows); on
    // systems without one, a folder name that nothing uses.
    static QString systemRegistry();
    // The place where a program's stores go by default: the system's registry where there is one,
    // else the registry folder in the user's configuration folder.
    static QString defaultPlace();

    // The store of root in folder (or systemRegistry()); nothing is read yet.
    RegistryStore(QString folder, QByteArray root, FileReader reader = {});
    ~RegistryStore();
    RegistryStore(const RegistryStore &) = delete;
    RegistryStore &operator=(const RegistryStore &) = delete;

    // Where the root's file is; for the system's registry, the root it uses.
    QString filePath() const;

    // Reads the file. A missing file is an empty store; a file that cannot be read or parsed
    // reads as empty too, and the call returns false with the reason.
    bool read(QString *problem = nullptr);

    // The key at path, or null when it does not exist and create is false. Creating a key creates
    // the keys above it. Null also for a path that cannot name a key (an empty part, a control
    // character). The empty path is the root itself.
    Key *openKey(QByteArrayView path, bool create);
    bool keyExists(QByteArrayView path) const;
    // Deletes the key with its values and every key below it; false when it does not exist.
    bool deleteKey(QByteArrayView path);

    // Something changed since the last read or save.
    bool isModified() const { return modified_; }

    // Writes the whole store to its file atomically, creating the folder when needed; does
    // nothing when nothing changed. A file that the last read could not use is moved aside
    // first. False with a reason when the file could not be moved aside or written; the file
    // then keeps what it held.
    bool save(QString *error = nullptr);

    // The file's text for the current contents.
    QByteArray serialize() const;

private:
    // The folded form of a path with its separators settled, or false for an invalid path.
    static bool normalPath(QByteArrayView path, QByteArray *shown, QByteArray *folded);
    bool parse(const QByteArray &bytes);
    void clear();
    Key *addKey(const QByteArray &shown, const QByteArray &folded);
    // In the system's registry: the key read from there, null when it is not there (or deleted
    // in this store and not saved yet).
    Key *loadKey(const QByteArray &shown, const QByteArray &folded);
    bool deletedHere(const QByteArray &folded) const;
    bool saveToSystem(QString *error);
    // Moves the file that could not be used to the first free "<root>.damaged" name.
    bool putAside(QString *error);

    QString folder_;
    QByteArray root_;
    bool system_ = false;
    QList<QByteArray> deleted_; // deleted keys' paths still in the system's registry (folded)
    QList<QByteArray> deletedShown_;
    std::vector<std::unique_ptr<Key>> keys_; // in creation order
    QHash<QByteArray, Key *> byPath_;        // folded path -> key
    FileReader reader_;
    bool unusable_ = false; // the file at the last read could not be read or parsed
    bool modified_ = false;
};
