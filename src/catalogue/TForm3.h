#pragma once

#include <QDialog>

// The entry properties dialog; it also serves the add-entry command and the page list.
class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};
