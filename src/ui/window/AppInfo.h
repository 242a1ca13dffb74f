#pragma once

#include <QIcon>
#include <QString>

#include "settings/SettingsLocation.h"

// The application title: the caption of every message box.
inline QString applicationTitle()
{
    return programName();
}

// The program's icon: its windows, the help window and the desktop entry show it.
inline QIcon programIcon()
{
    QIcon icon(QStringLiteral(":/icons/branvik-configurator-64.png"));
    icon.addFile(QStringLiteral(":/icons/branvik-configurator-256.png"));
    return icon;
}
