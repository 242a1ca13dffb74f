#include "editor/TabBuilder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "catalogue/RowGeometry.h"
#include "editor/CaptionLabel.h"
#include "editor/RowEditor.h"
#include "editor/ValueBox.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/DataSlots.h"
#include "ui/RowNames.h"
#include "ui/WindowHost.h"

using RowNames::Part;

using RowGeometry::Margin; // right of and below the last control of a sub-tab

namespace {
constexpr int CaptionGap = 4; // between a caption and the next column's
} // namespace

TabBuilder::TabBuilder(WindowHost &host, RowEditor &rows, std::function<void(int)> rowBuilt)
    : host_(host), rows_(rows), rowBuilt_(std::move(rowBuilt))
{
}

template <class T> T *TabBuilder::create(const QString &name)
{
    T *control = new T(subTab_);
    control->setObjectName(name);
    newControls_.append(control);
    host_.addComponent(control);
    return control;
}

void TabBuilder::showNewControls()
{
    // Controls appear with their sub-tab when it is first shown, except on a sub-tab that is
    // already on screen (the first one of the first page). Controls hidden on purpose stay so.
    const bool onScreen = subTab_ && subTab_->isVisible();
    for (QWidget *w : std::as_const(newControls_)) {
        extent_ = extent_.united(w->geometry());
        if (onScreen && !w->testAttribute(Qt::WA_WState_ExplicitShowHide))
            w->show();
    }
    newControls_.clear();
}

void TabBuilder::finishSubTab()
{
    // The sub-tab is as large as its rows, so its scroll area shows scroll bars when they do
    // not fit the window. Set once per sub-tab: each change of a minimum size posts a layout
    // request.
    if (subTab_ && !extent_.isEmpty())
        subTab_->setMinimumSize(extent_.right() + 1 + Margin, extent_.bottom() + 1 + Margin);
    subTab_ = nullptr;
    extent_ = QRect();
}

void TabBuilder::finish()
{
    finishSubTab();
}

bool TabBuilder::endPage(const CataloguePage &)
{
    finishSubTab();
    return true;
}

void TabBuilder::notice(MessageKind kind, const QString &text)
{
    host_.showMessage(kind, text);
}

bool TabBuilder::beginPage(const CataloguePage &page)
{
    auto *outer = new QWidget;
    host_.pages()->addTab(outer, cp1251::toUnicode(page.caption));
    host_.addComponent(outer);
    auto *layout = new QVBoxLayout(outer);
    layout->setContentsMargins(0, 0, 0, 0);
    innerTabs_ = new QTabWidget(outer);
    layout->addWidget(innerTabs_);
    host_.addComponent(innerTabs_);
    pageFilePath_ = page.filePath;
    finishSubTab();
    return true;
}

bool TabBuilder::beginSubTab(const CatalogueSubTab &subTab)
{
    // Every new control posts polish and layout requests. Left for the event loop, thousands of
    // them make each further post (which scans the queue for one to merge with) and each later
    // destruction slower and slower; delivering them sub-tab by sub-tab keeps the queue short.
    // Only posted events are delivered here: user input waits for the event loop.
    QCoreApplication::sendPostedEvents();
    finishSubTab();
    // Rows keep their fixed positions on the sub-tab; the scroll area around it lets the user
    // reach rows that do not fit the window.
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    subTab_ = new QWidget;
    scroll->setWidget(subTab_);
    innerTabs_->addTab(scroll, cp1251::toUnicode(subTab.caption));
    host_.addComponent(subTab_);
    tableButton_ = nullptr;
    row_ = 1;
    column_ = 1;
    if (!subTab.image.isEmpty()) {
        auto *button = create<QPushButton>(QString());
        button->setText(QStringLiteral("Картинка"));
        button->setGeometry(8, 8, 130, 35);
        dataslot::setTag(button, subTab.number);
        dataslot::setHint(button, pageFilePath_);
        dataslot::setHelpKeyword(button, subTab.caption);
        QObject::connect(button, &QPushButton::clicked, host_.window(),
                         [h = &host_, button] { h->ButImgClick(button); });
        showNewControls();
        row_ = 2;
    }
    return true;
}

bool TabBuilder::entry(const CatalogueEntry &entry)
{
    if (entry.trade)
        buildTradeRow(entry);
    else if (host_.settings().tableMode == 1)
        addTableButton(entry);
    else
        buildOrdinaryRow(entry);
    return true;
}

TabBuilder::Slot TabBuilder::takeRowSlot()
{
    const ProgramSettings &s = host_.settings();
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
    QObject::connect(tableButton_, &QPushButton::clicked, host_.window(),
                     [h = &host_, b = tableButton_] { h->ButTablClick(b); });
    showNewControls();
}

QByteArray TabBuilder::lookUp(const CatalogueEntry &entry) const
{
    return ParameterLookup::lookUp(host_.gamedataFolder(), entry.file, entry.section, entry.param);
}

ValueBox *TabBuilder::createValueBox(const QString &name, const Slot &slot,
                                     const CatalogueEntry &entry,
                                     const ParameterLookup::RowValue &value)
{
    auto *box = create<ValueBox>(name);
    box->setGeometry(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).valueBox);
    box->setText(cp1251::toUnicode(value.text));
    box->setEnabled(value.enabled);
    box->setAbsent(!value.present);
    box->setInherited(cp1251::toUnicode(value.origin));
    dataslot::setTag(box, entry.number);
    dataslot::setHint(box, entry.help);
    dataslot::setHelpKeyword(box, entry.file);
    // Whether the row shows the whole value, for the commands that read it again.
    box->setProperty("wholeValue", entry.hasFull);
    return box;
}

QPushButton *TabBuilder::createApplyButton(const QString &name, const Slot &slot,
                                           const CatalogueEntry &entry)
{
    auto *apply = create<QPushButton>(name);
    apply->setText(QStringLiteral("!!!"));
    apply->setGeometry(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).applyButton);
    apply->setEnabled(false);
    dataslot::setTag(apply, entry.page);
    dataslot::setHint(apply, entry.applySection);
    dataslot::setHelpKeyword(apply, entry.applyParam);
    if (!entry.writable())
        dataslot::setMissingKeys(apply, entry.missingKeys.join(", "));
    return apply;
}

void TabBuilder::buildOrdinaryRow(const CatalogueEntry &entry)
{
    const QString base = RowNames::ordinaryBox(rowCount_);
    const Slot slot = takeRowSlot();

    auto *caption = create<CaptionLabel>(RowNames::sibling(base, Part::Caption));
    caption->setText(cp1251::toUnicode(entry.caption));
    caption->move(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).caption);
    // As wide as its column at most, so it does not run into the next column's captions.
    caption->setMaximumTextWidth(
        qMax(host_.settings().leftAdd - CaptionGap, RowGeometry::ApplyButtonSize));
    dataslot::setTag(caption, entry.subTab);

    const ParameterLookup::RowValue value = ParameterLookup::rowValueOf(
        host_.gamedataFolder(), entry.file, entry.section, entry.param, false, entry.hasFull);
    ValueBox *box = createValueBox(base, slot, entry, value);

    auto *comment = create<QLabel>(RowNames::sibling(base, Part::Comment));
    comment->setText(cp1251::toUnicode(value.commentPart));
    comment->setVisible(false);
    dataslot::setHint(comment, entry.subTabCaption);

    // Attached only now, so filling the box above does not count as a change.
    QObject::connect(box, &ValueBox::clicked, host_.window(),
                     [r = &rows_, box] { r->MemoClick(box); });
    QObject::connect(box, &ValueBox::textChanged, host_.window(),
                     [r = &rows_, box] { r->MemoChange(box); });
    box->setPopupMenu(host_.rowMenu());

    QPushButton *apply = createApplyButton(RowNames::sibling(base, Part::Apply), slot, entry);
    QObject::connect(apply, &QPushButton::clicked, host_.window(),
                     [r = &rows_, apply] { r->ButClick(apply); });
    QObject::connect(box, &ValueBox::applyRequested, host_.window(), [r = &rows_, apply] {
        if (apply->isEnabled())
            r->ButClick(apply);
    });

    rowBuilt();
}

void TabBuilder::buildTradeRow(const CatalogueEntry &entry)
{
    const QString base = RowNames::tradeBox(rowCount_);
    const Slot slot = takeRowSlot();

    auto *check = create<QCheckBox>(RowNames::sibling(base, Part::TradeCheck));
    check->setText(cp1251::toUnicode(entry.caption));
    check->setGeometry(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).checkBox);
    dataslot::setTag(check, entry.subTab);
    const ParameterLookup::RowValue value =
        ParameterLookup::rowValueFor(true, false, lookUp(entry));
    check->setChecked(value.checked);
    QObject::connect(check, &QCheckBox::clicked, host_.window(),
                     [r = &rows_, check] { r->CheckClick(check); });

    ValueBox *box = createValueBox(base, slot, entry, value);
    QObject::connect(box, &ValueBox::clicked, host_.window(),
                     [r = &rows_, box] { r->SpinClick(box); });
    QObject::connect(box, &ValueBox::textChanged, host_.window(),
                     [r = &rows_, box] { r->SpinChange(box); });

    QPushButton *apply = createApplyButton(RowNames::sibling(base, Part::TradeApply), slot, entry);
    QObject::connect(apply, &QPushButton::clicked, host_.window(),
                     [r = &rows_, apply] { r->ButTradeClick(apply); });
    QObject::connect(box, &ValueBox::applyRequested, host_.window(), [r = &rows_, apply] {
        if (apply->isEnabled())
            r->ButTradeClick(apply);
    });

    rowBuilt();
}

void TabBuilder::rowBuilt()
{
    showNewControls();
    ++rowCount_;
    if (rowBuilt_)
        rowBuilt_(rowCount_);
}
