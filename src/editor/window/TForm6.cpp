#include "editor/window/TForm6.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

namespace {

constexpr int Margin = 10;
constexpr int ButtonWidth = 70;
constexpr int ButtonHeight = 27;
constexpr int BelowPicture = 55; // window height beyond the picture's
constexpr int ButtonFromBottom = 25;

// Half of n, a half rounded to the even neighbour (301 gives 150, 303 gives 152).
int halfToEven(int n)
{
    const int half = n / 2;
    return (n % 2 != 0 && half % 2 != 0) ? half + 1 : half;
}

} // namespace

TForm6::TForm6(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName("Form6");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->hide();

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName("Button1");
    Button1->resize(ButtonWidth, ButtonHeight);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

QSize TForm6::largestPicture(const QSize &screen)
{
    return QSize(std::max(screen.width() - 2 * Margin, 1),
                 std::max(screen.height() - BelowPicture, 1));
}

void TForm6::setPicture(const QPixmap &picture)
{
    const int w = picture.width();
    const int h = picture.height();
    // A picture narrower than the button gets a window wide enough for the button, with the
    // picture centred above it; from the button's width on the window is the picture's width
    // plus the margins.
    const int inner = std::max(w, ButtonWidth);
    Image1->setPixmap(picture);
    Image1->setGeometry(Margin + (inner - w) / 2, Margin, w, h);
    Image1->show();
    setFixedSize(inner + 2 * Margin, h + BelowPicture);
    // Centred under the picture.
    Button1->move(Margin + halfToEven(inner) - ButtonWidth / 2, height() - ButtonFromBottom);
}
