#include "settings/ProgramSettings.h"

#include "profile/ProfileFile.h"

namespace {

using namespace settingkeys;
using S = ProgramSettings;

const SettingDeclaration Declarations[] = {
    {SectionSetting, Version, nullptr, &S::version, 0, CurrentVersion},
    {SectionSetting, FormWidth, &S::formWidth, nullptr, 800},
    {SectionSetting, FormHeight, &S::formHeight, nullptr, 600},
    {SectionSetting, Warning, &S::messageLevel, nullptr, 1, "", true},
    {SectionSetting, TableMode, &S::tableMode, nullptr, 0},
    {SectionSetting, Double, &S::duplication, nullptr, 0, "", true},
    {SectionSetting, DoublePath, nullptr, &S::duplicationFolder, 0, "", true},
    {SectionCoefficients, TopAdd, &S::topAdd, nullptr, 45},
    {SectionCoefficients, LeftAdd, &S::leftAdd, nullptr, 148},
    {SectionCoefficients, MemoWidth, &S::memoWidth, nullptr, 100},
};

} // namespace

std::span<const SettingDeclaration> settingDeclarations()
{
    return Declarations;
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
            s.*d.integer = file.readInteger(d.section, d.key, d.defaultInteger);
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
                                 ? file.writeInteger(d.section, d.key, d.defaultInteger, error)
                                 : file.writeString(d.section, d.key, d.firstStartText, error);
        if (!written)
            return false;
    }
    return true;
}
