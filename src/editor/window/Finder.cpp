#include "editor/window/Finder.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalogue/Rows.h"
#include "editor/window/EditorRows.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

QString resultText(const WindowHost &host, int index)
{
    const CatalogueEntry &e = host.rows()[index].entry;
    return EditorRows::placeText(host, index) + QStringLiteral("    (") +
           cp1251::toUnicode(e.file) + QStringLiteral(", [") + cp1251::toUnicode(e.applySection) +
           QStringLiteral("] ") + cp1251::toUnicode(e.applyParam) + QLatin1Char(')');
}

// Up and Down in the search field move through the results (Page Up and Page Down too).
class ResultKeys : public QObject
{
public:
    ResultKeys(QListWidget *results, QObject *parent) : QObject(parent), results_(results) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_PageUp &&
            key != Qt::Key_PageDown)
            return false;
        QCoreApplication::sendEvent(results_, event);
        return true;
    }

private:
    QListWidget *results_;
};

} // namespace

Finder::Finder(WindowHost &host, RowEditor &rows) : host_(host), rows_(rows) {}

Finder::~Finder() = default;

void Finder::search(QDialog &window, QLineEdit &field, QListWidget &results)
{
    // Text Windows-1251 cannot hold matches no row.
    QByteArray query;
    const bool encodable = cp1251::fromUnicode(field.text(), &query);
    const QList<int> found = encodable ? host_.rows().find(query) : QList<int>();
    results.setUpdatesEnabled(false);
    results.clear();
    for (int i = 0; i < found.size() && i < MaxListed; ++i) {
        auto *item = new QListWidgetItem(resultText(host_, found[i]), &results);
        item->setData(Qt::UserRole, found[i]);
    }
    if (results.count() > 0)
        results.setCurrentRow(0);
    results.setUpdatesEnabled(true);
    if (auto *count = window.findChild<QLabel *>(QStringLiteral("FindCount")))
        count->setText(found.size() > MaxListed ? QStringLiteral("Найдено: %1 (показаны первые %2)")
                                                      .arg(found.size())
                                                      .arg(MaxListed)
                                                : QStringLiteral("Найдено: %1").arg(found.size()));
}

void Finder::FindClick()
{
    // Values are searched too: every row needs its value.
    EditorRows::readAll(host_);

    QDialog window(host_.window());
    window.setObjectName(QStringLiteral("FindWindow"));
    window.setWindowTitle(QStringLiteral("Поиск параметра"));
    window.resize(640, 420);
    auto *layout = new QVBoxLayout(&window);
    auto *prompt = new QLabel(
        QStringLiteral("Часть названия, параметра, секции, файла, текста помощи или значения:"),
        &window);
    auto *field = new QLineEdit(&window);
    field->setObjectName(QStringLiteral("FindText"));
    prompt->setBuddy(field);
    auto *results = new QListWidget(&window);
    results->setObjectName(QStringLiteral("FindResults"));
    // Results are one line each: the list lays out one, not hundreds, at every keystroke.
    results->setUniformItemSizes(true);
    auto *count = new QLabel(&window);
    count->setObjectName(QStringLiteral("FindCount"));
    auto *buttons = new QDialogButtonBox(&window);
    QPushButton *go = buttons->addButton(QStringLiteral("Перейти"), QDialogButtonBox::AcceptRole);
    go->setDefault(true);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    layout->addWidget(prompt);
    layout->addWidget(field);
    layout->addWidget(results);
    layout->addWidget(count);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    QObject::connect(results, &QListWidget::itemActivated, &window, &QDialog::accept);
    field->installEventFilter(new ResultKeys(results, &window));
    field->setText(lastQuery_);
    field->selectAll();
    QObject::connect(field, &QLineEdit::textChanged, &window,
                     [&] { search(window, *field, *results); });
    search(window, *field, *results);
    field->setFocus();

    const int result = host_.dialogs().exec(&window);
    lastQuery_ = field->text();
    if (result != QDialog::Accepted)
        return;
    const QListWidgetItem *chosen = results->currentItem();
    if (!chosen)
        return;
    EditorRows::select(host_, rows_, chosen->data(Qt::UserRole).toInt());
}
