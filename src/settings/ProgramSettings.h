#pragma once

#include <QByteArray>
#include <QString>

class ProfileFile;

// The program-wide values read from Setting.ini once per run.
struct ProgramSettings
{
    QByteArray version;
    int formWidth = 800;
    int formHeight = 600;
    int messageLevel = 1;
    int tableMode = 0;
    int duplication = 0;
    QByteArray duplicationFolder;
    int columnLimit = 350; // formHeight - 250, fixed for the run
    int topAdd = 45;
    int leftAdd = 148;
    int memoWidth = 100;

    bool versionMatches() const;
    bool duplicationOn() const { return duplication == 1; }
};

// Sections, keys and defaults of Setting.ini, each declared once.
namespace settingkeys {
QByteArray sectionSetting();      // "Setting"
QByteArray sectionCoefficients(); // "Коэффициенты"
QByteArray version();             // "Версия"
inline constexpr char CurrentVersion[] = "0.6";
inline constexpr char GamedataPath[] = "Gamedata_Path";
inline constexpr char AbsentGamedataPath[] = "012345";
inline constexpr char FormWidth[] = "Form_Width";
inline constexpr char FormHeight[] = "Form_Height";
inline constexpr char Warning[] = "Warning";
inline constexpr char TableMode[] = "TableMode";
inline constexpr char Double[] = "Double";
inline constexpr char DoublePath[] = "Double_Path";
inline constexpr char TopAdd[] = "TopAdd";
inline constexpr char LeftAdd[] = "LeftAdd";
inline constexpr char MemoWidth[] = "MemoWidth";
} // namespace settingkeys

// Reads every program-wide value in the documented order.
ProgramSettings readSettings(const ProfileFile &file);

// The first-start values of every key except Gamedata_Path, in their documented order.
// Stops at the first failing write and returns false with its error.
bool writeDefaultSettings(ProfileFile &file, QString *error = nullptr);
