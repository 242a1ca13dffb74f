#include "editor/window/TabBuilder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "catalogue/RowGeometry.h"
#include "editor/window/CaptionLabel.h"
#include "editor/window/RowEditor.h"
#include "editor/window/ValueBox.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/RowNames.h"
#include "ui/window/WindowHost.h"

using RowNames::Part;

using RowGeometry::Margin; // right of and below the last control of a sub-tab

namespace {
constexpr int CaptionGap = 4; // between a caption and the next column's
} // namespace

// Creates a sub-tab's row controls when the sub-tab is first shown.
class TabBuilder::ShowWatcher : public QObject
{
public:
    explicit ShowWatcher(TabBuilder &builder) : builder_(builder) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Resize) && builder_.buildOnShow_) {
            const auto it = builder_.sheetOf_.constFind(static_cast<QWidget *>(watched));
            if (it != builder_.sheetOf_.constEnd() && static_cast<QWidget *>(watched)->isVisible())
                builder_.buildVisibleRows(*it);
        }
        return false;
    }

private:
    TabBuilder &builder_;
};

TabBuilder::TabBuilder(WindowHost &host, RowEditor &rows, std::function<void(int)> rowBuilt,
                       std::function<void(const QList<QWidget *> &)> created)
    : host_(host), rows_(rows), rowBuilt_(std::move(rowBuilt)), created_(std::move(created)),
      watcher_(std::make_unique<ShowWatcher>(*this))
{
}

TabBuilder::~TabBuilder() = default;

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
    // already on screen. Controls hidden on purpose stay so.
    const bool onScreen = subTab_ && subTab_->isVisible();
    for (QWidget *w : std::as_const(newControls_)) {
        extent_ = extent_.united(w->geometry());
        if (onScreen && !w->testAttribute(Qt::WA_WState_ExplicitShowHide))
            w->show();
    }
    newControls_.clear();
}

void TabBuilder::fitSheet()
{
    if (subTab_ && !extent_.isEmpty())
        subTab_->setMinimumSize(subTab_->minimumSize().expandedTo(
            QSize(extent_.right() + 1 + Margin, extent_.bottom() + 1 + Margin)));
}

void TabBuilder::finishSubTab()
{
    // The sub-tab is as large as its controls, so its scroll area shows scroll bars when they do
    // not fit the window. Set once per sub-tab: each change of a minimum size posts a layout
    // request.
    fitSheet();
    if (subTab_ && !sheets_.isEmpty() && sheets_.last().widget == subTab_) {
        Sheet &sheet = sheets_.last();
        sheet.end = static_cast<int>(data_.size());
        for (int r = sheet.first; r < sheet.end; ++r)
            sheet.left += data_[r].hasControls() ? 1 : 0;
    }
    subTab_ = nullptr;
    extent_ = QRect();
}

QStringList TabBuilder::finish()
{
    finishSubTab();
    // The reader holds every file it read; the rows are read afresh after the walk.
    const std::unique_ptr<GameValues> values = std::move(values_);
    return values ? values->takeProblems() : QStringList();
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
    finishSubTab();
    auto *outer = new QWidget;
    pageCaption_ = cp1251::toUnicode(page.caption);
    host_.pages()->addTab(outer, pageCaption_);
    host_.addComponent(outer);
    auto *layout = new QVBoxLayout(outer);
    layout->setContentsMargins(0, 0, 0, 0);
    innerTabs_ = new QTabWidget(outer);
    layout->addWidget(innerTabs_);
    host_.addComponent(innerTabs_);
    pageFilePath_ = page.filePath;
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
    subTabCaption_ = cp1251::toUnicode(subTab.caption);
    innerTabs_->addTab(scroll, subTabCaption_);
    host_.addComponent(subTab_);
    Sheet sheet;
    sheet.widget = subTab_;
    sheet.first = sheet.end = static_cast<int>(data_.size());
    sheetOf_.insert(subTab_, static_cast<int>(sheets_.size()));
    sheets_.append(sheet);
    subTab_->installEventFilter(watcher_.get());
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
    RowData row;
    row.entry = entry;
    row.page = pageCaption_;
    row.subTab = subTabCaption_;
    row.sheet = static_cast<int>(sheets_.size()) - 1;
    if (!entry.trade && host_.settings().tableMode == 1) {
        // A table page's entry: shown in the table window, found by find and the change list.
        addTableButton(entry);
        data_.append(std::move(row));
        return true;
    }
    row.name = entry.trade ? RowNames::tradeBox(rowCount_) : RowNames::ordinaryBox(rowCount_);
    const Slot slot = takeRowSlot();
    row.place = QPoint(slot.x, slot.y);
    // The sub-tab is as large as its rows from the start, so its scroll bars reach rows whose
    // controls do not exist yet.
    extent_ = extent_.united(RowGeometry::bounds(
        RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth), entry.trade));
    if (!values_)
        values_ = std::make_unique<GameValues>(host_.session().values());
    row.value = ParameterLookup::rowValueOf(*values_, entry.file, entry.section, entry.param,
                                            entry.trade, !entry.trade && entry.hasFull);
    byNumber_.append(static_cast<int>(data_.size()));
    data_.append(std::move(row));
    ++rowCount_;
    if (rowBuilt_)
        rowBuilt_(rowCount_);
    return true;
}

void TabBuilder::buildOnShow()
{
    buildOnShow_ = true;
    for (int i = 0; i < sheets_.size(); ++i) {
        if (sheets_[i].widget && sheets_[i].widget->isVisible())
            buildVisibleRows(i);
    }
}

void TabBuilder::setRowsWithSavedState(const QByteArrayList &foldedNames)
{
    for (const QByteArray &name : foldedNames) {
        const bool trade = name.startsWith("name1_");
        if (!trade && !name.startsWith("name_"))
            continue;
        qsizetype i = trade ? 6 : 5;
        const qsizetype digits = i;
        int number = 0;
        for (; i < name.size() && i - digits < 9 && name.at(i) >= '0' && name.at(i) <= '9'; ++i)
            number = number * 10 + (name.at(i) - '0');
        if (i > digits && number < byNumber_.size())
            savedRows_.insert(byNumber_[number]);
    }
}

QWidget *TabBuilder::rowBox(int index)
{
    if (index < 0 || index >= data_.size() || !data_[index].hasControls())
        return nullptr;
    buildRows(data_[index].sheet, {index});
    return qobject_cast<QWidget *>(host_.findComponent(data_[index].name));
}

QWidget *TabBuilder::rowSheet(int index) const
{
    if (index < 0 || index >= data_.size())
        return nullptr;
    const int sheet = data_[index].sheet;
    return sheet >= 0 && sheet < sheets_.size() ? sheets_[sheet].widget : nullptr;
}

int TabBuilder::rowNamed(const QString &name) const
{
    static const QString ordinary = QStringLiteral("Name_"), trade = QStringLiteral("Name1_");
    const bool isTrade = name.startsWith(trade);
    if (!isTrade && !name.startsWith(ordinary))
        return -1;
    qsizetype i = isTrade ? trade.size() : ordinary.size();
    int number = 0;
    const qsizetype digits = i;
    for (; i < name.size() && name.at(i).isDigit() && i - digits < 9; ++i)
        number = number * 10 + name.at(i).digitValue();
    if (i == digits || number >= byNumber_.size())
        return -1;
    const int index = byNumber_[number];
    return data_[index].trade() == isTrade ? index : -1;
}

bool TabBuilder::buildRowsFor(const QString &name)
{
    const int index = rowNamed(name);
    if (index < 0 || data_[index].built)
        return false;
    buildRows(data_[index].sheet, {index});
    return true;
}

void TabBuilder::buildRowsOfSectionOf(const QString &boxName)
{
    const int index = rowNamed(boxName);
    if (index < 0)
        return;
    const CatalogueEntry &of = data_[index].entry;
    for (int s = 0; s < sheets_.size(); ++s) {
        if (sheets_[s].left == 0)
            continue;
        QList<int> rows;
        for (int r = sheets_[s].first; r < sheets_[s].end; ++r) {
            const CatalogueEntry &e = data_[r].entry;
            if (!data_[r].built && e.number > of.number &&
                cp1251::equalsIgnoreCase(e.subTabCaption, of.subTabCaption))
                rows.append(r);
        }
        buildRows(s, rows);
    }
}

void TabBuilder::buildVisibleRows(int index)
{
    if (index < 0 || index >= sheets_.size() || !sheets_[index].widget ||
        sheets_[index].widget == subTab_ || sheets_[index].left == 0)
        return;
    Sheet &sheet = sheets_[index];
    if (!sheet.shown) {
        sheet.shown = true;
        // Rows further away are created as scrolling brings them near.
        if (auto *scroll = qobject_cast<QScrollArea *>(
                sheet.widget->parentWidget() ? sheet.widget->parentWidget()->parentWidget()
                                             : nullptr)) {
            for (QScrollBar *bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
                QObject::connect(bar, &QScrollBar::valueChanged, watcher_.get(),
                                 [this, index] { buildVisibleRows(index); });
        }
    }
    // What the scroll area shows and as much again on each side.
    QRect area = sheet.widget->visibleRegion().boundingRect();
    if (area.isEmpty())
        return;
    area.adjust(-area.width(), -area.height(), area.width(), area.height());
    const int memoWidth = host_.settings().memoWidth;
    QList<int> rows;
    for (int r = sheet.first; r < sheet.end; ++r) {
        const RowData &row = data_[r];
        if (row.built || !row.hasControls())
            continue;
        const QRect place = RowGeometry::bounds(
            RowGeometry::inSlot(row.place.x(), row.place.y(), memoWidth), row.entry.trade);
        // A row moved by the user comes back at its saved place, which may be in view.
        if (place.intersects(area) || savedRows_.contains(r))
            rows.append(r);
    }
    buildRows(index, rows);
}

void TabBuilder::buildRows(int index, const QList<int> &rows)
{
    if (index < 0 || index >= sheets_.size() || !sheets_[index].widget ||
        sheets_[index].widget == subTab_) // still being walked
        return;
    QList<int> wanted;
    for (int r : rows) {
        if (!data_[r].built && data_[r].hasControls())
            wanted.append(r);
    }
    if (wanted.isEmpty())
        return;
    Sheet &sheet = sheets_[index];
    sheet.left -= static_cast<int>(wanted.size());
    // A command may need a row while the walk fills another sub-tab: its state is kept aside.
    QWidget *const walkSheet = subTab_;
    const QRect walkExtent = extent_;
    QList<QWidget *> walkControls;
    walkControls.swap(newControls_);
    subTab_ = sheet.widget;
    for (int r : std::as_const(wanted)) {
        RowData &row = data_[r];
        row.built = true;
        if (row.trade())
            buildTradeRow(row);
        else
            buildOrdinaryRow(row);
    }
    // The saved state comes back before the controls are shown: a dragged row appears where it
    // was left, and the sub-tab grows to hold it.
    if (created_ && !newControls_.isEmpty())
        created_(newControls_);
    extent_ = QRect();
    showNewControls();
    fitSheet();
    subTab_ = walkSheet;
    extent_ = walkExtent;
    newControls_ = walkControls;
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

void TabBuilder::buildOrdinaryRow(const RowData &row)
{
    const CatalogueEntry &entry = row.entry;
    const QString &base = row.name;
    const Slot slot{row.place.x(), row.place.y()};

    auto *caption = create<CaptionLabel>(RowNames::sibling(base, Part::Caption));
    caption->setText(cp1251::toUnicode(entry.caption));
    caption->move(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).caption);
    // As wide as its column at most, so it does not run into the next column's captions.
    caption->setMaximumTextWidth(
        qMax(host_.settings().leftAdd - CaptionGap, RowGeometry::ApplyButtonSize));
    dataslot::setTag(caption, entry.subTab);

    const ParameterLookup::RowValue &value = row.value;
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
}

void TabBuilder::buildTradeRow(const RowData &row)
{
    const CatalogueEntry &entry = row.entry;
    const QString &base = row.name;
    const Slot slot{row.place.x(), row.place.y()};

    auto *check = create<QCheckBox>(RowNames::sibling(base, Part::TradeCheck));
    check->setText(cp1251::toUnicode(entry.caption));
    check->setGeometry(RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth).checkBox);
    dataslot::setTag(check, entry.subTab);
    const ParameterLookup::RowValue &value = row.value;
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
}
