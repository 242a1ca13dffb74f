#pragma once

#include <QByteArray>
#include <QString>

// Where applied parameters go: the gamedata folder (ending in "/" or "\") that every catalogue
// entry's file is appended to, and the duplication settings.
struct WriteTarget
{
    QByteArray gamedataFolder;
    bool duplication = false;
    // Ends in "/" or "\" when chosen from the menu; the duplicate files and the file table are
    // its text followed by a bare file name.
    QByteArray duplicationFolder;
};

// Writes one applied parameter back into its game configuration file, after the one-time
// backup of that file, and, with duplication on, into the duplicate file and the file table.
//
// All texts are Windows-1251. The relative file is the catalogue entry's file exactly as
// written there; the value text is stored verbatim after "=" (callers pass one blank followed
// by the pending text). Every call opens and releases the files it needs; the writer keeps no
// state between calls.
//
// A false result is a failed write: *error then says what failed. What was written before the
// failure stays written; a failed profile write leaves its file as it was.
class ParameterWriter
{
public:
    explicit ParameterWriter(WriteTarget target);

    const WriteTarget &target() const { return target_; }

    // The apply of an ordinary row (and of a changed table cell).
    bool writeParameter(const QByteArray &relativeFile, const QByteArray &section,
                        const QByteArray &key, const QByteArray &valueText,
                        QString *error = nullptr) const;

    // The apply of a trade row: writes the key when present, deletes its line otherwise. Never
    // duplicated.
    bool writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                    const QByteArray &key, bool present, const QByteArray &valueText,
                    QString *error = nullptr) const;

    // Name of the file table in the duplication folder, and its one section.
    static constexpr const char *FileTableName = "!FileTable!.table";
    static constexpr const char *FileTableSection = "table";

private:
    bool checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                      const QByteArray &key, const QByteArray &valueText, QString *error) const;
    bool duplicate(const QByteArray &relativeFile, const QByteArray &section, const QByteArray &key,
                   const QByteArray &valueText, QString *error) const;

    WriteTarget target_;
};
