#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The help window: the program's about box and user help.
class TForm2 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr; // the program's icon
    QLabel *Image2 = nullptr;
    QLabel *Label1 = nullptr; // the game's name
    QLabel *Label2 = nullptr;
    QPlainTextEdit *Memo1 = nullptr; // the user help, read-only
    QLabel *Label3 = nullptr;        // the link to the user guide
    QPushButton *Button1 = nullptr;
};
