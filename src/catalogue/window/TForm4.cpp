#include "catalogue/window/TForm4.h"

#include <QLabel>
#include <QPushButton>

#include "catalogue/window/ScreenPlacement.h"

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form4");
    setWindowTitle(QStringLiteral("Вы уверены?"));
    setFixedSize(301, 109);
    Label1 = new QLabel(QStringLiteral("Сообщение!"), this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 32, 285, 16);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(8, 48, 285, 16);
    Button1 = new QPushButton(QStringLiteral("ОК"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(8, 72, 137, 25);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(152, 72, 139, 27);
    Button2->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm4::setVisible(bool visible)
{
    if (visible && !isVisible())
        ScreenPlacement::centre(this);
    QDialog::setVisible(visible);
}
