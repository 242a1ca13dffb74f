#pragma once

// What the benchmarks share: writing generated files, the generated game file, and dialogs that
// answer nothing (a modal window can be looked at while it is "open").

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

#include "ui/window/Dialogs.h"

namespace bench {

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// A game file of sections "section_<s>" (each with a parent) holding "key_<k> = <number> ;
// comment" lines, CRLF.
inline QByteArray generatedGameFile(int sections, int keysPerSection)
{
    QByteArray text = "; generated game file\r\n";
    for (int s = 0; s < sections; ++s) {
        text += "[section_" + QByteArray::number(s) + "]:base\r\n";
        for (int k = 0; k < keysPerSection; ++k)
            text += "key_" + QByteArray::number(k) + " = " + QByteArray::number(k * 1.5) +
                    " ; comment of the key\r\n";
    }
    return text;
}

class SilentDialogs : public Dialogs
{
public:
    std::function<void(QDialog *)> whileOpen;

    void message(QWidget *, const QString &) override {}
    int ask(QWidget *, const QString &, const QStringList &) override { return -1; }
    bool openUrl(const QUrl &) override { return false; }
    QString chooseFolder(QWidget *, const QString &) override { return {}; }
    QString openFileName(QWidget *, const QString &, const QString &, QString *,
                         const QString & = {}) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, QString *,
                         const QString & = {}) override
    {
        return {};
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return {}; }
    int exec(QDialog *dialog) override
    {
        if (whileOpen)
            whileOpen(dialog);
        return QDialog::Rejected;
    }
};

} // namespace bench
