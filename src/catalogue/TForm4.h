#pragma once

#include <QDialog>

// The confirmation dialog of the catalogue commands.
class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};
