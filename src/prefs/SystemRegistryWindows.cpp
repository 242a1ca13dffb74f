// The state store's keys in the Windows registry (advapi32).
#include "prefs/SystemRegistry.h"

#include "textcodec/Cp1251.h"

#include <QStringList>

#include <cstring>
#include <iterator>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace sysreg {

namespace {

struct Root
{
    const char *name;
    HKEY key;
    const char *place;
};

// The machine-wide hive takes writes from administrators only: its keys go to the user's.
const Root Roots[] = {
    {"HKEY_LOCAL_MACHINE", HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {"HKEY_USERS", HKEY_USERS, "HKEY_USERS"},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

const Root *rootOf(const QByteArray &root)
{
    for (const Root &r : Roots)
        if (root == r.name)
            return &r;
    return nullptr;
}

std::wstring wide(const QByteArray &cp1251Text)
{
    return cp1251::toUnicode(cp1251Text).toStdWString();
}

QString where(const QByteArray &root, const QByteArray &path)
{
    return placeOf(root) + '\\' + cp1251::toUnicode(path);
}

bool fail(QString *error, const QByteArray &root, const QByteArray &path, LONG status)
{
    if (error)
        *error = where(root, path) + ": " + qt_error_string(int(status));
    return false;
}

class Key
{
public:
    ~Key()
    {
        if (h)
            RegCloseKey(h);
    }
    HKEY h = nullptr;
};

// The path of an existing key as its keys are spelled, found one level at a time.
QByteArray spelledPath(HKEY root, const QByteArray &path)
{
    QStringList spelled;
    Key parent;
    HKEY at = root;
    for (const QString &part : cp1251::toUnicode(path).split(u'\\', Qt::SkipEmptyParts)) {
        QString found = part;
        wchar_t name[256]; // the longest name a key can have, and its terminating null
        DWORD size = DWORD(std::size(name));
        for (DWORD i = 0;
             RegEnumKeyExW(at, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, size = DWORD(std::size(name))) {
            const QString candidate = QString::fromWCharArray(name, qsizetype(size));
            if (candidate.compare(part, Qt::CaseInsensitive) == 0) {
                found = candidate;
                break;
            }
        }
        spelled.append(found);
        Key child;
        if (RegOpenKeyExW(at, found.toStdWString().c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &child.h) !=
            ERROR_SUCCESS)
            return path;
        std::swap(parent.h, child.h);
        at = parent.h;
    }
    return cp1251::encode(spelled.join(u'\\'));
}

} // namespace

bool available()
{
    return true;
}

QString placeOf(const QByteArray &root)
{
    const Root *r = rootOf(root);
    return QString::fromLatin1(r ? r->place : root.constData());
}

bool keyExists(const QByteArray &root, const QByteArray &path)
{
    const Root *r = rootOf(root);
    Key key;
    return r && RegOpenKeyExW(r->key, wide(path).c_str(), 0, KEY_READ, &key.h) == ERROR_SUCCESS;
}

bool readKey(const QByteArray &root, const QByteArray &path, QList<RegistryStore::Value> *values,
             bool *exists, QString *error, QByteArray *spelled)
{
    *exists = false;
    values->clear();
    const Root *r = rootOf(root);
    if (!r)
        return fail(error, root, path, ERROR_FILE_NOT_FOUND);
    Key key;
    LONG status = RegOpenKeyExW(r->key, wide(path).c_str(), 0, KEY_QUERY_VALUE, &key.h);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return fail(error, root, path, status);
    *exists = true;
    if (spelled)
        *spelled = spelledPath(r->key, path);
    DWORD count = 0, longestName = 0, largestData = 0;
    status = RegQueryInfoKeyW(key.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                              &longestName, &largestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return fail(error, root, path, status);
    std::wstring name(longestName + 1, L'\0');
    std::string data(largestData + 2, '\0');
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameSize = DWORD(name.size());
        DWORD dataSize = DWORD(data.size());
        DWORD type = 0;
        status = RegEnumValueW(key.h, i, name.data(), &nameSize, nullptr, &type,
                               reinterpret_cast<BYTE *>(data.data()), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return fail(error, root, path, status);
        RegistryStore::Value v;
        v.name = cp1251::encode(QString::fromWCharArray(name.c_str(), nameSize));
        if (type == REG_DWORD && dataSize == sizeof(DWORD)) {
            DWORD n;
            std::memcpy(&n, data.data(), sizeof n);
            v.type = RegistryStore::Type::Integer;
            v.integer = qint32(n);
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            qsizetype characters = qsizetype(dataSize / 2);
            const auto *text = reinterpret_cast<const char16_t *>(data.data());
            if (characters > 0 && text[characters - 1] == 0)
                --characters;
            v.type = RegistryStore::Type::String;
            v.text = cp1251::encode(QString::fromUtf16(text, characters));
        } else {
            continue;
        }
        values->append(v);
    }
    return true;
}

bool writeKey(const QByteArray &root, const QByteArray &path,
              const QList<RegistryStore::Value> &values, QString *error)
{
    const Root *r = rootOf(root);
    if (!r)
        return fail(error, root, path, ERROR_FILE_NOT_FOUND);
    Key key;
    LONG status = RegCreateKeyExW(r->key, wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key.h, nullptr);
    if (status != ERROR_SUCCESS)
        return fail(error, root, path, status);
    for (const RegistryStore::Value &v : values) {
        const std::wstring name = wide(v.name);
        if (v.type == RegistryStore::Type::String) {
            const std::wstring text = wide(v.text);
            status = RegSetValueExW(key.h, name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE *>(text.c_str()),
                                    DWORD((text.size() + 1) * sizeof(wchar_t)));
        } else {
            const DWORD n = DWORD(v.integer);
            status = RegSetValueExW(key.h, name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE *>(&n), sizeof n);
        }
        if (status != ERROR_SUCCESS)
            return fail(error, root, path, status);
    }
    return true;
}

bool deleteKey(const QByteArray &root, const QByteArray &path, QString *error)
{
    const Root *r = rootOf(root);
    if (!r)
        return fail(error, root, path, ERROR_FILE_NOT_FOUND);
    const std::wstring key = wide(path);
    LONG status = RegDeleteTreeW(r->key, key.c_str());
    // The tree call empties the key; the key itself goes with the plain call.
    if (status == ERROR_SUCCESS)
        status = RegDeleteKeyW(r->key, key.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return fail(error, root, path, status);
    return true;
}

} // namespace sysreg
