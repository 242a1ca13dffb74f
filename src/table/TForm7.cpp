#include "table/TForm7.h"

TForm7::TForm7(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form7");
    setWindowTitle(QStringLiteral("Табличный вид"));
    setFixedSize(690, 469);
}
