#include "catalogue/CatalogueEditor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "catalogue/CatalogueFormat.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/TForm3.h"
#include "catalogue/TForm4.h"
#include "profile/ProfileFile.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/DataSlots.h"
#include "ui/Dialogs.h"
#include "ui/RowNames.h"
#include "ui/WindowHost.h"

using namespace CatalogueFormat;
using RowNames::Part;

namespace {

// Shown in the properties dialog for a key the entry lacks; never written back unless typed.
const QByteArray MissingKey = cp1251::encode(QStringLiteral("ОШИБКА!"));
// Read as the value of a key that is not there (no key holds a control character).
const QByteArray Absent = "\x01";
// A deleted row keeps this property, so the commands refuse it afterwards.
const char DeletedProperty[] = "catalogueEntryDeleted";

// The entry keys in the order of the properties dialog's fields.
const char *const FieldKeys[5] = {EntryFileSuffix, SectionSuffix, ParamSuffix, CaptionSuffix,
                                  HelpSuffix};
// The order in which a deleted entry's followers move up.
const char *const MoveOrder[5] = {CaptionSuffix, EntryFileSuffix, SectionSuffix, ParamSuffix,
                                  HelpSuffix};

// A value as a key's line must hold it to be read back exactly: blanks around it and a pair of
// quotes around it survive only inside quotes.
QByteArray quotedIfNeeded(const QByteArray &value)
{
    const bool outerBlanks = !value.isEmpty() && (value.front() == ' ' || value.front() == '\t' ||
                                                  value.back() == ' ' || value.back() == '\t');
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return outerBlanks || quoted ? " '" + value + "'" : value;
}

// Puts the dialog's geometry, texts and visibility back when the command ends, however it ends.
class DialogLayout
{
public:
    explicit DialogLayout(QDialog &dialog)
        : dialog_(dialog), size_(dialog.size()), title_(dialog.windowTitle())
    {
        for (QWidget *w : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const auto *b = qobject_cast<QPushButton *>(w);
            controls_.append({w, w->geometry(), w->isHidden(), b ? b->text() : QString()});
        }
    }
    ~DialogLayout()
    {
        for (const Control &c : std::as_const(controls_)) {
            if (!c.widget)
                continue;
            c.widget->setGeometry(c.geometry);
            c.widget->setHidden(c.hidden);
            if (auto *b = qobject_cast<QPushButton *>(c.widget.data()))
                b->setText(c.text);
        }
        dialog_.setFixedSize(size_);
        dialog_.setWindowTitle(title_);
    }

private:
    struct Control
    {
        QPointer<QWidget> widget;
        QRect geometry;
        bool hidden;
        QString text;
    };
    QDialog &dialog_;
    QSize size_;
    QString title_;
    QList<Control> controls_;
};

} // namespace

struct CatalogueEditor::Target
{
    ProfileFile pageFile;
    QByteArray section;
};

CatalogueEditor::CatalogueEditor(WindowHost &host, TForm3 &properties, TForm4 &confirmation,
                                 EntryExamples &examples)
    : host_(host), form3_(properties), form4_(confirmation), examples_(examples)
{
}

CatalogueEditor::~CatalogueEditor() = default;

QAction *CatalogueEditor::item(const char *name) const
{
    return host_.find<QAction>(QLatin1String(name));
}

// --- the selected entry

std::optional<CatalogueEditor::Target> CatalogueEditor::target()
{
    const QString boxName = QString::fromLatin1(dataslot::hint(item("N9")));
    const int page = dataslot::tag(item("N11"));
    if (boxName.isEmpty() || page <= 0) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Сначала выберите параметр: щёлкните по его значению."));
        return std::nullopt;
    }
    const QObject *box = host_.findComponent(boxName);
    if (box && box->property(DeletedProperty).toBool()) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Этот параметр уже удалён. Выберите другой параметр."));
        return std::nullopt;
    }
    const ProfileFile index(indexPath(host_.programFolder()));
    Target t{
        ProfileFile(pageFilePath(
            host_.programFolder(),
            index.readString(GlobalPagesSection, numberedKey(page, FileSuffix), DefaultPageFile))),
        {}};
    const int subTab = dataslot::tag(item("N13"));
    t.section = t.pageFile.readString(PagesSection, numberedKey(subTab), Absent);
    if (t.section == Absent) {
        // Entries written to a made-up section would never show.
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("В файле %1 нет вкладки %2 в разделе [Pages]: каталог "
                                         "не изменён.")
                              .arg(t.pageFile.diskPath())
                              .arg(subTab));
        return std::nullopt;
    }
    return t;
}

bool CatalogueEditor::write(ProfileFile &file, const QByteArray &section, const QByteArray &key,
                            const QByteArray &value)
{
    QString error;
    if (file.writeString(section, key, value, &error))
        return true;
    writeFailed(error);
    return false;
}

bool CatalogueEditor::remove(ProfileFile &file, const QByteArray &section, const QByteArray &key)
{
    QString error;
    if (file.deleteKey(section, key, &error))
        return true;
    writeFailed(error);
    return false;
}

void CatalogueEditor::writeFailed(const QString &error)
{
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Каталог не изменён до конца: запись не удалась.\n") + error);
}

bool CatalogueEditor::fieldTexts(QByteArray (&out)[5])
{
    const QLineEdit *fields[5] = {form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5,
                                  form3_.Edit6};
    const QLabel *titles[5] = {form3_.Label1, form3_.Label2, form3_.Label3, form3_.Label6,
                               form3_.Label7};
    for (int i = 0; i < 5; ++i) {
        if (!cp1251::fromUnicode(fields[i]->text(), &out[i])) {
            host_.showMessage(MessageKind::Always,
                              QStringLiteral("Каталог не изменён: в поле «%1» есть символы, "
                                             "которых нет в кодировке Windows-1251.")
                                  .arg(titles[i]->text()));
            return false;
        }
    }
    return true;
}

// --- entry commands

void CatalogueEditor::N9Click()
{
    std::optional<Target> t = target();
    if (!t)
        return;
    const int number = dataslot::tag(item("N9"));
    form3_.Label8->setText(QStringLiteral("Вкладка: ") + cp1251::toUnicode(t->section));
    form3_.Label8->adjustSize();
    form3_.Label9->setText(QStringLiteral("Позиция: ") + QString::number(number));
    form3_.Label9->adjustSize();
    QLineEdit *fields[5] = {form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5, form3_.Edit6};
    QByteArray shown[5];
    for (int i = 0; i < 5; ++i) {
        shown[i] =
            t->pageFile.readString(t->section, numberedKey(number, FieldKeys[i]), MissingKey);
        fields[i]->setText(cp1251::toUnicode(shown[i]));
    }
    if (host_.dialogs().exec(&form3_) != QDialog::Accepted)
        return;
    QByteArray texts[5];
    if (!fieldTexts(texts))
        return;
    // Only what the user changed is written: a key the entry lacks stays absent instead of
    // becoming "ОШИБКА!", and untouched lines keep their bytes. The quotes keep blanks around
    // the text.
    for (int i = 0; i < 5; ++i) {
        if (texts[i] != shown[i] &&
            !write(t->pageFile, t->section, numberedKey(number, FieldKeys[i]),
                   " '" + texts[i] + "'"))
            return;
    }
    host_.showMessage(
        MessageKind::Information,
        QStringLiteral("Изменения приняты, но для отображения их на главном окне необходимо "
                       "перезагрузить программу. Вы также можете продолжить и перезагрузить "
                       "программу по завершению редактирования всех нужных вам параметров!"));
}

void CatalogueEditor::N11Click()
{
    // Nothing to fill in without a sub-tab to add to.
    if (!target())
        return;
    QByteArray texts[5];
    bool accepted = false;
    {
        DialogLayout restore(form3_);
        form3_.setWindowTitle(QStringLiteral("Добавить параметр:"));
        form3_.Label8->hide();
        form3_.Label9->hide();
        for (QWidget *w : std::initializer_list<QWidget *>{
                 form3_.Label1, form3_.Label2, form3_.Label3, form3_.Label6, form3_.Label7,
                 form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5, form3_.Edit6,
                 form3_.Button1, form3_.Button2})
            w->move(w->x(), w->y() - 40);
        form3_.setFixedSize(form3_.width(), form3_.height() - 40);
        form3_.Button1->setText(QStringLiteral("ДОБАВИТЬ"));
        form3_.Edit1->setText(cp1251::toUnicode(examples_.file));
        form3_.Edit2->setText(cp1251::toUnicode(examples_.section));
        form3_.Edit3->setText(cp1251::toUnicode(examples_.key));
        form3_.Edit5->setText(cp1251::toUnicode(examples_.caption));
        form3_.Edit6->setText(cp1251::toUnicode(examples_.help));
        accepted = host_.dialogs().exec(&form3_) == QDialog::Accepted;
    }
    // The fields are offered again next time, also after a cancel.
    examples_ = {cp1251::encode(form3_.Edit1->text()), cp1251::encode(form3_.Edit2->text()),
                 cp1251::encode(form3_.Edit3->text()), cp1251::encode(form3_.Edit5->text()),
                 cp1251::encode(form3_.Edit6->text())};
    if (!accepted || !fieldTexts(texts))
        return;
    std::optional<Target> t = target();
    if (!t)
        return;
    const int count = qMax(t->pageFile.readInteger(t->section, CountKey, 0), 0);
    const int number = count + 1;
    // texts: file, section, key, caption, help; written caption first, as typed (quoted only
    // where blanks or quotes around the text would be lost otherwise).
    const std::pair<const char *, const QByteArray &> keys[5] = {{CaptionSuffix, texts[3]},
                                                                 {EntryFileSuffix, texts[0]},
                                                                 {SectionSuffix, texts[1]},
                                                                 {ParamSuffix, texts[2]},
                                                                 {HelpSuffix, texts[4]}};
    for (const auto &[suffix, text] : keys)
        if (!write(t->pageFile, t->section, numberedKey(number, suffix), quotedIfNeeded(text)))
            return;
    if (!write(t->pageFile, t->section, CountKey, QByteArray::number(number)))
        return;
    // Rows after the new one get other running numbers at the next start: positions saved under
    // the old names would land on other rows.
    item("N14")->setChecked(true);
    host_.showMessage(MessageKind::Information,
                      QStringLiteral("Этот параметр добавлен в конце выбранной вкладки! Для "
                                     "отображения его на вкладке перезапустите программу. Вы "
                                     "также можете продолжить редактирование!"));
}

void CatalogueEditor::N13Click()
{
    // Nothing to ask about without a row that can be deleted.
    if (!target())
        return;
    form4_.Label1->setText(QStringLiteral("Вы хотите удалить параметр?"));
    if (host_.dialogs().exec(&form4_) != QDialog::Accepted)
        return;
    std::optional<Target> t = target();
    if (!t)
        return;
    const int number = dataslot::tag(item("N9"));
    for (const char *suffix : MoveOrder)
        if (!remove(t->pageFile, t->section, numberedKey(number, suffix)))
            return;
    const int count = t->pageFile.readInteger(t->section, CountKey, 0);
    for (int m = number + 1; m <= count; ++m) {
        for (const char *suffix : MoveOrder) {
            const QByteArray value =
                t->pageFile.readString(t->section, numberedKey(m, suffix), Absent);
            const QByteArray key = numberedKey(m - 1, suffix);
            // A key the follower lacks stays absent under its new number.
            const bool ok = value == Absent
                                ? remove(t->pageFile, t->section, key)
                                : write(t->pageFile, t->section, key, quotedIfNeeded(value));
            if (!ok)
                return;
        }
    }
    if (count > number)
        for (const char *suffix : MoveOrder)
            if (!remove(t->pageFile, t->section, numberedKey(count, suffix)))
                return;
    // A count below the entry's number does not list it: the entries it lists stay.
    if (number <= count || count <= 0) {
        const int left = t->pageFile.readInteger(t->section, CountKey, 1);
        if (left == 0)
            host_.showMessage(MessageKind::Always, QStringLiteral("Эта вкладка уже пуста!"));
        else if (!write(t->pageFile, t->section, CountKey, QByteArray::number(left - 1)))
            return;
    }
    hideDeletedRow(*t, number);
    item("N14")->setChecked(true);
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Данные удалены! После удаления всех нужных данных "
                                     "перезапустите программу для обновление позиций!"));
}

void CatalogueEditor::hideDeletedRow(const Target &t, int number)
{
    for (const char *name : {"N9", "N11", "N13"}) {
        if (auto *w = host_.find<QWidget>(QString::fromLatin1(dataslot::hint(item(name)))))
            w->hide();
    }
    if (QObject *box = host_.findComponent(QString::fromLatin1(dataslot::hint(item("N9")))))
        box->setProperty(DeletedProperty, true);
    renumberRowsAfter(t, number);
}

// The rows of the same section below the deleted entry now stand for the entry one number
// lower: their numbers follow, so the commands keep acting on the entry each row shows.
void CatalogueEditor::renumberRowsAfter(const Target &t, int number)
{
    const QByteArray wanted =
        cp1251::foldCase(t.pageFile.path()) + '\0' + cp1251::foldCase(t.section);
    const ProfileFile index(indexPath(host_.programFolder()));
    QHash<QPair<int, int>, QByteArray> sections;
    for (const QPointer<QObject> &component : host_.components()) {
        QObject *box = component.data();
        if (!box || dataslot::tag(box) <= number || box->property(DeletedProperty).toBool())
            continue;
        const QString name = box->objectName();
        const bool trade = RowNames::isTradeBox(name);
        if (!trade && (!RowNames::isOrdinaryBox(name) ||
                       !host_.findComponent(RowNames::sibling(name, Part::Caption))))
            continue;
        const int page = dataslot::tag(
            host_.findComponent(RowNames::sibling(name, trade ? Part::TradeApply : Part::Apply)));
        const int subTab = dataslot::tag(
            host_.findComponent(RowNames::sibling(name, trade ? Part::TradeCheck : Part::Caption)));
        const QPair<int, int> where(page, subTab);
        auto it = sections.find(where);
        if (it == sections.end()) {
            const ProfileFile pageFile(
                pageFilePath(host_.programFolder(),
                             index.readString(GlobalPagesSection, numberedKey(page, FileSuffix),
                                              DefaultPageFile)));
            it = sections.insert(where, cp1251::foldCase(pageFile.path()) + '\0' +
                                            cp1251::foldCase(pageFile.readString(
                                                PagesSection, numberedKey(subTab), Absent)));
        }
        if (*it == wanted)
            dataslot::setTag(box, dataslot::tag(box) - 1);
    }
}

// --- which pages are shown

void CatalogueEditor::N18Click()
{
    ProfileFile index(indexPath(host_.programFolder()));
    const int count = index.readInteger(GlobalPagesSection, CountKey, 0);
    if (count > CatalogueReader::MaxCount) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("В файле %1 указано слишком много вкладок: %2.")
                              .arg(index.diskPath())
                              .arg(count));
        return;
    }
    QList<QCheckBox *> boxes;
    QList<bool> wasOn;
    bool accepted = false;
    {
        DialogLayout restore(form3_);
        for (QWidget *w : std::initializer_list<QWidget *>{
                 form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5, form3_.Edit6,
                 form3_.Label1, form3_.Label2, form3_.Label3, form3_.Label6, form3_.Label7,
                 form3_.Label8, form3_.Label9})
            w->hide();
        int height = 60;
        int buttonsTop = 25;
        for (int p = 1; p <= count; ++p) {
            auto *check = new QCheckBox(
                cp1251::toUnicode(index.readString(GlobalPagesSection, numberedKey(p), "0")),
                &form3_);
            check->setObjectName(QStringLiteral("NAME_CHBOX_%1").arg(p));
            check->move(8, p * 25);
            check->adjustSize();
            const bool on = index.readString(GlobalPagesSection, numberedKey(p, EnabledSuffix),
                                             "0") == TrueText;
            check->setChecked(on);
            check->show();
            boxes.append(check);
            wasOn.append(on);
            height += 25;
            buttonsTop += 25;
        }
        form3_.Button1->move(form3_.Button1->x(), buttonsTop);
        form3_.Button2->move(form3_.Button2->x(), buttonsTop);
        form3_.setFixedSize(form3_.width(), height);
        accepted = host_.dialogs().exec(&form3_) == QDialog::Accepted;
    }
    // The check boxes are made for one showing only.
    QList<bool> on;
    for (QCheckBox *check : std::as_const(boxes)) {
        on.append(check->isChecked());
        delete check;
    }
    if (!accepted)
        return;
    for (int p = 1; p <= count; ++p) {
        if (!write(index, GlobalPagesSection, numberedKey(p, EnabledSuffix),
                   on[p - 1] ? TrueText : "false"))
            return;
        // The rows of the pages after it get other running numbers at the next start: positions
        // saved under the old names would land on other rows.
        if (on[p - 1] != wasOn[p - 1])
            item("N14")->setChecked(true);
    }
    host_.showMessage(MessageKind::Information,
                      QStringLiteral("Для отображения новых\\скрытия старых вкладок необходимо "
                                     "перезагрузить программу!"));
}

// --- dragging

void CatalogueEditor::attachDragHandlers()
{
    for (const QPointer<QObject> &component : host_.components()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(component.data())) {
            tabs->tabBar()->installEventFilter(this);
        } else if (auto *label = qobject_cast<QLabel *>(component.data())) {
            if (!RowNames::boxOf(label->objectName(), Part::Caption).isEmpty())
                label->installEventFilter(this);
        }
    }
}

void CatalogueEditor::fitSubTab(QWidget *sheet, std::initializer_list<const QWidget *> row)
{
    constexpr int Margin = 8; // right of and below the last control, as the builder leaves it
    QSize size = sheet->minimumSize();
    for (const QWidget *w : row)
        size = size.expandedTo(
            QSize(w->geometry().right() + 1 + Margin, w->geometry().bottom() + 1 + Margin));
    if (size != sheet->minimumSize())
        sheet->setMinimumSize(size);
}

void CatalogueEditor::fitSubTabsToRows()
{
    for (const QPointer<QObject> &component : host_.components()) {
        auto *label = qobject_cast<QLabel *>(component.data());
        const QString boxName =
            label ? RowNames::boxOf(label->objectName(), Part::Caption) : QString();
        if (boxName.isEmpty())
            continue;
        const auto *box = host_.find<QWidget>(boxName);
        const auto *apply = host_.find<QWidget>(RowNames::sibling(boxName, Part::Apply));
        if (box && apply)
            fitSubTab(label->parentWidget(), {box, apply});
    }
}

void CatalogueEditor::PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos)
{
    pressedTabs_ = tabs;
    pressedAt_ = tabs->mapToGlobal(pos);
}

void CatalogueEditor::PageControl1DragOver(QTabWidget *tabs, QObject *, const QPoint &pos,
                                           bool *accept)
{
    *accept = true;
    QTabBar *bar = tabs->tabBar();
    const QPoint at = bar->mapFrom(tabs, pos);
    for (int i = 0; i < bar->count(); ++i) {
        if (!bar->tabRect(i).contains(at))
            continue;
        if (i != bar->currentIndex())
            bar->moveTab(bar->currentIndex(), i); // the moved tab stays the active one
        return;
    }
}

void CatalogueEditor::PageControl1DragDrop(QTabWidget *, QObject *, const QPoint &)
{
    // The tab is where the last drag-over step put it.
}

void CatalogueEditor::LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos,
                                    bool *accept)
{
    *accept = false;
    auto *label = qobject_cast<QLabel *>(source);
    if (!label || label->parentWidget() != sheet)
        return;
    const QString boxName = RowNames::boxOf(label->objectName(), Part::Caption);
    auto *box = boxName.isEmpty() ? nullptr : host_.find<QWidget>(boxName);
    auto *apply = box ? host_.find<QWidget>(RowNames::sibling(boxName, Part::Apply)) : nullptr;
    if (!apply)
        return;
    *accept = true;
    label->move(pos);
    apply->move(pos.x() + host_.settings().memoWidth + 7, pos.y() + 16);
    box->move(pos.x(), pos.y() + 16);
    fitSubTab(sheet, {box, apply});
    QString error;
    const bool saved = host_.saveControlPlaces({label, apply, box}, &error);
    // Said once per drag: the row still moves, but would not come back at its new place.
    if (!saved && !saveFailureShown_) {
        saveFailureShown_ = true;
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Новое место строки не сохранено.\n") + error);
    }
}

bool CatalogueEditor::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress) {
        endDrag();
        if (auto *bar = qobject_cast<QTabBar *>(watched)) {
            if (auto *tabs = qobject_cast<QTabWidget *>(bar->parentWidget()))
                PageControl1MouseDown(tabs, tabs->mapFromGlobal(global));
            return false; // the press still makes the tab under it the active one
        }
        if (mouse->button() != Qt::LeftButton)
            return false;
        dragSource_ = watched; // a caption label drags at once
        return true;
    }
    if (type == QEvent::MouseMove) {
        if (!dragSource_ && pressedTabs_ && mouse->buttons() != Qt::NoButton &&
            (global - pressedAt_).manhattanLength() >= DragThreshold)
            dragSource_ = pressedTabs_.data();
        if (!dragSource_)
            return false;
        dragTo(global, false);
        return true;
    }
    const bool dragged = dragSource_;
    if (dragged)
        dragTo(global, true);
    endDrag();
    return dragged;
}

void CatalogueEditor::endDrag()
{
    pressedTabs_.clear();
    dragSource_.clear();
    saveFailureShown_ = false;
}

// What is under the pointer gets the drag: a tab strip, or the dragged row's own sub-tab (the
// row's controls under the pointer count as their sub-tab).
void CatalogueEditor::dragTo(const QPoint &globalPos, bool drop)
{
    QWidget *under = QApplication::widgetAt(globalPos);
    if (!under)
        return;
    bool accept = false;
    if (auto *label = qobject_cast<QLabel *>(dragSource_.data())) {
        QWidget *sheet = label->parentWidget();
        const QString boxName = RowNames::boxOf(label->objectName(), Part::Caption);
        for (QWidget *w = under; w; w = w->parentWidget()) {
            if (w == sheet) {
                if (!drop)
                    LabelDragOver(sheet, label, sheet->mapFromGlobal(globalPos), &accept);
                return;
            }
            const QString name = w->objectName();
            const bool ownControl =
                w == label || name == boxName || name == RowNames::sibling(boxName, Part::Apply);
            if (!ownControl && w->parentWidget() == sheet)
                return; // another row's control: refused
        }
    }
    for (QWidget *w = under; w; w = w->parentWidget()) {
        if (auto *bar = qobject_cast<QTabBar *>(w)) {
            if (auto *tabs = qobject_cast<QTabWidget *>(bar->parentWidget())) {
                const QPoint pos = tabs->mapFromGlobal(globalPos);
                if (drop)
                    PageControl1DragDrop(tabs, dragSource_, pos);
                else
                    PageControl1DragOver(tabs, dragSource_, pos, &accept);
            }
            return;
        }
    }
}
