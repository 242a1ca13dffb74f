#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QUrl;
class QWidget;

// Every message box and every dialog of the program goes through this interface, owned by the
// main window. The real one shows Qt dialogs; tests install one that records messages and
// answers dialogs from a script.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A modal message box with one OK button; the caption is the application title.
    virtual void message(QWidget *parent, const QString &text) = 0;

    // A modal question with one button per answer; returns the index of the chosen answer, or
    // -1 when the box is closed without one (Escape chooses the last answer).
    virtual int ask(QWidget *parent, const QString &text, const QStringList &answers) = 0;

    // The platform's folder browser: an absolute path without trailing separator (a root
    // yields its root path), or an empty text when cancelled.
    virtual QString chooseFolder(QWidget *parent, const QString &title) = 0;

    // Open and save file dialogs; *selectedFilter receives the chosen name filter; folder, when
    // given, is where the dialog opens. The save dialog does not ask before replacing a file: its
    // caller knows the name it really writes (it may add a suffix) and asks about that one.
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &filters,
                                 QString *selectedFilter, const QString &folder = {}) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &filters,
                                 QString *selectedFilter, const QString &folder = {}) = 0;

    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;

    // The program's own modal windows; returns the dialog's result code.
    virtual int exec(QDialog *dialog) = 0;

    // Hands the address to the desktop's handler for it (a web browser for a web address);
    // false when no handler took it.
    virtual bool openUrl(const QUrl &url) = 0;
};

class QtDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text) override;
    int ask(QWidget *parent, const QString &text, const QStringList &answers) override;
    QString chooseFolder(QWidget *parent, const QString &title) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &filters,
                         QString *selectedFilter, const QString &folder = {}) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &filters,
                         QString *selectedFilter, const QString &folder = {}) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    int exec(QDialog *dialog) override;
    bool openUrl(const QUrl &url) override;
};
