#pragma once

#include <QString>

#include <functional>

// Where the settings file and the catalogue of a run live. The folder "Setting" beside the program
// is used whenever the program may write its Setting.ini there: a portable copy keeps everything
// with it. When it may not (an installed program in a folder of the system), the user's
// configuration folder is used instead; at the first such start the program's "Setting" folder
// (catalogue, page files, pictures) is copied there, so the catalogue commands can edit it.
struct SettingsLocation
{
    QString folder;       // the folder holding "Setting/", ending in "/"
    bool perUser = false; // the user's configuration folder
    // Why the user's copy could not be made; folder is then the program's, and the start goes on
    // as without a copy.
    QString problem;
};

// Whether Setting.ini can be created or replaced in settingFolder, by the rule of every save (no
// write permission for this user, or no write permission bit at all, root included).
bool settingFolderWritable(const QString &settingFolder);

// The program's name. Qt names the user's configuration folder after it, so every executable of
// the program sets this one, and the window's title shows it.
inline QString programName()
{
    return QStringLiteral("BRANVIK Configurator");
}

using SettingFolderCheck = std::function<bool(const QString &settingFolder)>;

// programFolder and userFolder are paths as the file system spells them, with or without a final
// "/". A program folder without a "Setting" folder is used as it is: there is nothing to copy,
// and the start says the settings file is missing.
SettingsLocation locateSettings(const QString &programFolder, const QString &userFolder,
                                const SettingFolderCheck &writable = settingFolderWritable);

// Copies the folder source with its files and sub-folders to destination, which must not exist
// yet. The copy is made beside destination and renamed to it when complete, so destination is
// whole or missing. False with the reason.
bool copySettingFolder(const QString &source, const QString &destination, QString *error);
