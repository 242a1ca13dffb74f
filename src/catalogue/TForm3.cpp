#include "catalogue/TForm3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QLineEdit *edit(QWidget *parent, const char *name, int top)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(8, top, 281, 21);
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

} // namespace

TForm3::TForm3(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form3");
    setWindowTitle(QStringLiteral("Свойства"));
    setFixedSize(298, 348);
    Label8 = label(this, "Label8", QStringLiteral("Вкладка: "), 8, 32);
    Label9 = label(this, "Label9", QStringLiteral("Позиция: "), 8, 48);
    Label1 = label(this, "Label1", QStringLiteral("Файл (относительно gamedata)"), 8, 72);
    Edit1 = edit(this, "Edit1", 88);
    Label2 = label(this, "Label2",
                   QStringLiteral("Секция (указывается в [] выше параметра (ближайшая))"), 8, 120);
    Edit2 = edit(this, "Edit2", 136);
    Label3 = label(this, "Label3", QStringLiteral("Параметр"), 8, 168);
    Edit3 = edit(this, "Edit3", 184);
    Label6 = label(this, "Label6", QStringLiteral("Заголовок (пишется в программе)"), 8, 216);
    Edit5 = edit(this, "Edit5", 232);
    Label7 = label(this, "Label7", QStringLiteral("Помощь"), 8, 264);
    Edit6 = edit(this, "Edit6", 280);
    Button1 = button(this, "Button1", QStringLiteral("ПРИМЕНИТЬ"), QRect(8, 312, 83, 27));
    Button2 = button(this, "Button2", QStringLiteral("Закрыть"), QRect(216, 312, 75, 27));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
