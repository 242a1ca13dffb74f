#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "history/ApplyHistory.h"

// How the history window and the command line's --history name what they show (Russian).
namespace HistoryText {

// A whole line of a game file, or "(нет)" for none.
QString line(const std::optional<QByteArray> &line);

// A moment as the history shows it: "14:02" today, "03.02.2025 14:02" on another day.
QString moment(qint64 msecsSinceEpoch);
// A record's time, to the second.
QString time(qint64 msecsSinceEpoch);

// What made a group: "твик weapons.ltx", "таблица: Оружие", "строка: Высота камеры",
// "отмена записи 14:02", "удаление ключа: cost", ... change: one of its records (a trade row's
// delete is told from its write by it).
QString made(const HistoryStamp &stamp, const LineChange *change = nullptr);
// The group as its time and what made it: "14:05 отмена записи 14:02".
QString group(const HistoryStamp &stamp, const LineChange *change = nullptr);

// The file name of the tweak a group applied, took back or made again; empty for other groups.
QString tweak(const HistoryStamp &stamp);

// What became of a record's write and group: empty for a write made and in effect.
QString state(WriteState state, bool undone);

// One record on one line, as --history prints it: its time, what made its group, its line.
QString record(const HistoryRecord &record, bool undone);

} // namespace HistoryText
