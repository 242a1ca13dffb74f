#include "ui/window/Dialogs.h"

#include "ui/window/AppInfo.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

void QtDialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtDialogs::ask(QWidget *parent, const QString &text, const QStringList &answers)
{
    QMessageBox box(QMessageBox::Question, applicationTitle(), text, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> buttons;
    for (const QString &answer : answers)
        buttons.append(box.addButton(answer, QMessageBox::AcceptRole));
    if (!buttons.isEmpty())
        box.setEscapeButton(buttons.last());
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

QString QtDialogs::chooseFolder(QWidget *parent, const QString &title)
{
    const QString folder =
        QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return folder;
    // A root yields its root path; any other folder comes without a trailing separator.
    return folder == QDir::rootPath() ? folder : QDir::cleanPath(folder);
}

QString QtDialogs::openFileName(QWidget *parent, const QString &title, const QString &filters,
                                QString *selectedFilter, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filters, selectedFilter);
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &title, const QString &filters,
                                QString *selectedFilter, const QString &folder)
{
    return QFileDialog::getSaveFileName(parent, title, folder, filters, selectedFilter,
                                        QFileDialog::DontConfirmOverwrite);
}

std::optional<QColor> QtDialogs::chooseColor(QWidget *parent, const QColor &initial)
{
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

int QtDialogs::exec(QDialog *dialog)
{
    return dialog->exec();
}

bool QtDialogs::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
