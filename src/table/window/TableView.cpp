#include "table/window/TableView.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "table/TableApply.h"
#include "table/TableFormats.h"
#include "table/TablePage.h"
#include "table/window/GridModel.h"
#include "table/window/TForm7.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

const QString TableFileFilter = QStringLiteral("TableSave (*.tsv)");
const QString SpreadsheetFilter = QStringLiteral("Excel Table (*.xls)");

QString fileFilters()
{
    return TableFileFilter + QStringLiteral(";;") + SpreadsheetFilter;
}

// The name with the file type's suffix, unless it already ends with it.
QString withSuffix(const QString &name, const QString &suffix)
{
    return name.endsWith(suffix, Qt::CaseInsensitive) ? name : name + suffix;
}

} // namespace

TableView::TableView(WindowHost &host, TForm7 &form)
    : formats{saveTableFile, saveSpreadsheet, loadTableFile,
              [](const QString &path, GridCellStore &grid, QString *error, QString *notice) {
                  return importSpreadsheet(path, grid, error, notice);
              }},
      host_(host), form_(form), saveFilter_(TableFileFilter), openFilter_(TableFileFilter)
{
    form_.confirmCancel = [this] { return confirmCancel(); };
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
    const TablePage tablePage(host_.programFolder(), host_.gamedataFolder(),
                              host_.session().inheritance());
    if (!tablePage.isTableCapable(page)) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Эту вкладку невозможно представить в табличном виде!"));
        return;
    }
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Внимание! Это займет некоторое время! Пожалуйста, "
                                     "подождите!"));
    form_.beginChange();
    InheritedCells inherited;
    const TableLayout layout = tablePage.fill(page, form_.values(), form_.remainders(), &inherited);
    form_.endChange();
    QHash<quint64, GridModel::Inherited> greyed;
    for (auto it = inherited.cbegin(); it != inherited.cend(); ++it) {
        const int column = int(it.key() >> 32);
        const int row = int(it.key() & 0xFFFFFFFF);
        greyed.insert(it.key(), {form_.values().cell(column, row), cp1251::toUnicode(it->origin)});
    }
    form_.valueModel()->setInherited(std::move(greyed));
    if (layout.status != TableLayout::Status::Read) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Эта таблица слишком велика для показа.\n") +
                              layout.reason);
        return;
    }
    opened_ = form_.values();
    form_.fitColumns();
    form_.showFromStart();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form_.move(screen->availableGeometry().center() - form_.rect().center());
    const TableApply apply(host_.session(), layout.pageFilePath,
                           cp1251::toUnicode(tablePage.caption(page)).toUtf8());
    // Cancelling the review goes back to the grid with its edits. The apply writes the cells
    // the review listed, and no others.
    QList<TableCellChange> confirmed;
    for (;;) {
        if (host_.dialogs().exec(&form_) != QDialog::Accepted)
            return;
        QString error;
        confirmed = apply.changes(form_.values(), form_.remainders(), &error);
        if (!error.isEmpty()) {
            host_.showMessage(MessageKind::Always,
                              QStringLiteral("Таблица не применена.\n") + error);
            return;
        }
        if (review(confirmed))
            break;
    }
    const TableApplyReport report = apply.apply(confirmed);
    host_.showMessage(MessageKind::Always, report.message());
    // The rows of the main window show what the files hold now.
    if (report.written > 0)
        host_.ReloadClick();
}

int TableView::editedCells() const
{
    return form_.values().differingCells(opened_, 1, 1);
}

bool TableView::confirmCancel()
{
    const int edited = editedCells();
    if (edited == 0)
        return true;
    // A question, not a notice: asked at every message level.
    const int answer = host_.dialogs().ask(
        &form_, QStringLiteral("Изменённых ячеек: %1.\nПрименить их?").arg(edited),
        {QStringLiteral("Применить"), QStringLiteral("Не применять"), QStringLiteral("Отмена")});
    if (answer == 0) {
        form_.accept();
        return false;
    }
    return answer == 1;
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
                                   !c.absent ? cp1251::toUnicode(c.oldText)
                                   : c.origin.isEmpty()
                                       ? QStringLiteral("(нет в файле)")
                                       : cp1251::toUnicode(c.oldText) + QStringLiteral(" (") +
                                             cp1251::toUnicode(c.origin) + QLatin1Char(')'),
                                   cp1251::toUnicode(c.newText), cp1251::toUnicode(c.file)});
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
    // The file type chosen in the dialog decides the format; its suffix is added unless the
    // name ends with it, and the question is about the file really written.
    const bool spreadsheet = filter == SpreadsheetFilter;
    const QString path =
        withSuffix(name, spreadsheet ? QStringLiteral(".xls") : QStringLiteral(".tsv"));
    if (QFileInfo::exists(path) &&
        host_.dialogs().ask(
            &form_,
            QStringLiteral("Файл «%1» уже есть.\nЗаменить его?").arg(QFileInfo(path).fileName()),
            {QStringLiteral("Заменить"), QStringLiteral("Отмена")}) != 0)
        return;
    QString error;
    if (spreadsheet) {
        if (!formats.saveSpreadsheet(path, form_.values(), &error)) {
            message(QStringLiteral("Ошибка сохранения в Excel-формат!\n") + error);
            return;
        }
    } else if (!formats.saveTableFile(path, form_.values(), &error)) {
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
    // A name typed without the file type's suffix finds the file a save of that name wrote.
    QString path = name;
    if (!QFileInfo::exists(path)) {
        const QString suffixed = withSuffix(
            name, filter == SpreadsheetFilter ? QStringLiteral(".xls") : QStringLiteral(".tsv"));
        if (QFileInfo::exists(suffixed))
            path = suffixed;
    }
    // What the file is decides the reader, whatever file type the dialog had selected.
    const bool spreadsheet = isSpreadsheetFile(path, filter == SpreadsheetFilter);
    QString error;
    QString notice;
    form_.beginChange();
    const bool loaded = spreadsheet
                            ? formats.importSpreadsheet(path, form_.values(), &error, &notice)
                            : formats.loadTableFile(path, form_.values(), &error);
    form_.endChange();
    if (!loaded) {
        message((spreadsheet ? QStringLiteral("Ошибка импортирования!\n")
                             : QStringLiteral("Ошибка загрузки таблицы!\n")) +
                error);
        return;
    }
    message(QStringLiteral("Данные загружены!") +
            (notice.isEmpty() ? QString() : QLatin1Char('\n') + notice));
}
