#pragma once

#include <QByteArrayView>

#include <string>

// Checks one input of the profile parser fuzz target; the same checks replay saved inputs in the
// core tests.
//
// Input: byte 0 chooses the edit (bit 0: delete, else write), byte 1 the section and byte 2 the
// key among the names the text holds (or a new one), byte 3 the value's length; the value follows
// and the rest is the file's text. The text is parsed, every name pair is read and compared with a
// plain line-by-line reading, the edit is made in memory and the result is parsed again: the key
// reads back as written (or is gone), and every other line keeps its bytes and its ending.
//
// Returns an empty text when every check holds, else what failed.
std::string checkProfileInput(QByteArrayView input);
