#include "app/window/TForm5.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
constexpr qint64 RepaintIntervalMs = 50;
}

TForm5::TForm5(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("Загрузка"));
    setFixedSize(228, 80);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    setPalette(pal);

    auto label = [this](const char *name, int top, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        l->move(8, top);
        l->resize(212, 16);
        return l;
    };
    Label1 = label("Label1", 8, QStringLiteral("Пожалуйста, подождите. Идет загрузка..."));
    Label2 = label("Label2", 32, QStringLiteral("Загружено параметров:"));
    Label3 = label("Label3", 56, QStringLiteral("0"));

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm5::setCount(int n)
{
    if (sinceRepaint_.isValid() && sinceRepaint_.elapsed() < RepaintIntervalMs)
        return;
    Label3->setText(QString::number(n));
    repaintNow();
}

void TForm5::repaintNow()
{
    if (isVisible())
        repaint();
    sinceRepaint_.start();
}
