#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

// The entry properties dialog; the add-entry command and the page list borrow it in layouts of
// their own and put it back afterwards. Button1 accepts, Button2 rejects.
class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    QLabel *Label8, *Label9;                            // "Вкладка: ", "Позиция: "
    QLabel *Label1, *Label2, *Label3, *Label6, *Label7; // titles of the fields
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit5, *Edit6;   // file, section, key, caption, help
    QPushButton *Button1, *Button2;

    // Before showing: widens the dialog until every title fits, shows the fields from their
    // first character, puts a page list too high for the screen into a scrolling area, and
    // centres the dialog on the screen.
    void setVisible(bool visible) override;

private:
    void fitTitles();
    void fitPageListToScreen();

    QScrollArea *pageList_ = nullptr; // shown only for a page list higher than the screen
};
