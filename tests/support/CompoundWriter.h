#pragma once

#include <QByteArray>

// A compound file holding one stream, as the system's writer makes it (libgsf on Linux, the
// structured storage of ole32 on Windows): what spreadsheet programs save workbooks in.
QByteArray compoundFile(const char *streamName, const QByteArray &stream);
