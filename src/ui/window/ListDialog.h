#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QStringList>

class Dialogs;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

// A dialog of one list with columns above a row of buttons: the change list, the apply history
// and a tweak's review. Other widgets go above or below the list; the accept and reject roles
// close the dialog.
class ListDialog
{
public:
    ListDialog(QWidget *parent, const QString &name, const QString &title, QSize size,
               const QString &listName, const QStringList &columns);

    QDialog &window() { return window_; }
    QTreeWidget &list() { return *list_; }

    QPushButton *addButton(const QString &text, QDialogButtonBox::ButtonRole role,
                           const QString &name = {});
    void addAbove(QWidget *widget);
    void addBelow(QWidget *widget);

    // Fits the columns to what the list holds, then shows the dialog through dialogs.
    int exec(Dialogs &dialogs);

private:
    QDialog window_;
    QVBoxLayout *layout_;
    QTreeWidget *list_;
    QDialogButtonBox *buttons_;
};
