#pragma once

#include <QList>
#include <QString>

class QDialog;
class QLineEdit;
class QListWidget;
class RowEditor;
class WindowHost;

// The find command: a window with a search field over every row of every page and sub-tab
// (caption, key, section, file, help text and value, without regard to letter case, "е" and "ё"
// alike) whose results follow the typing; Up and Down in the field move through the results; the
// row chosen from them is shown and selected as a click would. The rows keep the index the
// search runs on (Rows::find), so opening the window and each keystroke cost a search, not a
// reading of every row.
class Finder
{
public:
    Finder(WindowHost &host, RowEditor &rows);
    ~Finder();

    void FindClick();

    // Most results listed at once; the count says how many there are.
    static constexpr int MaxListed = 500;

private:
    void search(QDialog &window, QLineEdit &field, QListWidget &results);

    WindowHost &host_;
    RowEditor &rows_;
    QString lastQuery_; // offered again when the window opens next
};
