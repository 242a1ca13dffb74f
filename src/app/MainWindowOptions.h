#pragma once

#include <QString>

class Dialogs;

// What the main window takes from outside, so tests can run it in temporary folders.
struct MainWindowOptions
{
    // Folder holding "Setting/"; empty means the folder of the running executable.
    QString programFolder;
    // Folder of the registry store; empty means "$XDG_CONFIG_HOME/BRANVIK Configurator/registry"
    // (~/.config when the variable is unset).
    QString registryFolder;
    // Messages and dialogs; null means the real Qt dialogs. Not owned.
    Dialogs *dialogs = nullptr;
};
