#pragma once

#include <QDialog>

// The table view of a catalogue page: one instance, reused for every table view.
class TForm7 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
};
