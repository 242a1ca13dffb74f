#include "catalogue/TForm3.h"

TForm3::TForm3(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form3");
    setWindowTitle(QStringLiteral("Свойства"));
    setFixedSize(298, 348);
}
