#include "catalogue/TForm4.h"

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form4");
    setWindowTitle(QStringLiteral("Вы уверены?"));
    setFixedSize(301, 109);
}
