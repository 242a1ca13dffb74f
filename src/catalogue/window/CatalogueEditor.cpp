#include "catalogue/window/CatalogueEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "catalogue/CatalogueEdit.h"
#include "catalogue/CatalogueFormat.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/PageFile.h"
#include "catalogue/Rows.h"
#include "catalogue/window/TForm3.h"
#include "catalogue/window/TForm4.h"
#include "profile/ProfileFile.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/Dialogs.h"
#include "ui/window/RowNames.h"
#include "ui/window/WindowHost.h"

using namespace CatalogueFormat;
using RowNames::Part;

namespace {

// Shown in the properties dialog for a key the entry lacks; never written back unless typed.
const QByteArray MissingKey = cp1251::encode(QStringLiteral("ОШИБКА!"));

// The entry keys in the order of the properties dialog's fields.
const char *const FieldKeys[5] = {EntryFileSuffix, SectionSuffix, ParamSuffix, CaptionSuffix,
                                  HelpSuffix};

CatalogueEdit::EntryTexts entryTexts(const QByteArray (&texts)[5])
{
    return {texts[0], texts[1], texts[2], texts[3], texts[4]};
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
    QByteArray pageFile; // path
    PageFile content;    // as the command found it
    QByteArray section;
    int row = -1;   // the selected row
    int number = 0; // its entry's number in the section
};

CatalogueEditor::CatalogueEditor(WindowHost &host, TForm3 &properties, TForm4 &confirmation,
                                 EntryExamples &examples)
    : host_(host), form3_(properties), form4_(confirmation), examples_(examples), drag_(host)
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
    // The selection names the row; the row says which entry it is.
    const QString boxName = QString::fromLatin1(dataslot::hint(item("N9")));
    const int index = boxName.isEmpty() ? -1 : host_.rowNamed(boxName);
    if (index < 0) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Сначала выберите параметр: щёлкните по его значению."));
        return std::nullopt;
    }
    const Rows::Row &row = host_.rows()[index];
    if (row.deleted) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Этот параметр уже удалён. Выберите другой параметр."));
        return std::nullopt;
    }
    const PageFileRef ref =
        CataloguePages::pageFile(host_.programFolder(), row.entry.page, DefaultPageFile);
    if (!ref.ok()) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Каталог не изменён.\n") + ref.refusal);
        return std::nullopt;
    }
    Target t{ref.path, PageFile::read(ref.path), {}, index, row.entry.number};
    const int subTab = row.entry.subTab;
    const std::optional<QByteArray> section = t.content.subTab(subTab);
    if (!section) {
        // Entries written to a made-up section would never show.
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("В файле %1 нет вкладки %2 в разделе [Pages]: каталог "
                                         "не изменён.")
                              .arg(ProfileFile(ref.path).diskPath())
                              .arg(subTab));
        return std::nullopt;
    }
    t.section = *section;
    return t;
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
    const int number = t->number;
    form3_.Label8->setText(QStringLiteral("Вкладка: ") + cp1251::toUnicode(t->section));
    form3_.Label8->adjustSize();
    form3_.Label9->setText(QStringLiteral("Позиция: ") + QString::number(number));
    form3_.Label9->adjustSize();
    QLineEdit *fields[5] = {form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5, form3_.Edit6};
    QByteArray shown[5];
    for (int i = 0; i < 5; ++i) {
        shown[i] =
            t->content.text(t->section, numberedKey(number, FieldKeys[i])).value_or(MissingKey);
        fields[i]->setText(cp1251::toUnicode(shown[i]));
    }
    if (host_.dialogs().exec(&form3_) != QDialog::Accepted)
        return;
    QByteArray texts[5];
    if (!fieldTexts(texts))
        return;
    // Only what the user changed is written: a key the entry lacks stays absent instead of
    // becoming "ОШИБКА!", and untouched lines keep their bytes.
    QString error;
    if (!CatalogueEdit::writeEntry(t->pageFile, t->section, number, entryTexts(shown),
                                   entryTexts(texts), &error)) {
        writeFailed(error);
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
        // The fields start with examples, kept as help for what to type; an entry added with
        // an example left in would point at a made-up file or key, or show the example as its
        // caption. Such a field is named, and the dialog shows again with what was typed.
        for (;;) {
            accepted = host_.dialogs().exec(&form3_) == QDialog::Accepted;
            const QString field = accepted ? fieldWithExample() : QString();
            if (field.isEmpty())
                break;
            host_.showMessage(MessageKind::Always,
                              QStringLiteral("Параметр не добавлен: в поле «%1» остался образец "
                                             "«ПРИМЕР: …». Замените его своим текстом.")
                                  .arg(field));
        }
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
    QString error;
    if (!CatalogueEdit::addEntry(t->pageFile, t->section, entryTexts(texts), nullptr, &error)) {
        writeFailed(error);
        return;
    }
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
    std::optional<Target> t = target();
    if (!t)
        return;
    askDeletion(*t, t->number);
    if (host_.dialogs().exec(&form4_) != QDialog::Accepted)
        return;
    t = target();
    if (!t)
        return;
    CatalogueEdit::Deletion deletion;
    QString error;
    if (!CatalogueEdit::deleteEntry(t->pageFile, t->section, t->number, &deletion, &error)) {
        writeFailed(error);
        return;
    }
    if (deletion.alreadyEmpty)
        host_.showMessage(MessageKind::Always, QStringLiteral("Эта вкладка уже пуста!"));
    hideDeletedRow(*t);
    item("N14")->setChecked(true);
    host_.showMessage(MessageKind::Always,
                      QStringLiteral("Данные удалены! После удаления всех нужных данных "
                                     "перезапустите программу для обновление позиций!"));
}

QString CatalogueEditor::fieldWithExample() const
{
    const QLineEdit *fields[5] = {form3_.Edit1, form3_.Edit2, form3_.Edit3, form3_.Edit5,
                                  form3_.Edit6};
    const QLabel *titles[5] = {form3_.Label1, form3_.Label2, form3_.Label3, form3_.Label6,
                               form3_.Label7};
    for (int i = 0; i < 5; ++i) {
        if (fields[i]->text().trimmed().startsWith(QStringLiteral("ПРИМЕР:"), Qt::CaseInsensitive))
            return titles[i]->text();
    }
    return QString();
}

void CatalogueEditor::askDeletion(const Target &t, int number)
{
    // The question names the entry by its caption (its key when it has none), so a row selected
    // long ago is not deleted by mistake; the game file keeps its line whatever the answer.
    QByteArray name = t.content.text(t.section, numberedKey(number, CaptionSuffix)).value_or("");
    if (name.trimmed().isEmpty())
        name = t.content.text(t.section, numberedKey(number, ParamSuffix)).value_or("");
    const QString shown = name.trimmed().isEmpty()
                              ? QStringLiteral("№ %1").arg(number)
                              : QStringLiteral("«%1»").arg(cp1251::toUnicode(name.trimmed()));
    const QString question = QStringLiteral("Удалить параметр %1 из набора?").arg(shown);
    const QFontMetrics metrics(form4_.Label1->font());
    form4_.Label1->setText(metrics.elidedText(question, Qt::ElideMiddle, form4_.Label1->width()));
    form4_.Label1->setToolTip(question);
    form4_.Label2->setText(QStringLiteral("Файл игры не изменится."));
}

void CatalogueEditor::hideDeletedRow(const Target &t)
{
    for (const char *name : {"N9", "N11", "N13"}) {
        if (auto *w = host_.find<QWidget>(QString::fromLatin1(dataslot::hint(item(name)))))
            w->hide();
    }
    // The rows of the same section below the deleted entry now stand for the entry one number
    // lower: the rows take the number, so the commands keep acting on the entry each row shows,
    // and so do the controls that carry it (those made later are made from the rows).
    Rows &rows = host_.rows();
    const QList<int> renumbered = rows.deleteEntry(t.row, [this](const Rows::Row &row) {
        const PageFileRef ref =
            CataloguePages::pageFile(host_.programFolder(), row.entry.page, DefaultPageFile);
        const std::optional<QByteArray> section =
            ref.ok() ? PageFile::read(ref.path).subTab(row.entry.subTab) : std::nullopt;
        // A row whose page file or sub-tab is gone is none of the section's rows.
        return section ? cp1251::foldCase(ref.path) + '\0' + cp1251::foldCase(*section)
                       : QByteArray();
    });
    for (const int index : renumbered) {
        const Rows::Row &row = rows[index];
        if (!row.built)
            continue;
        if (QObject *box = host_.findComponent(RowNames::box(row.number, row.trade())))
            dataslot::setTag(box, row.entry.number);
    }
}

// --- which pages are shown

void CatalogueEditor::N18Click()
{
    const ProfileFile index(indexPath(host_.programFolder()));
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
    QString error;
    if (!CatalogueEdit::setPagesEnabled(index.path(), on, &error)) {
        writeFailed(error);
        return;
    }
    // The rows of the pages after a switched one get other running numbers at the next start:
    // positions saved under the old names would land on other rows.
    if (on != wasOn)
        item("N14")->setChecked(true);
    host_.showMessage(MessageKind::Information,
                      QStringLiteral("Для отображения новых\\скрытия старых вкладок необходимо "
                                     "перезагрузить программу!"));
}

// --- dragging

void CatalogueEditor::attachDragHandlers()
{
    drag_.attachDragHandlers();
}

void CatalogueEditor::attachDragHandler(QWidget *caption)
{
    caption->installEventFilter(&drag_);
}

void CatalogueEditor::fitSubTabsToRows()
{
    drag_.fitSubTabsToRows();
}

void CatalogueEditor::PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos)
{
    drag_.PageControl1MouseDown(tabs, pos);
}

void CatalogueEditor::PageControl1DragOver(QTabWidget *tabs, QObject *source, const QPoint &pos,
                                           bool *accept)
{
    drag_.PageControl1DragOver(tabs, source, pos, accept);
}

void CatalogueEditor::PageControl1DragDrop(QTabWidget *tabs, QObject *source, const QPoint &pos)
{
    drag_.PageControl1DragDrop(tabs, source, pos);
}

void CatalogueEditor::LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos,
                                    bool *accept)
{
    drag_.LabelDragOver(sheet, source, pos, accept);
}
