#pragma once

#include <QByteArray>

// Checks on the relative game-file paths that catalogues hold ("config\weapons\w_pistol.ltx").
// Both "\" and "/" separate path components.

// Whether gamedataFolder + relativeFile stays inside the gamedata folder, by its text and on
// disk: catalogues are shared between users, and reads and writes through a shared catalogue
// must not reach files elsewhere. False for an absolute relative file ("/x", "\x", "C:x"), for
// ".." steps that climb above the folder (even when later steps come back in), and for a path
// that a symbolic link on it (the file itself or a folder on the way; an unpacked archive can
// carry one) leads out of the folder's real place. Links that stay inside are fine.
//
// Inside a ProfileCache::WalkScope each path is checked on disk once per walk, so the lookups
// of a walk do not touch the disk again for every key.
bool isInsideGamedata(const QByteArray &gamedataFolder, const QByteArray &relativeFile);

// The check on the text alone (the first part of isInsideGamedata).
bool isInsideGamedataByText(const QByteArray &gamedataFolder, const QByteArray &relativeFile);

// The part after the last "/", "\" or ":"; the whole text when there is none.
QByteArray bareFileName(const QByteArray &path);

// The relative file in one spelling: letters folded (Windows-1251) and "\" turned into "/", so
// catalogue entries that name the same game file differently compare equal.
QByteArray sameFileKey(const QByteArray &relativeFile);
