#pragma once

#include <QColor>
#include <QDialog>
#include <QQueue>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "ui/Dialogs.h"

// Records every message and answers dialogs from queued answers, so window tests run without
// a screen. An unanswered folder or file dialog counts as cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    QStringList messages;
    QQueue<QString> folders;
    QQueue<QString> openFiles;
    QQueue<QString> saveFiles;
    QQueue<std::optional<QColor>> colors;
    QQueue<int> dialogResults;
    // Answers to questions, by index; an unanswered question is closed without an answer.
    QQueue<int> answers;
    QStringList questions;
    QStringList folderTitles;
    // Object names of the modal windows shown, in order.
    QStringList shownDialogs;
    // Called with each modal window while it is "shown", to look at it then.
    std::function<void(QDialog *)> whileShown;
    // Addresses handed to the desktop, and whether a handler takes them.
    QList<QUrl> openedUrls;
    bool urlHandlerAvailable = true;

    void message(QWidget *, const QString &text) override { messages.append(text); }
    int ask(QWidget *, const QString &text, const QStringList &) override
    {
        questions.append(text);
        return answers.isEmpty() ? -1 : answers.dequeue();
    }
    QString chooseFolder(QWidget *, const QString &title) override
    {
        folderTitles.append(title);
        return folders.isEmpty() ? QString() : folders.dequeue();
    }
    QString openFileName(QWidget *, const QString &, const QString &, QString *) override
    {
        return openFiles.isEmpty() ? QString() : openFiles.dequeue();
    }
    QString saveFileName(QWidget *, const QString &, const QString &, QString *) override
    {
        return saveFiles.isEmpty() ? QString() : saveFiles.dequeue();
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override
    {
        return colors.isEmpty() ? std::nullopt : colors.dequeue();
    }
    int exec(QDialog *dialog) override
    {
        shownDialogs.append(dialog->objectName());
        if (whileShown)
            whileShown(dialog);
        return dialogResults.isEmpty() ? QDialog::Rejected : dialogResults.dequeue();
    }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return urlHandlerAvailable;
    }
};
