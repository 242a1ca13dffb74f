#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The catalogue commands' changes to the catalogue files. Each call reads the file once, makes
// all its changes in memory and saves the file once, atomically: a failure or a kill leaves the
// file as it was or with the whole change, never half of it. Every line the command does not
// change keeps its bytes. Failures return false with a text naming the file and the reason.
namespace CatalogueEdit {

// The five keys of an entry that the commands show and write, in the order of the properties
// dialog's fields.
struct EntryTexts
{
    QByteArray file, section, param, caption, help;
};

// The properties command: the keys of entry `number` whose texts differ from `shown` (what the
// dialog showed) are written, each as " '" + text + "'" so blanks around it survive; the other
// keys stay as they are (a missing one stays missing).
bool writeEntry(const QByteArray &pageFile, const QByteArray &section, int number,
                const EntryTexts &shown, const EntryTexts &texts, QString *error);

// The add command: entry Kol-vo + 1 gets the five keys as typed (quoted only where blanks or
// quotes around a text would be lost otherwise) and Kol-vo the new number. *number receives it.
bool addEntry(const QByteArray &pageFile, const QByteArray &section, const EntryTexts &texts,
              int *number, QString *error);

struct Deletion
{
    bool alreadyEmpty = false; // Kol-vo was 0: it stays 0 ("Эта вкладка уже пуста!")
};

// The delete command: the lines of entry `number` (its "_FULL" included) go; the entries after
// it up to Kol-vo take the number one lower in their own lines, which stay where they are with
// every byte of their values, and Kol-vo drops by one. A Kol-vo below the entry's number lists
// neither it nor its followers: only its lines go. Without a Kol-vo, the count becomes 0.
bool deleteEntry(const QByteArray &pageFile, const QByteArray &section, int number,
                 Deletion *result, QString *error);

// The page list: "<p>_Enabled" of every page 1..enabled.size() in Pages.ini becomes "true" or
// "false".
bool setPagesEnabled(const QByteArray &indexFile, const QList<bool> &enabled, QString *error);

} // namespace CatalogueEdit
