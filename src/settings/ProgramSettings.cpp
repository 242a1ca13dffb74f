#include "settings/ProgramSettings.h"

#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

// Defaults for reading and the values written at first start: one table each.
constexpr int DefaultFormWidth = 800;
constexpr int DefaultFormHeight = 600;
constexpr int DefaultWarning = 1;
constexpr int DefaultTableMode = 0;
constexpr int DefaultDouble = 0;
struct Coefficient
{
    const char *key;
    int defaultValue;
};
constexpr Coefficient Coefficients[] = {
    {settingkeys::TopAdd, 45},
    {settingkeys::LeftAdd, 148},
    {settingkeys::MemoWidth, 100},
};

} // namespace

namespace settingkeys {
QByteArray sectionSetting()
{
    return QByteArrayLiteral("Setting");
}
QByteArray sectionCoefficients()
{
    static const QByteArray name = cp1251::encode(QStringLiteral("Коэффициенты"));
    return name;
}
QByteArray version()
{
    static const QByteArray name = cp1251::encode(QStringLiteral("Версия"));
    return name;
}
} // namespace settingkeys

bool ProgramSettings::versionMatches() const
{
    return version == settingkeys::CurrentVersion;
}

ProgramSettings readSettings(const ProfileFile &file)
{
    using namespace settingkeys;
    const QByteArray setting = sectionSetting();
    ProgramSettings s;
    s.version = file.readString(setting, settingkeys::version(), QByteArray());
    s.formWidth = file.readInteger(setting, FormWidth, DefaultFormWidth);
    s.formHeight = file.readInteger(setting, FormHeight, DefaultFormHeight);
    s.messageLevel = file.readInteger(setting, Warning, DefaultWarning);
    s.tableMode = file.readInteger(setting, TableMode, DefaultTableMode);
    s.columnLimit = s.formHeight - 250;
    const QByteArray coeff = sectionCoefficients();
    s.topAdd = file.readInteger(coeff, Coefficients[0].key, Coefficients[0].defaultValue);
    s.leftAdd = file.readInteger(coeff, Coefficients[1].key, Coefficients[1].defaultValue);
    s.memoWidth = file.readInteger(coeff, Coefficients[2].key, Coefficients[2].defaultValue);
    s.duplication = file.readInteger(setting, Double, DefaultDouble);
    s.duplicationFolder = file.readString(setting, DoublePath, QByteArray());
    return s;
}

bool writeDefaultSettings(ProfileFile &file, QString *error)
{
    using namespace settingkeys;
    const QByteArray setting = sectionSetting();
    if (!file.writeString(setting, settingkeys::version(), CurrentVersion, error) ||
        !file.writeInteger(setting, FormWidth, DefaultFormWidth, error) ||
        !file.writeInteger(setting, FormHeight, DefaultFormHeight, error) ||
        !file.writeInteger(setting, Warning, DefaultWarning, error) ||
        !file.writeInteger(setting, TableMode, DefaultTableMode, error) ||
        !file.writeInteger(setting, Double, DefaultDouble, error) ||
        !file.writeString(setting, DoublePath, QByteArray(), error))
        return false;
    const QByteArray coeff = sectionCoefficients();
    for (const Coefficient &c : Coefficients) {
        if (!file.writeInteger(coeff, c.key, c.defaultValue, error))
            return false;
    }
    return true;
}
