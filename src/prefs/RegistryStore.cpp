#include "prefs/RegistryStore.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>

#include "base/Bytes.h"
#include "base/Fail.h"
#include "prefs/SystemRegistry.h"
#include "profile/FileSystem.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

const QByteArray Header = "BRANVIK Configurator registry 1";

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

void appendQuoted(QByteArray &out, QByteArrayView text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (isControl(c)) {
            out += "\\x";
            base::appendHex(out, c);
        } else {
            out += ch;
        }
    }
    out += '"';
}

using base::hexDigit;

// Reads a quoted text starting at *pos (at the opening quote); *pos ends after the closing one.
bool takeQuoted(QByteArrayView line, qsizetype *pos, QByteArray *text)
{
    qsizetype i = *pos;
    if (i >= line.size() || line[i] != '"')
        return false;
    text->clear();
    for (++i; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (isControl(static_cast<unsigned char>(c)))
            return false;
        if (c != '\\') {
            *text += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        if (line[i] == '"' || line[i] == '\\') {
            *text += line[i];
        } else if (line[i] == 'x' && i + 2 < line.size()) {
            const int high = hexDigit(line[i + 1]), low = hexDigit(line[i + 2]);
            const int byte = high * 16 + low;
            if (high < 0 || low < 0 || !isControl(static_cast<unsigned char>(byte)))
                return false;
            *text += static_cast<char>(byte);
            i += 2;
        } else {
            return false;
        }
    }
    return false;
}

// A read that fails: the value is missing or of another type (the text is made only when asked
// for: a restore reads many values that were never saved).
bool notRead(bool found, QByteArrayView name, QString *error)
{
    if (!error)
        return false;
    const QString shown = cp1251::toUnicode(name.toByteArray());
    return base::fail(error, found
                                 ? QStringLiteral("Значение %1 реестра имеет другой тип").arg(shown)
                                 : QStringLiteral("Нет значения %1 в реестре").arg(shown));
}

} // namespace

// --- Key

const RegistryStore::Value *RegistryStore::Key::find(QByteArrayView name) const
{
    const auto it = byName_.constFind(cp1251::foldCase(name));
    return it == byName_.cend() ? nullptr : &values_[*it];
}

bool RegistryStore::Key::readInteger(QByteArrayView name, qint32 *value, QString *error) const
{
    const Value *v = find(name);
    if (!v || v->type == Type::String)
        return notRead(v != nullptr, name, error);
    *value = v->integer;
    return true;
}

bool RegistryStore::Key::readBoolean(QByteArrayView name, bool *value, QString *error) const
{
    qint32 integer = 0;
    if (!readInteger(name, &integer, error))
        return false;
    *value = integer != 0;
    return true;
}

bool RegistryStore::Key::readString(QByteArrayView name, QByteArray *value, QString *error) const
{
    const Value *v = find(name);
    if (!v || v->type != Type::String)
        return notRead(v != nullptr, name, error);
    *value = v->text;
    return true;
}

void RegistryStore::Key::write(QByteArrayView name, Type type, qint32 integer,
                               const QByteArray &text)
{
    const QByteArray folded = cp1251::foldCase(name);
    const auto it = byName_.constFind(folded);
    if (it == byName_.cend()) {
        byName_.insert(folded, values_.size());
        values_.append({name.toByteArray(), type, integer, text});
        store_->modified_ = changed_ = true;
        return;
    }
    // An existing value keeps the name it was created with, as in the registry.
    Value &v = values_[*it];
    const Value updated{v.name, type, integer, text};
    if (v == updated)
        return;
    v = updated;
    store_->modified_ = changed_ = true;
}

void RegistryStore::Key::writeInteger(QByteArrayView name, qint32 value)
{
    write(name, Type::Integer, value, {});
}

void RegistryStore::Key::writeBoolean(QByteArrayView name, bool value)
{
    write(name, Type::Boolean, value ? 1 : 0, {});
}

void RegistryStore::Key::writeString(QByteArrayView name, const QByteArray &value)
{
    write(name, Type::String, 0, value);
}

// --- RegistryStore

QString RegistryStore::systemRegistry()
{
    return QStringLiteral("<system registry>");
}

QString RegistryStore::defaultPlace()
{
    if (sysreg::available())
        return systemRegistry();
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/BRANVIK Configurator/registry";
}

RegistryStore::RegistryStore(QString folder, QByteArray root, FileReader reader)
    : folder_(std::move(folder)), root_(std::move(root)),
      system_(folder_ == systemRegistry() && sysreg::available()), reader_(std::move(reader))
{
    if (!reader_)
        reader_ = [](const QByteArray &nativePath, QByteArray *bytes, QString *reason) {
            return readRegularFile(nativePath, bytes, nullptr, reason);
        };
}

RegistryStore::~RegistryStore() = default;

QString RegistryStore::filePath() const
{
    if (system_)
        return sysreg::placeOf(root_);
    return folder_ + '/' + QString::fromLatin1(root_);
}

void RegistryStore::clear()
{
    keys_.clear();
    byPath_.clear();
    deleted_.clear();
    deletedShown_.clear();
}

bool RegistryStore::read(QString *problem)
{
    clear();
    unusable_ = false;
    modified_ = false;
    // The system's registry is read key by key, as keys are opened.
    if (system_)
        return true;
    QByteArray bytes;
    QString reason;
    switch (reader_(nativePath(filePath()), &bytes, &reason)) {
    case FileRead::Missing:
        return true;
    case FileRead::Read:
        break;
    case FileRead::NotRegular:
    case FileRead::Failed:
        // Saving over it would lose every value it holds: it is moved aside first.
        unusable_ = true;
        if (problem)
            *problem = filePath() + ": " + reason;
        return false;
    }
    // An empty file is an empty store.
    if (!bytes.isEmpty() && !parse(bytes)) {
        clear();
        unusable_ = true;
        if (problem)
            *problem = filePath() + QStringLiteral(": файл повреждён");
    }
    modified_ = false;
    for (const auto &key : keys_)
        key->changed_ = false;
    return !unusable_;
}

bool RegistryStore::parse(const QByteArray &bytes)
{
    Key *key = nullptr;
    bool first = true;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (first) {
            if (line != Header)
                return false;
            first = false;
            continue;
        }
        if (line.isEmpty())
            continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 2)
                return false;
            key = openKey(line.sliced(1, line.size() - 2), true);
            if (!key)
                return false;
            continue;
        }
        QByteArray name;
        qsizetype pos = 0;
        if (!key || !takeQuoted(line, &pos, &name) || key->valueExists(name))
            return false;
        const QByteArrayView rest = line.sliced(pos);
        if (rest.startsWith("=dword:") && rest.size() == 15) {
            quint32 pattern = 0;
            for (const char c : rest.sliced(7)) {
                const int digit = hexDigit(c);
                if (digit < 0)
                    return false;
                pattern = pattern << 4 | static_cast<quint32>(digit);
            }
            key->writeInteger(name, static_cast<qint32>(pattern));
        } else if (rest == "=bool:0" || rest == "=bool:1") {
            key->writeBoolean(name, rest.endsWith('1'));
        } else if (rest.startsWith("=sz:")) {
            QByteArray text;
            pos = 4;
            if (!takeQuoted(rest, &pos, &text) || pos != rest.size())
                return false;
            key->writeString(name, text);
        } else {
            return false;
        }
    }
    return true;
}

bool RegistryStore::normalPath(QByteArrayView path, QByteArray *shown, QByteArray *folded)
{
    while (path.startsWith('\\'))
        path = path.sliced(1);
    while (path.endsWith('\\'))
        path.chop(1);
    for (const char c : path)
        if (isControl(static_cast<unsigned char>(c)))
            return false;
    if (path.contains("\\\\"))
        return false;
    *shown = path.toByteArray();
    *folded = cp1251::foldCase(path);
    return true;
}

RegistryStore::Key *RegistryStore::addKey(const QByteArray &shown, const QByteArray &folded)
{
    auto key = std::make_unique<Key>();
    key->store_ = this;
    key->path_ = shown;
    Key *raw = key.get();
    keys_.push_back(std::move(key));
    byPath_.insert(folded, raw);
    return raw;
}

bool RegistryStore::deletedHere(const QByteArray &folded) const
{
    for (const QByteArray &gone : deleted_)
        if (folded == gone || folded.startsWith(gone + '\\'))
            return true;
    return false;
}

RegistryStore::Key *RegistryStore::loadKey(const QByteArray &shown, const QByteArray &folded)
{
    if (!system_ || folded.isEmpty() || deletedHere(folded))
        return nullptr;
    QList<Value> values;
    bool exists = false;
    QByteArray spelled;
    if (!sysreg::readKey(root_, shown, &values, &exists, nullptr, &spelled) || !exists)
        return nullptr;
    Key *key = addKey(spelled, folded);
    for (const Value &v : values) {
        const QByteArray name = cp1251::foldCase(v.name);
        if (!key->byName_.contains(name)) {
            key->byName_.insert(name, key->values_.size());
            key->values_.append(v);
        }
    }
    return key;
}

RegistryStore::Key *RegistryStore::openKey(QByteArrayView path, bool create)
{
    QByteArray shown, folded;
    if (!normalPath(path, &shown, &folded))
        return nullptr;
    if (Key *key = byPath_.value(folded))
        return key;
    if (Key *key = loadKey(shown, folded))
        return key;
    if (!create)
        return nullptr;
    // The keys above it first, as the registry creates them.
    const qsizetype cut = shown.lastIndexOf('\\');
    if (cut > 0)
        openKey(QByteArrayView(shown).first(cut), true);
    Key *key = addKey(shown, folded);
    key->changed_ = true;
    modified_ = true;
    return key;
}

bool RegistryStore::keyExists(QByteArrayView path) const
{
    QByteArray shown, folded;
    if (!normalPath(path, &shown, &folded))
        return false;
    if (byPath_.contains(folded))
        return true;
    return system_ && !folded.isEmpty() && !deletedHere(folded) && sysreg::keyExists(root_, shown);
}

bool RegistryStore::deleteKey(QByteArrayView path)
{
    QByteArray shown, folded;
    if (!normalPath(path, &shown, &folded) || folded.isEmpty() || !keyExists(shown))
        return false;
    if (system_) {
        deleted_.append(folded);
        deletedShown_.append(shown);
    }
    const QByteArray below = folded + '\\';
    for (auto it = byPath_.begin(); it != byPath_.end();) {
        if (it.key() == folded || it.key().startsWith(below))
            it = byPath_.erase(it);
        else
            ++it;
    }
    std::erase_if(keys_, [this](const std::unique_ptr<Key> &key) {
        return byPath_.value(cp1251::foldCase(key->path())) != key.get();
    });
    modified_ = true;
    return true;
}

QByteArray RegistryStore::serialize() const
{
    QByteArray out = Header + '\n';
    for (const auto &key : keys_) {
        out += '[' + key->path() + "]\n";
        for (const Value &v : key->values()) {
            appendQuoted(out, v.name);
            switch (v.type) {
            case Type::Integer:
                out +=
                    "=dword:" +
                    QByteArray::number(static_cast<quint32>(v.integer), 16).rightJustified(8, '0');
                break;
            case Type::Boolean:
                out += v.integer ? "=bool:1" : "=bool:0";
                break;
            case Type::String:
                out += "=sz:";
                appendQuoted(out, v.text);
                break;
            }
            out += '\n';
        }
    }
    return out;
}

bool RegistryStore::save(QString *error)
{
    if (!modified_)
        return true;
    if (system_)
        return saveToSystem(error);
    if (!QDir().mkpath(folder_)) {
        if (error)
            *error = folder_ + QStringLiteral(": не удалось создать папку");
        return false;
    }
    // A file that could not be read or parsed is never replaced unseen.
    if (unusable_ && !putAside(error))
        return false;
    QString reason;
    if (!saveFile(filePath(), serialize(), &reason)) {
        if (error)
            *error = filePath() + ": " + reason;
        return false;
    }
    modified_ = false;
    for (const auto &key : keys_)
        key->changed_ = false;
    return true;
}

bool RegistryStore::saveToSystem(QString *error)
{
    // Deletions first: a key deleted and made again holds only what was written since.
    while (!deleted_.isEmpty()) {
        if (!sysreg::deleteKey(root_, deletedShown_.first(), error))
            return false;
        deleted_.removeFirst();
        deletedShown_.removeFirst();
    }
    for (const auto &key : keys_) {
        if (!key->changed_)
            continue;
        if (!sysreg::writeKey(root_, key->path(), key->values(), error))
            return false;
        key->changed_ = false;
    }
    modified_ = false;
    return true;
}

bool RegistryStore::putAside(QString *error)
{
    fsys::Failure missing;
    if (fsys::entryAt(filePath(), fsys::Links::DoNotFollow, &missing).kind == fsys::Kind::None &&
        missing.error == fsys::Error::Missing) {
        unusable_ = false; // gone since: nothing to keep
        return true;
    }
    // A name that holds nothing yet: an earlier damaged file is kept too.
    QString aside = filePath() + ".damaged";
    for (int n = 2; fsys::entryAt(aside, fsys::Links::DoNotFollow).kind != fsys::Kind::None; ++n)
        aside = filePath() + ".damaged." + QString::number(n);
    // The rule of every save: a folder without write permission is not written, root included.
    const QString refusal = whyNotSavable(aside);
    if (!refusal.isEmpty()) {
        if (error)
            *error = filePath() +
                     QStringLiteral(": файл не читается и не может быть сохранён в стороне: ") +
                     refusal;
        return false;
    }
    if (fsys::Failure failure; !fsys::replace(filePath(), aside, &failure)) {
        if (error)
            *error = filePath() +
                     QStringLiteral(": файл не читается и не может быть сохранён в стороне: ") +
                     failure.reason;
        return false;
    }
    unusable_ = false;
    return true;
}
