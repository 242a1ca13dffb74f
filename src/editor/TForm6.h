#pragma once

#include <QDialog>

// The picture viewer of a sub-tab's picture.
class TForm6 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);
};
