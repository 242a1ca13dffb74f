#include "settings/ProgramSettings.h"

#include "profile/ProfileFile.h"

namespace {

using namespace settingkeys;
using S = ProgramSettings;

const SettingDeclaration Declarations[] = {
    {SectionSetting, Version, nullptr, &S::version, CurrentVersion},
    {SectionSetting, FormWidth, &S::formWidth},
    {SectionSetting, FormHeight, &S::formHeight},
    {SectionSetting, Warning, &S::messageLevel, nullptr, "", true},
    {SectionSetting, TableMode, &S::tableMode},
    {SectionSetting, Double, &S::duplication, nullptr, "", true},
    {SectionSetting, DoublePath, nullptr, &S::duplicationFolder, "", true},
    {SectionSetting, Inheritance, &S::inheritance, nullptr, "", true},
    {SectionCoefficients, TopAdd, &S::topAdd},
    {SectionCoefficients, LeftAdd, &S::leftAdd},
    {SectionCoefficients, MemoWidth, &S::memoWidth},
};

const ProgramSettings Defaults;

} // namespace

std::span<const SettingDeclaration> settingDeclarations()
{
    return Declarations;
}

const SettingDeclaration *findSetting(const char *key)
{
    for (const SettingDeclaration &d : Declarations)
        if (qstrcmp(d.section, SectionSetting) == 0 && qstrcmp(d.key, key) == 0)
            return &d;
    return nullptr;
}

bool ProgramSettings::versionMatches() const
{
    return version == CurrentVersion;
}

ProgramSettings readSettings(const ProfileFile &file)
{
    ProgramSettings s;
    for (const SettingDeclaration &d : Declarations) {
        if (d.integer)
            s.*d.integer = file.readInteger(d.section, d.key, Defaults.*d.integer);
        else
            s.*d.text = file.readString(d.section, d.key, QByteArray());
    }
    s.columnLimit = s.formHeight - 250;
    return s;
}

bool writeDefaultSettings(ProfileFile &file, QString *error)
{
    for (const SettingDeclaration &d : Declarations) {
        const bool written = d.integer
                                 ? file.writeInteger(d.section, d.key, Defaults.*d.integer, error)
                                 : file.writeString(d.section, d.key, d.firstStartText, error);
        if (!written)
            return false;
    }
    return true;
}
