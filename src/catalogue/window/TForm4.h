#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The confirmation dialog of the catalogue commands: the question goes into Label1. Button1
// accepts, Button2 rejects.
class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    QLabel *Label1, *Label2;
    QPushButton *Button1, *Button2;

    // Opens centred on the screen.
    void setVisible(bool visible) override;
};
