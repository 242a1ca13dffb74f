#pragma once

#include <QString>

// The application title: the caption of every message box.
inline QString applicationTitle()
{
    return QStringLiteral("BRANVIK Configurator");
}
