#include "ui/window/ListDialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/window/Dialogs.h"

ListDialog::ListDialog(QWidget *parent, const QString &name, const QString &title, QSize size,
                       const QString &listName, const QStringList &columns)
    : window_(parent), layout_(new QVBoxLayout(&window_)), list_(new QTreeWidget(&window_)),
      buttons_(new QDialogButtonBox(&window_))
{
    window_.setObjectName(name);
    window_.setWindowTitle(title);
    window_.resize(size);
    list_->setObjectName(listName);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels(columns);
    layout_->addWidget(list_);
    layout_->addWidget(buttons_);
    QObject::connect(buttons_, &QDialogButtonBox::accepted, &window_, &QDialog::accept);
    QObject::connect(buttons_, &QDialogButtonBox::rejected, &window_, &QDialog::reject);
}

QPushButton *ListDialog::addButton(const QString &text, QDialogButtonBox::ButtonRole role,
                                   const QString &name)
{
    QPushButton *button = buttons_->addButton(text, role);
    if (!name.isEmpty())
        button->setObjectName(name);
    return button;
}

void ListDialog::addAbove(QWidget *widget)
{
    layout_->insertWidget(layout_->indexOf(list_), widget);
}

void ListDialog::addBelow(QWidget *widget)
{
    layout_->insertWidget(layout_->indexOf(buttons_), widget);
}

int ListDialog::exec(Dialogs &dialogs)
{
    list_->header()->resizeSections(QHeaderView::ResizeToContents);
    return dialogs.exec(&window_);
}
