#pragma once

#include <QByteArray>

// Checks on the relative game-file paths that catalogues hold ("config\weapons\w_pistol.ltx").
// Both "\" and "/" separate path components.

// Whether gamedataFolder + relativeFile stays inside the gamedata folder. False for an absolute
// relative file ("/x", "\x", "C:x") and for ".." steps that climb above the folder, even when
// later steps come back in. The check is on the text alone: catalogues are shared between
// users, and writes through a shared catalogue must not reach files elsewhere.
bool isInsideGamedata(const QByteArray &gamedataFolder, const QByteArray &relativeFile);

// The part after the last "/", "\" or ":"; the whole text when there is none.
QByteArray bareFileName(const QByteArray &path);

// The relative file in one spelling: letters folded (Windows-1251) and "\" turned into "/", so
// catalogue entries that name the same game file differently compare equal.
QByteArray sameFileKey(const QByteArray &relativeFile);
