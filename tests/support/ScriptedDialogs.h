#pragma once

#include <QColor>
#include <QDialog>
#include <QQueue>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "ui/window/Dialogs.h"

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
    // Addresses handed to the desktop, and whether a handler takes them.
    QList<QUrl> openedUrls;
    bool urlHandlerAvailable = true;
    // File dialogs: their titles and filter lists as asked, the file type each offered, and the
    // file type to answer with (an unanswered one keeps the type offered).
    QStringList fileTitles;
    QStringList fileFilters;
    QStringList fileFolders; // the folder each file dialog opened in (empty: none given)
    QStringList offeredFilters;
    QQueue<QString> selectedFilters;
    // Runs while a modal window of the program is "open", before its result is answered.
    std::function<void(QDialog *)> whileOpen;

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
    QString openFileName(QWidget *, const QString &title, const QString &filters,
                         QString *selectedFilter, const QString &folder = {}) override
    {
        fileAsked(title, filters, selectedFilter, folder);
        return openFiles.isEmpty() ? QString() : openFiles.dequeue();
    }
    QString saveFileName(QWidget *, const QString &title, const QString &filters,
                         QString *selectedFilter, const QString &folder = {}) override
    {
        fileAsked(title, filters, selectedFilter, folder);
        return saveFiles.isEmpty() ? QString() : saveFiles.dequeue();
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override
    {
        return colors.isEmpty() ? std::nullopt : colors.dequeue();
    }
    int exec(QDialog *dialog) override
    {
        shownDialogs.append(dialog->objectName());
        if (whileOpen)
            whileOpen(dialog);
        return dialogResults.isEmpty() ? QDialog::Rejected : dialogResults.dequeue();
    }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return urlHandlerAvailable;
    }

private:
    void fileAsked(const QString &title, const QString &filters, QString *selectedFilter,
                   const QString &folder)
    {
        fileTitles.append(title);
        fileFilters.append(filters);
        fileFolders.append(folder);
        offeredFilters.append(selectedFilter ? *selectedFilter : QString());
        if (selectedFilter && !selectedFilters.isEmpty())
            *selectedFilter = selectedFilters.dequeue();
    }
};
