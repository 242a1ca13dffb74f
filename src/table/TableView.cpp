#include "table/TableView.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "settings/ProgramSettings.h"
#include "table/TForm7.h"
#include "table/TableApply.h"
#include "table/TableFormats.h"
#include "table/TablePage.h"
#include "textcodec/Cp1251.h"
#include "ui/DataSlots.h"
#include "ui/Dialogs.h"
#include "ui/WindowHost.h"

namespace {

const QString TableFileFilter = QStringLiteral("TableSave (*.tsv)");
const QString SpreadsheetFilter = QStringLiteral("Excel Table (*.xls)");

QString fileFilters()
{
    return TableFileFilter + QStringLiteral(";;") + SpreadsheetFilter;
}

} // namespace

TableView::TableView(WindowHost &host, TForm7 &form)
    : formats{saveTableFile, saveSpreadsheet, loadTableFile, importSpreadsheet}, host_(host),
      form_(form), saveFilter_(TableFileFilter), openFilter_(TableFileFilter)
{
    QObject::connect(&form_, &TForm7::saveClicked, host_.window(), [this] { save(); });
    QObject::connect(&form_, &TForm7::loadClicked, host_.window(), [this] { load(); });
    QObject::connect(&form_, &TForm7::textRefused, host_.window(), [this](const QString &) {
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("Текст не принят: в нём есть символы, которых нет в "
                                         "кодировке файлов игры (Windows-1251)."));
    });
}

void TableView::message(const QString &text)
{
    host_.dialogs().message(&form_, text);
}

void TableView::N21Click()
{
    open(dataslot::tag(host_.find<QAction>(QStringLiteral("N11"))));
}

void TableView::ButTablClick(QPushButton *button)
{
    // The page and the sub-tab become the current selection, as a click into a row makes them.
    dataslot::setTag(host_.find<QAction>(QStringLiteral("N11")), dataslot::hint(button).toInt());
    dataslot::setTag(host_.find<QAction>(QStringLiteral("N13")), dataslot::tag(button));
    N21Click();
}

void TableView::open(int page)
{
    const TablePage tablePage(host_.programFolder(), host_.gamedataFolder());
    if (!tablePage.isTableCapable(page)) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Эту вкладку невозможно представить в табличном виде!"));
        return;
    }
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Внимание! Это займет некоторое время! Пожалуйста, "
                                     "подождите!"));
    form_.beginChange();
    const TableLayout layout = tablePage.fill(page, form_.values(), form_.remainders());
    form_.endChange();
    if (layout.status != TableLayout::Status::Read) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Эта таблица слишком велика для показа.\n") +
                              layout.reason);
        return;
    }
    form_.fitColumns();
    form_.showFromStart();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form_.move(screen->availableGeometry().center() - form_.rect().center());
    const ProgramSettings &s = host_.settings();
    const TableApply apply(
        WriteTarget{host_.gamedataFolder(), s.duplicationOn(), s.duplicationFolder},
        layout.pageFilePath);
    // Cancelling the review goes back to the grid with its edits.
    do {
        if (host_.dialogs().exec(&form_) != QDialog::Accepted)
            return;
    } while (!review(apply.changes(form_.values(), form_.remainders())));
    host_.showMessage(MessageKind::Always,
                      apply.apply(form_.values(), form_.remainders()).message());
}

bool TableView::review(const QList<TableCellChange> &changes)
{
    if (changes.isEmpty())
        return true;
    QDialog window(&form_);
    window.setObjectName(QStringLiteral("TableReview"));
    window.setWindowTitle(QStringLiteral("Проверка перед записью"));
    window.resize(640, 400);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(
        QStringLiteral("Будут записаны в файлы игры ячейки: %1").arg(changes.size()), &window));
    auto *list = new QTreeWidget(&window);
    list->setObjectName(QStringLiteral("ReviewList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Вкладка"), QStringLiteral("Параметр"),
                           QStringLiteral("Было"), QStringLiteral("Станет"),
                           QStringLiteral("Файл")});
    for (const TableCellChange &c : changes)
        new QTreeWidgetItem(list, {cp1251::toUnicode(c.subTab), cp1251::toUnicode(c.caption),
                                   cp1251::toUnicode(c.oldText), cp1251::toUnicode(c.newText),
                                   cp1251::toUnicode(c.file)});
    list->header()->resizeSections(QHeaderView::ResizeToContents);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(&window);
    buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Вернуться к таблице"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    return host_.dialogs().exec(&window) == QDialog::Accepted;
}

void TableView::setTableMode(int mode)
{
    QString error;
    // The check marks say what the next start does: writing the setting sets them to the file.
    if (!host_.writeSetting(settingkeys::TableMode, QByteArray::number(mode), &error)) {
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("Табличный режим не сохранён.\n") + error);
        return;
    }
    if (mode == 1)
        host_.showMessage(MessageKind::Information,
                          QStringLiteral("Внимание! Преимущества - намного более быстрая "
                                         "загрузка параметров; Недостаток - не все вкладки могут "
                                         "быть представлены в виде таблицы"));
}

void TableView::N27Click()
{
    setTableMode(1);
}

void TableView::N28Click()
{
    setTableMode(0);
}

void TableView::save()
{
    QString filter = saveFilter_;
    const QString name = host_.dialogs().saveFileName(
        &form_, QStringLiteral("Выберите файл для сохранения"), fileFilters(), &filter);
    if (name.isEmpty())
        return;
    saveFilter_ = filter;
    QString error;
    // The file type chosen in the dialog decides the format, and its suffix is always added.
    if (filter == SpreadsheetFilter) {
        if (!formats.saveSpreadsheet(name + QStringLiteral(".xls"), form_.values(), &error)) {
            message(QStringLiteral("Ошибка сохранения в Excel-формат!\n") + error);
            return;
        }
    } else if (!formats.saveTableFile(name + QStringLiteral(".tsv"), form_.values(), &error)) {
        message(QStringLiteral("Ошибка сохранения таблицы!\n") + error);
        return;
    }
    message(QStringLiteral("Данные сохранены!"));
}

void TableView::load()
{
    QString filter = openFilter_;
    const QString name = host_.dialogs().openFileName(
        &form_, QStringLiteral("Выберите файл для загрузки"), fileFilters(), &filter);
    if (name.isEmpty())
        return;
    openFilter_ = filter;
    QString error;
    form_.beginChange();
    const bool spreadsheet = filter == SpreadsheetFilter;
    const bool loaded = spreadsheet ? formats.importSpreadsheet(name, form_.values(), &error)
                                    : formats.loadTableFile(name, form_.values(), &error);
    form_.endChange();
    if (!loaded) {
        message((spreadsheet ? QStringLiteral("Ошибка импортирования!\n")
                             : QStringLiteral("Ошибка загрузки таблицы!\n")) +
                error);
        return;
    }
    message(QStringLiteral("Данные загружены!"));
}
