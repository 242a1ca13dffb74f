#pragma once

#include <QDialog>

// The help window: the program's about box and user help.
class TForm2 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};
