#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

#include "prefs/RegistryStore.h"

class QMenu;
class QWidget;
class WindowHost;

// Stores chosen properties of a component, and of every component it owns, as values of one
// registry key, and reads them back. The main window owns its components (WindowHost's list, in
// creation order); other components own none.
//
// A value is named prefix + component name + property part + suffix (".TOP", ".Color", ...); the
// owned components of C are visited with the prefix prefix + C's name + ".". All values live in
// the one key RegistryPath under RegistryRoot. Controls (widgets) keep Top, Enabled, Visible,
// Left, Tag, Height, Width, text, colour (0x00BBGGRR) and caption, in this order, each when its
// switch is on; a pop-up menu keeps its top-level items' caption, Enabled, Visible and Checked
// (".Item[i].Caption" ...). Menu bars, dialogs, menu items and non-visual components have no
// values of their own.
//
// Each call reads the root's store once, walks the components against it in memory and, when
// saving, writes the store back once at its end. A single control value that cannot be read or
// written is skipped; a pop-up menu item's value that cannot be read ends the call, which then
// returns false with the reason. Loading never creates a key.
class TStateSaver : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString RegistryRoot READ RegistryRoot WRITE setRegistryRoot)
    Q_PROPERTY(quint32 RegistryRootHKEY READ RegistryRootHKEY WRITE setRegistryRootHKEY)
    Q_PROPERTY(QString RegistryPath MEMBER RegistryPath)
    Q_PROPERTY(bool WriteTop MEMBER WriteTop)
    Q_PROPERTY(bool WriteLeft MEMBER WriteLeft)
    Q_PROPERTY(bool WriteWidth MEMBER WriteWidth)
    Q_PROPERTY(bool WriteHeight MEMBER WriteHeight)
    Q_PROPERTY(bool WriteCaption MEMBER WriteCaption)
    Q_PROPERTY(bool WriteText MEMBER WriteText)
    Q_PROPERTY(bool WriteColor MEMBER WriteColor)
    Q_PROPERTY(bool WriteTag MEMBER WriteTag)
    Q_PROPERTY(bool WriteEnabled MEMBER WriteEnabled)
    Q_PROPERTY(bool WriteVisible MEMBER WriteVisible)
    Q_PROPERTY(bool WriteChecked MEMBER WriteChecked)

public:
    // Called before a component's values are handled; clearing doIt skips the component's own
    // values, not those of the components it owns.
    using SaverEvent = std::function<void(TStateSaver *sender, QObject *target, bool &doIt)>;

    // The roots and their handle values.
    static constexpr quint32 HKEY_CLASSES_ROOT = 0x80000000, HKEY_CURRENT_USER = 0x80000001,
                             HKEY_LOCAL_MACHINE = 0x80000002, HKEY_USERS = 0x80000003,
                             HKEY_PERFORMANCE_DATA = 0x80000004, HKEY_CURRENT_CONFIG = 0x80000005,
                             HKEY_DYN_DATA = 0x80000006;

    // registryFolder holds one store file per root. Messages go through the host. A new saver
    // has no root and no path, every switch off and no events.
    TStateSaver(WindowHost &host, QString registryFolder, QObject *parent = nullptr);

    QString RegistryRoot() const { return rootName_; }
    // Takes a root's name in any letter case; another name shows "Invalid registry key." and
    // changes nothing.
    void setRegistryRoot(const QString &name);
    quint32 RegistryRootHKEY() const { return rootHandle_; }
    // Another value than a root's shows "Unknown registry key." and changes nothing.
    void setRegistryRootHKEY(quint32 handle);

    QString RegistryPath;
    bool WriteTop = false, WriteLeft = false, WriteWidth = false, WriteHeight = false,
         WriteCaption = false, WriteText = false, WriteColor = false, WriteTag = false,
         WriteEnabled = false, WriteVisible = false, WriteChecked = false;
    SaverEvent OnNewComponentSaving, OnNewComponentLoading;

    // Saves or loads the component and everything it owns. False with a reason when a pop-up
    // menu item's value failed (the walk stops there) or, when saving, the store could not be
    // written.
    bool SaveComponentState(QObject *component, const QString &prefix, const QString &suffix,
                            QString *error = nullptr);
    bool LoadComponentState(QObject *component, const QString &prefix, const QString &suffix,
                            QString *error = nullptr);

    // Loads each of the controls (the main window's row controls as they are created) with one
    // reading of the store, as LoadComponentState would one by one.
    bool LoadComponentsState(const QList<QWidget *> &components, const QString &prefix,
                             const QString &suffix, QString *error = nullptr);

    // The names (folded to lower case) of the components the store holds values of under prefix,
    // as far as a value name shows them (up to the first "." after the prefix).
    QByteArrayList componentsWithValues(const QString &prefix) const;

    const QString &registryFolder() const { return registryFolder_; }

private:
    struct Walk;
    bool visit(Walk &walk, QObject *component, const QByteArray &prefix,
               const QByteArray &foldedPrefix);
    void saveControl(Walk &walk, QWidget *control, const QByteArray &base);
    void loadControl(Walk &walk, QWidget *control, const QByteArray &base);
    bool saveMenu(Walk &walk, QMenu *menu, const QByteArray &base);
    bool loadMenu(Walk &walk, QMenu *menu, const QByteArray &base);
    bool run(bool saving, const QList<QObject *> &components, const QString &prefix,
             const QString &suffix, QString *error);

    WindowHost &host_;
    QString registryFolder_;
    QString rootName_;
    quint32 rootHandle_ = 0;
};
