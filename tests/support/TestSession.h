#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "session/Session.h"
#include "support/TempDir.h"

// A session of core tests: its settings in a folder of the test's own (Setting.ini written with
// the duplication and inheritance asked for), its gamedata folder given.
struct TestSession
{
    bool duplication = false;
    QByteArray duplicationFolder;
    bool inheritance = true;

    std::unique_ptr<Session> open(const TempDir &dir, const QByteArray &gamedataFolder,
                                  const QString &folder = QStringLiteral("session")) const
    {
        dir.write(folder + QStringLiteral("/Setting.ini"),
                  "[Setting]\r\nDouble=" + QByteArray(duplication ? "1" : "0") +
                      "\r\nDouble_Path=" + duplicationFolder +
                      "\r\nInheritance=" + QByteArray(inheritance ? "1" : "0") + "\r\n");
        Session::Options options;
        options.settingsFolder = dir.path(folder);
        auto session = std::make_unique<Session>(options);
        session->locate(nullptr);
        session->openSettings();
        session->setGamedataFolder(gamedataFolder);
        return session;
    }
};
