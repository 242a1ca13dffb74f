#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

#include "gamefiles/GameValues.h"
#include "gamefiles/ParameterWriter.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"

class ApplyHistory;

// One run of the program over one catalogue and one game folder, for the window and the command
// line alike: where the settings live (one rule, the first-start copy included), the settings
// file and the gamedata folder, the apply history, the write target, and the value of a key
// under this run's rules. Every write to a game file goes through a writer the session makes, so
// every write is recorded in the history and reported to whoever shows the files
// (filesWritten).
class Session : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        // The folder of the executable, holding "Setting/" (as the file system spells it).
        QString programFolder;
        // The user's configuration folder, used for "Setting/" when the program's cannot be
        // written (first start: a copy of the program's); empty: no such folder.
        QString userFolder;
        // Whether Setting.ini can be written in a "Setting" folder.
        SettingFolderCheck writable = settingFolderWritable;
        // The folder holding Setting.ini and the history when given (the command line's
        // --settings); it must exist. Empty: found by the rule above.
        QString settingsFolder;
    };

    explicit Session(Options options, QObject *parent = nullptr);
    ~Session() override;

    // Finds the settings folder and opens the history there. False with *problem when a given
    // settings folder does not exist; a user's copy that could not be made is also said in
    // *problem, but the run goes on with the program's folder (true).
    bool locate(QString *problem);

    // The folder holding "Setting/", in Windows-1251 as catalogue paths are formed from it
    // ("<folder>Setting/Pages.ini"), ending in "/".
    const QByteArray &programFolder() const { return programFolder_; }
    // The settings folder ("…/Setting/") as the file system spells it.
    const QString &settingsFolder() const { return settingsFolder_; }
    bool perUserSettings() const { return perUser_; }
    // Setting.ini in the settings folder, opened by openSettings().
    QByteArray settingsPath() const;
    SettingsFile &settings() { return settings_; }
    const SettingsFile &settings() const { return settings_; }
    // Opens Setting.ini and reads it when it exists (read: false leaves the reading to the
    // caller, as the window's first start does).
    void openSettings(bool read = true);

    const QByteArray &gamedataFolder() const { return gamedataFolder_; }
    void setGamedataFolder(const QByteArray &folder) { gamedataFolder_ = folder; }

    ApplyHistory &history() const { return *history_; }
    // Settles the writes a crash left unfinished in the history (ApplyHistory::settle) against
    // the gamedata folder; called once the folder is known, before the first command or edit.
    // Returns what could not be settled cleanly, for the user (Russian).
    QStringList settleHistory();
    // Where writes go: the gamedata folder and the run's duplication settings.
    WriteTarget target() const;
    // A writer of this run: its writes are recorded in the history under stamp and announced
    // through filesWritten.
    ParameterWriter writer(HistoryStamp stamp = {}) const;
    // A new group for the writes of one table, tweak, restore or undo.
    qint64 newGroup() const;

    // A reader of values under this run's rules (inheritance as the settings say, or as given).
    // One reader serves one walk or one command.
    GameValues values() const;
    GameValues values(bool inheritance) const;
    bool inheritance() const;

    // The apply of an ordinary row or a table cell: the key of section in relativeFile (the
    // catalogue's spelling) gets valueText after its "=", in the place GameValues finds for it
    // (the section's own file when an include holds it). trade: a trade row's apply (its own
    // section only, never duplicated; present false deletes the key), recorded with the row's
    // caption (UTF-8) when given.
    WriteResult applyValue(const QByteArray &relativeFile, const QByteArray &section,
                           const QByteArray &key, const QByteArray &valueText,
                           const HistoryStamp &stamp = {}, QString *error = nullptr) const;
    // applyValue when the place is known already (GameValues::Value::place of this run).
    WriteResult applyValueAt(const SectionResolver::Place &place, const QByteArray &key,
                             const QByteArray &valueText, const HistoryStamp &stamp = {},
                             QString *error = nullptr) const;
    WriteResult applyTrade(const QByteArray &relativeFile, const QByteArray &section,
                           const QByteArray &key, bool present, const QByteArray &valueText,
                           QString *error = nullptr, const QByteArray &caption = {}) const;

    // Of problems met reading includes and parents, those not reported yet in this run (each
    // problem is reported once).
    QStringList unreported(const QStringList &problems);

signals:
    // Game files (relative to the gamedata folder) that a write of this run has just changed.
    void filesWritten(const QByteArrayList &files) const;

private:
    class Journal;

    Options options_;
    QByteArray programFolder_;
    QString settingsFolder_;
    bool perUser_ = false;
    SettingsFile settings_;
    QByteArray gamedataFolder_;
    std::unique_ptr<ApplyHistory> history_;
    std::unique_ptr<Journal> journal_;
    QSet<QString> reported_;
};
