#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "settings/MessageLevel.h"

class Dialogs;
class Rows;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class Session;
struct ProgramSettings;

// What the subsystems that drive part of the main window need from it: its components, its
// messages and dialogs, the settings and folders of the run, and the shared displays. The main
// window implements it; each subsystem works against this interface only, so none of them
// depends on the window class or on another subsystem's windows.
class WindowHost
{
public:
    virtual ~WindowHost() = default;

    // The main window: parent of dialogs and context of the controls' connections.
    virtual QWidget *window() = 0;

    // Components owned by the main window, in creation order, found by name. The controls of
    // an editor row exist once its sub-tab was shown; finding one by name creates them first.
    virtual void addComponent(QObject *component) = 0;
    virtual QObject *findComponent(const QString &name) const = 0;
    // Deleted components read as null.
    virtual const QList<QPointer<QObject>> &components() const = 0;
    template <class T> T *find(const QString &name) const
    {
        return qobject_cast<T *>(findComponent(name));
    }

    // The editor rows of the catalogue walk in walk order, whether their controls exist or not:
    // what each row is and shows. The controls are made from them and write edits back.
    virtual Rows &rows() = 0;
    virtual const Rows &rows() const = 0;
    // The value box of row `index`, its sub-tab's controls created first when they do not
    // exist yet; null for a row without controls (an entry of a table page).
    virtual QWidget *rowBox(int index) = 0;
    // The sub-tab (the widget inside its scroll area) that shows row `index`, made when it was
    // not yet.
    virtual QWidget *rowSheet(int index) = 0;
    // The row whose controls carry that name (a row control's name, RowNames.h); -1 for none.
    virtual int rowNamed(const QString &name) const = 0;

    // Shows the text when the message level lets this kind through.
    virtual void showMessage(MessageKind kind, const QString &text) = 0;
    virtual Dialogs &dialogs() const = 0;

    // The settings and folders of the run (Windows-1251 texts, folders end in "/"). The program
    // folder is the one whose "Setting/" holds the settings file and the catalogue of the run.
    virtual const ProgramSettings &settings() const = 0;
    virtual const QByteArray &programFolder() const = 0;
    // That "Setting" folder as the file system spells it, ending in "/": beside the program, or
    // in the user's configuration folder when the program's folder cannot be written.
    virtual QString settingsFolder() const = 0;
    virtual const QByteArray &gamedataFolder() const = 0;
    // The run's core: settings, history, writers and the values of keys under the run's rules.
    virtual Session &session() const = 0;
    // Writes key := value in section "Setting" of the settings file; a setting that takes effect
    // at once (message level, duplication) changes for the run too. False with a reason naming
    // the file when it could not be written; the run then keeps the value it had.
    virtual bool writeSetting(const char *key, const QByteArray &value, QString *error) = 0;

    // Saves where the controls stand now (their Top and Left, nothing else) with the window's
    // state, so they come back there at the next start. False with the reason in *error.
    virtual bool saveControlPlaces(const QList<QWidget *> &controls, QString *error) = 0;

    // The shared displays and the outer tabs.
    virtual QLabel *statusLine() const = 0;          // Panel1
    virtual QPlainTextEdit *pendingText() const = 0; // TMP: what the next apply writes
    virtual QPlainTextEdit *helpText() const = 0;    // Help
    virtual QTabWidget *pages() const = 0;           // PageControl1
    virtual QMenu *rowMenu() const = 0;              // PopupMenuAdd of the ordinary rows

    // Reads every row's value from the game files again (as Ctrl+R does) and says so; rows with
    // edits not applied yet keep them.
    virtual void ReloadClick() = 0;

    // Buttons on the sub-tabs whose windows belong to other subsystems.
    virtual void ButImgClick(QPushButton *button) = 0;
    virtual void ButTablClick(QPushButton *button) = 0;
};
