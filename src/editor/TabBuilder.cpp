#include "editor/TabBuilder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/TForm1.h"
#include "app/TForm5.h"
#include "catalogue/CatalogueMessages.h"
#include "editor/CaptionLabel.h"
#include "editor/DataSlots.h"
#include "editor/ValueBox.h"
#include "gamefiles/ParameterLookup.h"
#include "textcodec/Cp1251.h"

namespace {
constexpr int ValueBoxHeight = 21;
constexpr int ApplyButtonSize = 21;
constexpr int CheckBoxHeight = 17;
} // namespace

TabBuilder::TabBuilder(TForm1 &form) : form_(form) {}

template <class T> T *TabBuilder::create(const QString &name)
{
    T *control = new T(subTab_);
    control->setObjectName(name);
    newControls_.append(control);
    form_.addComponent(control);
    return control;
}

void TabBuilder::showNewControls()
{
    // Controls appear with their sub-tab when it is first shown, except on a sub-tab that is
    // already on screen (the first one of the first page). Controls hidden on purpose stay so.
    if (subTab_ && subTab_->isVisible()) {
        for (QWidget *w : std::as_const(newControls_)) {
            if (!w->testAttribute(Qt::WA_WState_ExplicitShowHide))
                w->show();
        }
    }
    newControls_.clear();
}

void TabBuilder::oldFormat()
{
    form_.showMessage(MessageKind::Always, CatalogueMessages::OldFormat);
}

bool TabBuilder::beginPage(const CataloguePage &page)
{
    auto *outer = new QWidget;
    form_.PageControl1->addTab(outer, cp1251::toUnicode(page.caption));
    form_.addComponent(outer);
    auto *layout = new QVBoxLayout(outer);
    layout->setContentsMargins(0, 0, 0, 0);
    innerTabs_ = new QTabWidget(outer);
    layout->addWidget(innerTabs_);
    form_.addComponent(innerTabs_);
    pageFilePath_ = page.filePath;
    subTab_ = nullptr;
    return true;
}

bool TabBuilder::pageFileError(const CataloguePage &)
{
    form_.showMessage(MessageKind::Error, CatalogueMessages::PageFileError);
    return true;
}

bool TabBuilder::beginSubTab(const CatalogueSubTab &subTab)
{
    // Every new control posts polish and layout requests. Left for the event loop, thousands of
    // them make each further post (which scans the queue for one to merge with) and each later
    // destruction slower and slower; delivering them sub-tab by sub-tab keeps the queue short.
    // Only posted events are delivered here: user input waits for the event loop.
    QCoreApplication::sendPostedEvents();
    subTab_ = new QWidget;
    innerTabs_->addTab(subTab_, cp1251::toUnicode(subTab.caption));
    form_.addComponent(subTab_);
    tableButton_ = nullptr;
    row_ = 1;
    column_ = 1;
    if (!subTab.image.isEmpty()) {
        auto *button = create<QPushButton>(QString());
        button->setText(QStringLiteral("Картинка"));
        QFont font = button->font();
        font.setPointSize(4);
        button->setFont(font);
        button->setGeometry(8, 8, 130, 35);
        dataslot::setTag(button, subTab.number);
        dataslot::setHint(button, pageFilePath_);
        dataslot::setHelpKeyword(button, subTab.caption);
        QObject::connect(button, &QPushButton::clicked, &form_,
                         [f = &form_, button] { f->ButImgClick(button); });
        showNewControls();
        row_ = 2;
    }
    return true;
}

bool TabBuilder::entry(const CatalogueEntry &entry)
{
    if (entry.trade)
        buildTradeRow(entry);
    else if (form_.settings.tableMode == 1)
        addTableButton(entry);
    else
        buildOrdinaryRow(entry);
    return true;
}

TabBuilder::Slot TabBuilder::takeRowSlot()
{
    const ProgramSettings &s = form_.settings;
    int y = (row_ - 1) * s.topAdd;
    if (y > s.columnLimit) {
        y = 0;
        row_ = 1;
        ++column_;
    }
    const int x = (column_ - 1) * s.leftAdd;
    ++row_;
    return {x, y};
}

void TabBuilder::addTableButton(const CatalogueEntry &entry)
{
    if (tableButton_)
        return;
    tableButton_ = create<QPushButton>(QString());
    tableButton_->setText(QStringLiteral("ОТКРЫТЬ ТАБЛИЦУ!"));
    tableButton_->setGeometry(50, 50, 200, 25);
    dataslot::setTag(tableButton_, entry.subTab);
    dataslot::setHint(tableButton_, QByteArray::number(entry.page));
    QObject::connect(tableButton_, &QPushButton::clicked, &form_,
                     [f = &form_, b = tableButton_] { f->ButTablClick(b); });
    showNewControls();
}

QByteArray TabBuilder::lookUp(const CatalogueEntry &entry) const
{
    return ParameterLookup::lookUp(form_.gamedataFolder, entry.file, entry.section, entry.param);
}

ValueBox *TabBuilder::createValueBox(const QString &name, const Slot &slot,
                                     const CatalogueEntry &entry,
                                     const ParameterLookup::RowValue &value)
{
    auto *box = create<ValueBox>(name);
    box->setGeometry(slot.x + 8, slot.y + 24, form_.settings.memoWidth, ValueBoxHeight);
    box->setText(cp1251::toUnicode(value.text));
    box->setEnabled(value.enabled);
    dataslot::setTag(box, entry.number);
    dataslot::setHint(box, entry.help);
    dataslot::setHelpKeyword(box, entry.file);
    return box;
}

QPushButton *TabBuilder::createApplyButton(const QString &name, const Slot &slot,
                                           const CatalogueEntry &entry)
{
    auto *apply = create<QPushButton>(name);
    apply->setText(QStringLiteral("!!!"));
    apply->setGeometry(slot.x + form_.settings.memoWidth + 15, slot.y + 24, ApplyButtonSize,
                       ApplyButtonSize);
    apply->setEnabled(false);
    dataslot::setTag(apply, entry.page);
    dataslot::setHint(apply, entry.applySection);
    dataslot::setHelpKeyword(apply, entry.applyParam);
    return apply;
}

void TabBuilder::buildOrdinaryRow(const CatalogueEntry &entry)
{
    const QString base = QStringLiteral("Name_") + QString::number(form_.rowCounter);
    const Slot slot = takeRowSlot();

    auto *caption = create<CaptionLabel>(base + "_V");
    caption->setText(cp1251::toUnicode(entry.caption));
    caption->move(slot.x + 8, slot.y + 8);
    dataslot::setTag(caption, entry.subTab);

    const ParameterLookup::RowValue value =
        ParameterLookup::rowValueFor(false, entry.hasFull, lookUp(entry));
    ValueBox *box = createValueBox(base, slot, entry, value);

    auto *comment = create<QLabel>(base + "_Comment");
    comment->setText(cp1251::toUnicode(value.commentPart));
    comment->setVisible(false);
    dataslot::setHint(comment, entry.subTabCaption);

    // Attached only now, so filling the box above does not count as a change.
    QObject::connect(box, &ValueBox::clicked, &form_, [f = &form_, box] { f->MemoClick(box); });
    QObject::connect(box, &ValueBox::textChanged, &form_,
                     [f = &form_, box] { f->MemoChange(box); });
    box->setPopupMenu(form_.PopupMenuAdd);

    QPushButton *apply = createApplyButton(base + "_", slot, entry);
    QObject::connect(apply, &QPushButton::clicked, &form_,
                     [f = &form_, apply] { f->ButClick(apply); });

    rowBuilt();
}

void TabBuilder::buildTradeRow(const CatalogueEntry &entry)
{
    const QString base = QStringLiteral("Name1_") + QString::number(form_.rowCounter) + "_s1";
    const Slot slot = takeRowSlot();
    const int memoWidth = form_.settings.memoWidth;

    auto *check = create<QCheckBox>(base + "_TR");
    check->setText(cp1251::toUnicode(entry.caption));
    check->setGeometry(slot.x + 8, slot.y + 8, memoWidth + 36, CheckBoxHeight);
    dataslot::setTag(check, entry.subTab);
    const ParameterLookup::RowValue value =
        ParameterLookup::rowValueFor(true, false, lookUp(entry));
    check->setChecked(value.checked);
    QObject::connect(check, &QCheckBox::clicked, &form_,
                     [f = &form_, check] { f->CheckClick(check); });

    ValueBox *box = createValueBox(base, slot, entry, value);
    QObject::connect(box, &ValueBox::clicked, &form_, [f = &form_, box] { f->SpinClick(box); });
    QObject::connect(box, &ValueBox::textChanged, &form_,
                     [f = &form_, box] { f->SpinChange(box); });

    QPushButton *apply = createApplyButton(base + "_B", slot, entry);
    QObject::connect(apply, &QPushButton::clicked, &form_,
                     [f = &form_, apply] { f->ButTradeClick(apply); });

    rowBuilt();
}

void TabBuilder::rowBuilt()
{
    showNewControls();
    ++form_.rowCounter;
    if (form_.Form5)
        form_.Form5->setCount(form_.rowCounter);
}
