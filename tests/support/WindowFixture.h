#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTabWidget>
#include <memory>

#include "app/window/TForm1.h"
#include "support/QtPrinters.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

// A program folder and a game folder in a temporary folder, and a main window started on them
// with scripted dialogs.
class WindowFixture
{
public:
    TempDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> window;

    QString programFolder() const { return dir.path("program"); }
    QString gameFolder() const { return dir.path("gamedata"); }
    QString settingPath(const QString &name) const { return dir.path("program/Setting/" + name); }

    // Writes a file of the catalogue folder; the text is turned into Windows-1251 with CRLF.
    void writeSetting(const QString &name, const QString &text) const
    {
        dir.write("program/Setting/" + name, ini(text));
    }
    void writeGameFile(const QString &name, const QString &text) const
    {
        dir.write("gamedata/" + name, ini(text));
    }

    // A settings file that makes the start an ordinary one, with extra lines in [Setting].
    void writeSettings(const QString &extraSettingLines = QString()) const
    {
        QDir().mkpath(gameFolder());
        writeSetting("Setting.ini", "[Setting]\nGamedata_Path=" + gameFolder() + "/\n" +
                                        QStringLiteral("Версия=0.6\n") + extraSettingLines);
    }

    static QByteArray ini(const QString &text)
    {
        QString crlf = text;
        crlf.replace("\n", "\r\n");
        return cp1251::encode(crlf);
    }

    TForm1 &create()
    {
        MainWindowOptions options;
        options.programFolder = programFolder();
        options.registryFolder = dir.path("registry");
        options.userFolder = dir.path("user");
        options.dataFolder = dir.path("data");
        options.dialogs = &dialogs;
        window = std::make_unique<TForm1>(options);
        return *window;
    }

    // Shows every sub-tab of every page once, so each has its sheet and buttons (made when a
    // sub-tab is first shown), and goes back to the tabs shown before.
    void showEverySubTab()
    {
        QTabWidget *pages = window->PageControl1;
        const int page = pages->currentIndex();
        for (int p = 0; p < pages->count(); ++p) {
            pages->setCurrentIndex(p);
            auto *inner = pages->widget(p)->findChild<QTabWidget *>();
            const int current = inner->currentIndex();
            for (int i = 0; i < inner->count(); ++i)
                inner->setCurrentIndex(i);
            inner->setCurrentIndex(current);
        }
        pages->setCurrentIndex(page);
    }

    // Shows the window and lets the start-up sequence run to its end, the values it reads in
    // the background included.
    TForm1 &start()
    {
        if (!window)
            create();
        window->show();
        QCoreApplication::processEvents();
        window->waitForRowValues();
        return *window;
    }
};
