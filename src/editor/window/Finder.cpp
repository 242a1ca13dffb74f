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

#include "editor/window/ValueBox.h"
#include "gamefiles/ParameterSearch.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"
#include "ui/window/RowData.h"
#include "ui/window/WindowHost.h"

namespace {

QString resultText(const EditorRow &row)
{
    return row.page + QStringLiteral(" › ") + row.subTab + QStringLiteral(" › ") +
           cp1251::toUnicode(row.caption) + QStringLiteral("    (") + cp1251::toUnicode(row.file) +
           QStringLiteral(", [") + cp1251::toUnicode(row.section) + QStringLiteral("] ") +
           cp1251::toUnicode(row.key) + QLatin1Char(')');
}

// "ё" and "Ё" read as "е" and "Е": a user who types one means both.
QByteArray withoutYo(QByteArray text)
{
    for (char &c : text) {
        if (c == '\xB8')
            c = '\xE5';
        else if (c == '\xA8')
            c = '\xC5';
    }
    return text;
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

void Finder::search(QDialog &window, QLineEdit &field, QListWidget &results,
                    const QList<EditorRow> &rows, const ParameterSearch &index)
{
    // Text Windows-1251 cannot hold matches no row.
    QByteArray query;
    const bool encodable = cp1251::fromUnicode(field.text(), &query);
    const QList<int> found = encodable ? index.find(withoutYo(query)) : QList<int>();
    results.setUpdatesEnabled(false);
    results.clear();
    for (int i = 0; i < found.size() && i < MaxListed; ++i) {
        auto *item = new QListWidgetItem(resultText(rows[found[i]]), &results);
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
    const QList<EditorRow> rows = EditorRows::collect(host_);
    ParameterSearch index;
    const QList<RowData> &data = host_.rowData();
    for (const EditorRow &row : rows) {
        // What the row shows: its box once built, else the value last read, with the origin of
        // an inherited one.
        const RowData &d = data.at(row.index);
        const ValueBox *box = d.built ? host_.find<ValueBox>(d.name) : nullptr;
        const QByteArray value =
            box ? cp1251::encode(box->text() + QLatin1Char(' ') + box->inheritedFrom())
                : d.value.text + (d.value.inherited ? ' ' + d.value.origin : QByteArray());
        index.add({withoutYo(row.caption), withoutYo(row.key), withoutYo(row.section),
                   withoutYo(row.file), withoutYo(row.help), withoutYo(value)});
    }

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
                     [&] { search(window, *field, *results, rows, index); });
    search(window, *field, *results, rows, index);
    field->setFocus();

    const int result = host_.dialogs().exec(&window);
    lastQuery_ = field->text();
    if (result != QDialog::Accepted)
        return;
    const QListWidgetItem *chosen = results->currentItem();
    if (!chosen)
        return;
    const EditorRow &row = rows[chosen->data(Qt::UserRole).toInt()];
    EditorRows::select(host_, rows_, row.index);
}
