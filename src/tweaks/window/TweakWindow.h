#pragma once

#include <QList>

#include "gamefiles/LineChange.h"

class QWidget;
class WindowHost;

// Tweak files from the windows: saved from the change list, applied after a review whose lines
// the user chooses, removed by undoing their apply from the history.
namespace TweakWindow {

// Asks for a file name and saves the changes there as a tweak file.
void save(WindowHost &host, QWidget *parent, const QList<LineChange> &changes);

// Asks for a tweak file, shows the review and writes the chosen lines with "Записать".
void ApplyTweakClick(WindowHost &host);

// Asks for a tweak file and undoes its last apply after a question.
void RemoveTweakClick(WindowHost &host);

} // namespace TweakWindow
