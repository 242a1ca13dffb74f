#include "settings/SettingsFile.h"

#include "profile/ProfileFile.h"

namespace {

const QString NotOpen = QStringLiteral("Файл настроек не открыт");

bool notOpen(QString *error)
{
    if (error)
        *error = NotOpen;
    return false;
}

// Sets one declared value as the file would read it back.
void assign(ProgramSettings &s, const SettingDeclaration &d, const QByteArray &value)
{
    if (d.text) {
        s.*d.text = value;
    } else if (!ProfileFile::parseInteger(value, &(s.*d.integer))) {
        s.*d.integer = ProgramSettings().*d.integer;
    }
}

} // namespace

SettingsFile::SettingsFile() = default;
SettingsFile::~SettingsFile() = default;

void SettingsFile::open(const QByteArray &path)
{
    file_ = std::make_unique<ProfileFile>(path);
    run_ = stored_ = ProgramSettings();
}

void SettingsFile::close()
{
    file_.reset();
}

QByteArray SettingsFile::path() const
{
    return file_ ? file_->path() : QByteArray();
}

QByteArray SettingsFile::gamedataPath() const
{
    if (!file_)
        return settingkeys::AbsentGamedataPath;
    return file_->readString(settingkeys::SectionSetting, settingkeys::GamedataPath,
                             settingkeys::AbsentGamedataPath);
}

bool SettingsFile::writeGamedataPath(const QByteArray &folder, QString *error)
{
    if (!file_)
        return notOpen(error);
    return file_->writeString(settingkeys::SectionSetting, settingkeys::GamedataPath, folder,
                              error);
}

bool SettingsFile::writeFirstStart(const QByteArray &gamedataFolder, QString *error)
{
    return writeGamedataPath(gamedataFolder, error) && writeDefaultSettings(*file_, error);
}

void SettingsFile::read()
{
    if (file_)
        run_ = stored_ = readSettings(*file_);
}

QSize SettingsFile::windowSize() const
{
    const ProgramSettings current = file_ ? readSettings(*file_) : ProgramSettings();
    return {current.formWidth, current.formHeight};
}

bool SettingsFile::writeWindowSize(const QSize &size, QString *error)
{
    if (!file_)
        return notOpen(error);
    if (!file_->writeInteger(settingkeys::SectionSetting, settingkeys::FormHeight, size.height(),
                             error) ||
        !file_->writeInteger(settingkeys::SectionSetting, settingkeys::FormWidth, size.width(),
                             error))
        return false;
    stored_.formHeight = size.height();
    stored_.formWidth = size.width();
    return true;
}

bool SettingsFile::write(const char *key, const QByteArray &value, QString *error)
{
    if (!file_)
        return notOpen(error);
    if (!file_->writeString(settingkeys::SectionSetting, key, value, error))
        return false;
    if (const SettingDeclaration *d = findSetting(key)) {
        assign(stored_, *d, value);
        if (d->takesEffectAtOnce)
            assign(run_, *d, value);
    }
    return true;
}

bool SettingsFile::takesEffectAtOnce(const char *key)
{
    const SettingDeclaration *d = findSetting(key);
    return d && d->takesEffectAtOnce;
}
