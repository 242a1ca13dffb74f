#include "catalogue/window/TForm3.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include "catalogue/window/ScreenPlacement.h"

namespace {

constexpr int DesignWidth = 298;
constexpr int FieldRightMargin = 9;
constexpr int ButtonRightMargin = 7;
constexpr int TitleRightMargin = 8;

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
    pageList_ = new QScrollArea(this);
    pageList_->setObjectName("PageList");
    pageList_->setFrameShape(QFrame::NoFrame);
    pageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageList_->hide();
}

void TForm3::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        fitTitles();
        fitPageListToScreen();
        ScreenPlacement::centre(this);
    }
    if (!visible)
        pageList_->hide();
    QDialog::setVisible(visible);
}

void TForm3::fitTitles()
{
    // The fonts of the desktop may be wider than the design's: the dialog grows with its titles
    // (and the page list's check boxes), up to the screen's width.
    int needed = DesignWidth;
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!w->isHidden() && (qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w))) {
            w->adjustSize();
            needed = qMax(needed, w->x() + w->width() + TitleRightMargin);
        }
    }
    const QRect screen = ScreenPlacement::available(this);
    const int width = screen.isEmpty() ? needed : qMin(needed, screen.width());
    setFixedSize(width, height());
    for (QLineEdit *field : {Edit1, Edit2, Edit3, Edit5, Edit6}) {
        field->resize(width - field->x() - FieldRightMargin, field->height());
        // A long text shows from its beginning, not from its end.
        field->setCursorPosition(0);
    }
    Button2->move(width - Button2->width() - ButtonRightMargin, Button2->y());
}

void TForm3::fitPageListToScreen()
{
    // The page list puts its check boxes on the dialog itself, one per page; with many pages
    // they go into a scrolling area that leaves the buttons on the screen.
    QList<QCheckBox *> checks;
    for (QCheckBox *check : findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly))
        if (!check->isHidden())
            checks.append(check);
    const QRect screen = ScreenPlacement::available(this);
    const int room = screen.height() - ScreenPlacement::titleBarHeight(this);
    if (checks.isEmpty() || screen.isEmpty() || height() <= room)
        return;
    const int listBottom = Button1->y();
    const int below = height() - listBottom;
    const int listHeight = qMax(room - below, 2 * below);
    auto *list = new QWidget;
    list->resize(width() - pageList_->verticalScrollBar()->sizeHint().width(), listBottom);
    for (QCheckBox *check : std::as_const(checks)) {
        check->setParent(list);
        check->show();
    }
    pageList_->setWidget(list); // the previous list, emptied by its command, goes
    pageList_->setGeometry(0, 0, width(), listHeight);
    pageList_->show();
    Button1->move(Button1->x(), listHeight);
    Button2->move(Button2->x(), listHeight);
    setFixedSize(width(), listHeight + below);
}
