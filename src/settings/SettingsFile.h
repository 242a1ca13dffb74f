#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>

#include "settings/ProgramSettings.h"

class ProfileFile;

// Setting.ini of the run: opened by the start-up sequence and released by the close sequence.
// It reads the program-wide values once, writes a setting at the moment the user changes it, and
// keeps two sets of values: those of the run and those the file holds. A setting that takes
// effect at once (message level, duplication switch and folder, inheritance) changes both when
// written; the others (table mode) change the file only and take effect at the next start.
class SettingsFile
{
public:
    SettingsFile();
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    // Opens the file at path (Windows-1251, as profile paths are held); every value is its
    // default until read() (the message level is then 1).
    void open(const QByteArray &path);
    // Releases the file: later writes fail.
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // The path given to open(), empty when none is open.
    QByteArray path() const;

    // Gamedata_Path as the file holds it, or settingkeys::AbsentGamedataPath when it holds none:
    // the first start.
    QByteArray gamedataPath() const;
    bool writeGamedataPath(const QByteArray &folder, QString *error);
    // The first start: Gamedata_Path, then every other setting's first-start value, in order.
    bool writeFirstStart(const QByteArray &gamedataFolder, QString *error);

    // Reads every program-wide value, for the run and as the file holds them.
    void read();
    const ProgramSettings &run() const { return run_; }
    const ProgramSettings &stored() const { return stored_; }

    // The window size the file holds now (read afresh), and its writing at close.
    QSize windowSize() const;
    bool writeWindowSize(const QSize &size, QString *error);

    // Writes key := value in section Setting. The value the file holds changes, and so does the
    // run's when the setting takes effect at once. False with a reason naming the file; nothing
    // changes then.
    bool write(const char *key, const QByteArray &value, QString *error);
    // Whether a setting of section Setting changes the run when written.
    static bool takesEffectAtOnce(const char *key);

private:
    std::unique_ptr<ProfileFile> file_;
    ProgramSettings run_;
    ProgramSettings stored_;
};
