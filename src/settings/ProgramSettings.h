#pragma once

#include <QByteArray>
#include <QString>

#include <span>

class ProfileFile;

// The program-wide values read from Setting.ini once per run. The initialisers are the
// settings' defaults: what a missing or unreadable key reads as and what the first start writes.
// Before the file is read, the message level is 1, so every message of the start shows.
struct ProgramSettings
{
    QByteArray version;
    int formWidth = 800;
    int formHeight = 600;
    int messageLevel = 1;
    int tableMode = 0;
    int duplication = 0;
    QByteArray duplicationFolder;
    int inheritance = 1; // values missing from a section are looked for in includes and parents
    int columnLimit = formHeight - 250; // fixed for the run
    int topAdd = 45;
    int leftAdd = 148;
    int memoWidth = 100;

    bool versionMatches() const;
    bool duplicationOn() const { return duplication == 1; }
    bool inheritanceOn() const { return inheritance != 0; }
};

// Sections and keys of Setting.ini (Windows-1251 bytes).
namespace settingkeys {
inline constexpr char SectionSetting[] = "Setting";
inline constexpr char SectionCoefficients[] = "\xCA\xEE\xFD\xF4\xF4\xE8\xF6\xE8\xE5\xED\xF2\xFB";
inline constexpr char Version[] = "\xC2\xE5\xF0\xF1\xE8\xFF";
inline constexpr char CurrentVersion[] = "0.6";
inline constexpr char GamedataPath[] = "Gamedata_Path";
// What reading Gamedata_Path yields when the key is absent: the first start.
inline constexpr char AbsentGamedataPath[] = "012345";
inline constexpr char FormWidth[] = "Form_Width";
inline constexpr char FormHeight[] = "Form_Height";
inline constexpr char Warning[] = "Warning";
inline constexpr char TableMode[] = "TableMode";
inline constexpr char Double[] = "Double";
inline constexpr char DoublePath[] = "Double_Path";
inline constexpr char Inheritance[] = "Inheritance";
inline constexpr char TopAdd[] = "TopAdd";
inline constexpr char LeftAdd[] = "LeftAdd";
inline constexpr char MemoWidth[] = "MemoWidth";
} // namespace settingkeys

// One setting of Setting.ini: where it is and which program-wide value it fills. An integer
// setting reads as, and the first start writes, its default (ProgramSettings' initialiser); a
// text setting reads as empty when absent and the first start writes firstStartText.
struct SettingDeclaration
{
    const char *section;
    const char *key;
    int ProgramSettings::*integer = nullptr;
    QByteArray ProgramSettings::*text = nullptr;
    const char *firstStartText = "";
    // Changed from the menu with effect for the rest of the run; the others take effect at the
    // next start.
    bool takesEffectAtOnce = false;
};

// Every setting read by readSettings and written by writeDefaultSettings, in the order the first
// start writes them. Gamedata_Path is not among them: the start-up sequence reads and writes it.
std::span<const SettingDeclaration> settingDeclarations();
// The declaration of a key of section Setting (letter case as declared), or null.
const SettingDeclaration *findSetting(const char *key);

// Reads every program-wide value.
ProgramSettings readSettings(const ProfileFile &file);

// The first-start values of every declared setting, in their order. Stops at the first failing
// write and returns false with its error.
bool writeDefaultSettings(ProfileFile &file, QString *error = nullptr);
