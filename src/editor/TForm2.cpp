#include "editor/TForm2.h"

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Помощь"));
    setFixedSize(289, 453);
}
