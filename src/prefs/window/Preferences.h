#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QAction;
class QWidget;
class SettingsFile;
class TStateSaver;
class WindowHost;

namespace prefs {
// Prefix of the values of a single component of the main window saved on its own.
inline const QString ComponentPrefix = QStringLiteral("Главное окно_Form1.");
} // namespace prefs

// The settings menu's window colour, registry clearing, message level and duplication commands,
// and the window state kept in the registry store: restored at the end of start-up, saved at
// close, or deleted at close when the user asked for it. It holds the one mapping between the
// settings and the checkable items of the menus (message level, table mode, duplication,
// inheritance), and every setting changed from a menu is written through it, so the check marks
// always show what the settings file holds.
class Preferences
{
public:
    // Creates the main window's state saver StateSaver1, owned by the window and among its
    // components, keeping Top, Left and colour in the program's key of its store.
    Preferences(WindowHost &host, SettingsFile &settings, const QString &registryFolder);

    TStateSaver *stateSaver() const { return saver_; }

    // Writes key := value in section Setting of the settings file (see SettingsFile::write) and
    // sets the check marks to what the file then holds. False with the reason, not shown.
    bool writeSetting(const char *key, const QByteArray &value, QString *error);
    // Checks the radio items that match the values the settings file holds; a value that no item
    // names leaves its submenu as it is. The inheritance item shows the stored switch, and the
    // game-file lookup gets the run's.
    void showSettingsInMenus();

    // Menu commands. Checkable items have their check mark moved by the click already.
    void N7Click();
    void N14Click();
    void N24Click();
    void N25Click();
    void N26Click();
    void N30Click();
    void N31Click();
    void N32Click();
    // Вид → inheritance of values: written at once, and every row is read again under the new
    // rule.
    void InheritanceClick();

    // Start-up, before the rows are built: the outer tabs get back their colour, so the rows
    // take it as they are created instead of all being repainted after the building. The
    // restoring at the end finds it in place.
    void loadOuterTabsState();
    // Start-up: the main window and every component it owns get back what the store holds.
    void loadComponentState();
    // Close: the colour of the outer tabs is saved (Top and Left are switched off for good).
    void saveComponentState();
    // A dragged row: saves the Top and Left of its controls, nothing else, whatever the saver
    // keeps otherwise; its switches are put back afterwards.
    bool saveControlPlaces(const QList<QWidget *> &controls, QString *error);
    // Close with registry clearing asked for: deletes the program's key with everything below
    // it and says so; says nothing when there is no key above it.
    void deleteProgramKey();

private:
    QAction *item(const char *name) const;
    // Writes a setting; on failure shows why (the check marks go back) and returns false.
    bool changeSetting(const char *key, const QByteArray &value);
    void setMessageLevel(int level);
    void setDuplication(int on);

    WindowHost &host_;
    SettingsFile &settings_;
    TStateSaver *saver_;
};
