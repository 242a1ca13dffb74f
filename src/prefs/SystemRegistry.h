#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "prefs/RegistryStore.h"

// The system's own registry, where the system has one (Windows): the state store keeps its keys
// there rather than in files. Roots are named as RegistryStore names them; HKEY_LOCAL_MACHINE is
// kept under HKEY_CURRENT_USER, with the same key paths, since the machine-wide hive needs
// administrator rights. Key paths and value names are Windows-1251 text, as in RegistryStore;
// the registry holds them as Unicode.
namespace sysreg {

// Whether there is a system registry; everything below fails where there is none.
bool available();

// The root where the keys of root go, for messages ("HKEY_CURRENT_USER").
QString placeOf(const QByteArray &root);

bool keyExists(const QByteArray &root, const QByteArray &path);
// The values of the key: integers (Booleans among them) and strings; values of other types are
// left out. *exists is false, and the call succeeds, when there is no such key. *spelled, when
// asked for, is the key's path in the letter case its keys were created with (the registry finds
// them in any case).
bool readKey(const QByteArray &root, const QByteArray &path, QList<RegistryStore::Value> *values,
             bool *exists, QString *error, QByteArray *spelled = nullptr);
// Creates the key (and those above it) when missing and writes each of the values.
bool writeKey(const QByteArray &root, const QByteArray &path,
              const QList<RegistryStore::Value> &values, QString *error);
// Deletes the key with its values and everything below it; a missing key is no failure.
bool deleteKey(const QByteArray &root, const QByteArray &path, QString *error);

} // namespace sysreg
