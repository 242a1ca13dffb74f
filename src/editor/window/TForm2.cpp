#include "editor/window/TForm2.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/window/AppInfo.h"

namespace {

constexpr int IconSize = 64;

QLabel *iconLabel(QWidget *parent, const char *name, const QIcon &icon, int left)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(icon.pixmap(IconSize, IconSize));
    label->setGeometry(left, 8, IconSize, IconSize);
    return label;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint)
{
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Помощь"));
    setFixedSize(289, 453);

    Image1 = iconLabel(this, "Image1", programIcon(), 8);
    Image2 = iconLabel(this, "Image2", QIcon(QStringLiteral(":/icons/settings-emblem-64.png")), 80);

    Label1 = new QLabel(QStringLiteral("B.R.A.N.V.I.K."), this);
    Label1->setObjectName("Label1");
    QFont nameFont = Label1->font();
    nameFont.setBold(true);
    nameFont.setUnderline(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    Label1->setFont(nameFont);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);
    Label1->setGeometry(152, 14, 129, 24);

    Label2 = new QLabel(QStringLiteral("Duskmere"), this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(152, 42, 129, 20);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setGeometry(8, 80, 273, 310);

    Label3 = new QLabel(this);
    Label3->setObjectName("Label3");
    Label3->setTextFormat(Qt::RichText);
    Label3->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    Label3->setGeometry(8, 396, 273, 18);

    Button1 = new QPushButton(QStringLiteral("ОК"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(107, 420, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}
