#pragma once

#include <QDialog>

class QLabel;
class QPixmap;
class QPushButton;

// The picture viewer of a sub-tab's picture: the picture on black, framed by a 10-pixel margin,
// and an OK button centred below it.
class TForm6 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QPushButton *Button1 = nullptr;

    // Shows the picture in Image1 and sizes the window and places the button around it.
    void setPicture(const QPixmap &picture);
    // The largest picture whose window fits a screen area of the given size.
    static QSize largestPicture(const QSize &screen);
};
