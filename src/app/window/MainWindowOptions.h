#pragma once

#include <QString>

#include <functional>

class Dialogs;

// What the main window takes from outside, so tests can run it in temporary folders.
struct MainWindowOptions
{
    // Folder holding "Setting/"; empty means the folder of the running executable.
    QString programFolder;
    // Folder of the registry store; empty means RegistryStore::defaultPlace(): the system's
    // registry on Windows, "$XDG_CONFIG_HOME/BRANVIK Configurator/registry" elsewhere (~/.config
    // when the variable is unset).
    QString registryFolder;
    // The user's configuration folder, used for "Setting/" when the program's cannot be written;
    // empty means the application's configuration folder
    // ("$XDG_CONFIG_HOME/BRANVIK Configurator").
    QString userFolder;
    // The user's data folder, where a copy of the bundled example game folder goes when the
    // example cannot be written; empty means the application's data folder
    // ("$XDG_DATA_HOME/BRANVIK Configurator").
    QString dataFolder;
    // Whether Setting.ini can be written in a "Setting" folder; null means the real check.
    std::function<bool(const QString &settingFolder)> settingFolderWritable;
    // Messages and dialogs; null means the real Qt dialogs. Not owned.
    Dialogs *dialogs = nullptr;
};
