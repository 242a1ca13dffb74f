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
#include "profile/ProfileCache.h"
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

// Creates a sub-tab's row controls when the sheet is first shown, and more as it is resized.
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

// The page of a sub-tab's tab. A tab strip needs a page per tab, but a scroll area with its bars
// costs many times a plain widget: it is made when the page is first shown, and fills the page.
class TabBuilder::SheetPage : public QWidget
{
public:
    SheetPage(TabBuilder &builder, int index) : builder_(builder), index_(index) {}

protected:
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        builder_.sheetWidget(index_);
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        for (QWidget *scroll : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            scroll->setGeometry(rect());
    }

private:
    TabBuilder &builder_;
    int index_;
};

TabBuilder::TabBuilder(WindowHost &host, RowEditor &editor, std::function<void(int)> rowBuilt,
                       std::function<void(const QList<QWidget *> &)> created)
    : host_(host), rows_(host.rows()), editor_(editor), rowBuilt_(std::move(rowBuilt)),
      created_(std::move(created)), watcher_(std::make_unique<ShowWatcher>(*this))
{
}

TabBuilder::~TabBuilder() = default;

int TabBuilder::rowCount() const
{
    return rows_.named();
}

template <class T> T *TabBuilder::create(QWidget *parent, const QString &name)
{
    T *control = new T(parent);
    control->setObjectName(name);
    newControls_.append(control);
    host_.addComponent(control);
    return control;
}

void TabBuilder::finishSubTab()
{
    if (walking_ >= 0) {
        Sheet &sheet = sheets_[walking_];
        const Rows::Sheet &rows = rows_.sheets()[walking_];
        for (int r = rows.first; r < rows.end; ++r)
            sheet.left += rows_[r].hasControls() ? 1 : 0;
    }
    walking_ = -1;
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
    tableMode_ = host_.settings().tableMode == 1;
    rows_.reserve(page.entryCount);
    return true;
}

bool TabBuilder::beginSubTab(const CatalogueSubTab &subTab)
{
    // Every tab added posts layout requests. Left for the event loop, thousands of them make
    // each further post (which scans the queue for one to merge with) slower and slower;
    // delivering them sub-tab by sub-tab keeps the queue short. Only posted events are
    // delivered here: user input waits for the event loop.
    QCoreApplication::sendPostedEvents();
    finishSubTab();
    const int index = static_cast<int>(sheets_.size());
    Sheet sheet;
    sheet.page = new SheetPage(*this, index);
    sheet.number = subTab.number;
    sheet.caption = subTab.caption;
    sheet.image = subTab.image;
    sheet.pageFile = pageFilePath_;
    const QString caption = cp1251::toUnicode(subTab.caption);
    innerTabs_->addTab(sheet.page, caption);
    rows_.addSheet(pageCaption_, caption);
    row_ = 1;
    column_ = 1;
    if (!subTab.image.isEmpty()) {
        sheet.extent = QRect(8, 8, 130, 35); // the picture button
        row_ = 2;
    }
    sheets_.append(std::move(sheet));
    walking_ = index;
    return true;
}

bool TabBuilder::entry(const CatalogueEntry &entry)
{
    Rows::Row row;
    row.entry = entry;
    if (!entry.trade && tableMode_) {
        // A table page's entry: shown in the table window, found by find and the change list.
        Sheet &sheet = sheets_[walking_];
        if (sheet.tablePage == 0) {
            sheet.tablePage = entry.page;
            sheet.tableSubTab = entry.subTab;
            sheet.extent = sheet.extent.united(QRect(50, 50, 200, 25)); // its table button
        }
        rows_.add(std::move(row), false);
        return true;
    }
    const Slot slot = takeRowSlot();
    row.place = QPoint(slot.x, slot.y);
    // The sub-tab is as large as its rows from the start, so its scroll bars reach rows whose
    // controls do not exist yet.
    Sheet &sheet = sheets_[walking_];
    sheet.extent = sheet.extent.united(RowGeometry::bounds(
        RowGeometry::inSlot(slot.x, slot.y, host_.settings().memoWidth), entry.trade));
    rows_.add(std::move(row), true);
    if (rowBuilt_)
        rowBuilt_(rows_.named());
    return true;
}

QWidget *TabBuilder::sheetWidget(int index)
{
    Sheet &sheet = sheets_[index];
    if (sheet.widget)
        return sheet.widget;
    // Rows keep their fixed positions on the sheet; the scroll area around it lets the user
    // reach rows that do not fit the window.
    auto *scroll = new QScrollArea(sheet.page);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setGeometry(sheet.page->rect());
    auto *widget = new QWidget;
    scroll->setWidget(widget);
    sheet.widget = widget;
    sheetOf_.insert(widget, index);
    host_.addComponent(widget);
    widget->installEventFilter(watcher_.get());
    QList<QWidget *> walkControls;
    walkControls.swap(newControls_);
    if (!sheet.image.isEmpty()) {
        auto *button = create<QPushButton>(widget, QString());
        button->setText(QStringLiteral("Картинка"));
        button->setGeometry(8, 8, 130, 35);
        dataslot::setTag(button, sheet.number);
        dataslot::setHint(button, sheet.pageFile);
        dataslot::setHelpKeyword(button, sheet.caption);
        QObject::connect(button, &QPushButton::clicked, host_.window(),
                         [h = &host_, button] { h->ButImgClick(button); });
    }
    if (sheet.tablePage > 0) {
        auto *button = create<QPushButton>(widget, QString());
        button->setText(QStringLiteral("ОТКРЫТЬ ТАБЛИЦУ!"));
        button->setGeometry(50, 50, 200, 25);
        dataslot::setTag(button, sheet.tableSubTab);
        dataslot::setHint(button, QByteArray::number(sheet.tablePage));
        QObject::connect(button, &QPushButton::clicked, host_.window(),
                         [h = &host_, button] { h->ButTablClick(button); });
    }
    newControls_.swap(walkControls);
    // The sheet is as large as its rows, so its scroll area shows scroll bars when they do not
    // fit the window.
    if (!sheet.extent.isEmpty())
        widget->setMinimumSize(sheet.extent.right() + 1 + Margin,
                               sheet.extent.bottom() + 1 + Margin);
    scroll->show();
    return widget;
}

void TabBuilder::buildOnShow()
{
    buildOnShow_ = true;
    for (int i = 0; i < sheets_.size(); ++i) {
        if (sheets_[i].page->isVisible())
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
        if (i > digits && rows_.numbered(number) >= 0)
            savedRows_.insert(rows_.numbered(number));
    }
}

QWidget *TabBuilder::rowBox(int index)
{
    if (index < 0 || index >= rows_.size() || !rows_[index].hasControls())
        return nullptr;
    buildRows(rows_[index].sheet, {index});
    return qobject_cast<QWidget *>(
        host_.findComponent(RowNames::box(rows_[index].number, rows_[index].trade())));
}

QWidget *TabBuilder::rowSheet(int index)
{
    if (index < 0 || index >= rows_.size())
        return nullptr;
    const int sheet = rows_[index].sheet;
    return sheet >= 0 && sheet < sheets_.size() ? sheetWidget(sheet) : nullptr;
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
    if (i == digits)
        return -1;
    const int index = rows_.numbered(number);
    return index >= 0 && rows_[index].trade() == isTrade ? index : -1;
}

bool TabBuilder::buildRowsFor(const QString &name)
{
    const int index = rowNamed(name);
    if (index < 0 || rows_[index].built)
        return false;
    buildRows(rows_[index].sheet, {index});
    return true;
}

void TabBuilder::buildVisibleRows(int index)
{
    if (index < 0 || index >= sheets_.size() || index == walking_ || sheets_[index].left == 0)
        return;
    Sheet &sheet = sheets_[index];
    QWidget *widget = sheetWidget(index);
    if (!sheet.shown) {
        sheet.shown = true;
        // Rows further away are created as scrolling brings them near.
        if (auto *scroll = qobject_cast<QScrollArea *>(
                widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr)) {
            for (QScrollBar *bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
                QObject::connect(bar, &QScrollBar::valueChanged, watcher_.get(),
                                 [this, index] { buildVisibleRows(index); });
        }
    }
    // What the scroll area shows and as much again on each side.
    QRect area = widget->visibleRegion().boundingRect();
    if (area.isEmpty())
        return;
    area.adjust(-area.width(), -area.height(), area.width(), area.height());
    const int memoWidth = host_.settings().memoWidth;
    const Rows::Sheet &rows = rows_.sheets()[index];
    QList<int> wanted;
    for (int r = rows.first; r < rows.end; ++r) {
        const Rows::Row &row = rows_[r];
        if (row.built || !row.hasControls())
            continue;
        const QRect place = RowGeometry::bounds(
            RowGeometry::inSlot(row.place.x(), row.place.y(), memoWidth), row.entry.trade);
        // A row moved by the user comes back at its saved place, which may be in view.
        if (place.intersects(area) || savedRows_.contains(r))
            wanted.append(r);
    }
    buildRows(index, wanted);
}

void TabBuilder::buildRows(int index, const QList<int> &rows)
{
    if (index < 0 || index >= sheets_.size() || index == walking_) // still being walked
        return;
    QList<int> wanted, unread;
    for (int r : rows) {
        if (!rows_[r].built && rows_[r].hasControls()) {
            wanted.append(r);
            if (!rows_[r].valueRead)
                unread.append(r);
        }
    }
    if (wanted.isEmpty())
        return;
    if (!unread.isEmpty()) {
        // Read now, as the walk would have: the background read gives the same values.
        const ProfileCache::WalkScope walk;
        GameValues values = host_.session().values();
        rows_.readValues(values, unread);
    }
    QWidget *parent = sheetWidget(index);
    Sheet &sheet = sheets_[index];
    sheet.left -= static_cast<int>(wanted.size());
    QList<QWidget *> controls;
    controls.swap(newControls_);
    for (int r : std::as_const(wanted)) {
        rows_[r].built = true;
        if (rows_[r].trade())
            buildTradeRow(parent, rows_[r]);
        else
            buildOrdinaryRow(parent, rows_[r]);
    }
    controls.swap(newControls_);
    // The saved state comes back before the controls are shown: a dragged row appears where it
    // was left, and the sheet grows to hold it.
    if (created_ && !controls.isEmpty())
        created_(controls);
    // Controls appear with their sheet when it is first shown, except on a sheet that is
    // already on screen. Controls hidden on purpose stay so.
    const bool onScreen = parent->isVisible();
    QRect extent;
    for (QWidget *w : std::as_const(controls)) {
        extent = extent.united(w->geometry());
        if (onScreen && !w->testAttribute(Qt::WA_WState_ExplicitShowHide))
            w->show();
    }
    if (!extent.isEmpty())
        parent->setMinimumSize(parent->minimumSize().expandedTo(
            QSize(extent.right() + 1 + Margin, extent.bottom() + 1 + Margin)));
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

ValueBox *TabBuilder::createValueBox(QWidget *parent, const QString &name, const Rows::Row &row)
{
    const CatalogueEntry &entry = row.entry;
    const ParameterLookup::RowValue &value = row.value;
    auto *box = create<ValueBox>(parent, name);
    box->setGeometry(
        RowGeometry::inSlot(row.place.x(), row.place.y(), host_.settings().memoWidth).valueBox);
    box->setText(cp1251::toUnicode(value.text));
    box->setEnabled(value.enabled);
    box->setAbsent(!value.present);
    box->setInherited(cp1251::toUnicode(value.origin));
    // The catalogue's data, as the controls have always carried it; the commands read the row.
    dataslot::setTag(box, entry.number);
    dataslot::setHint(box, entry.help);
    dataslot::setHelpKeyword(box, entry.file);
    // Whether the row shows the whole value, for the commands that read it again.
    box->setProperty("wholeValue", entry.hasFull);
    return box;
}

QPushButton *TabBuilder::createApplyButton(QWidget *parent, const QString &name,
                                           const Rows::Row &row)
{
    const CatalogueEntry &entry = row.entry;
    auto *apply = create<QPushButton>(parent, name);
    apply->setText(QStringLiteral("!!!"));
    apply->setGeometry(
        RowGeometry::inSlot(row.place.x(), row.place.y(), host_.settings().memoWidth).applyButton);
    apply->setEnabled(false);
    dataslot::setTag(apply, entry.page);
    dataslot::setHint(apply, entry.applySection);
    dataslot::setHelpKeyword(apply, entry.applyParam);
    if (!entry.writable())
        dataslot::setMissingKeys(apply, entry.missingKeys.join(", "));
    return apply;
}

void TabBuilder::buildOrdinaryRow(QWidget *parent, const Rows::Row &row)
{
    const CatalogueEntry &entry = row.entry;
    const QString base = RowNames::ordinaryBox(row.number);
    const int memoWidth = host_.settings().memoWidth;

    auto *caption = create<CaptionLabel>(parent, RowNames::sibling(base, Part::Caption));
    caption->setText(cp1251::toUnicode(entry.caption));
    caption->move(RowGeometry::inSlot(row.place.x(), row.place.y(), memoWidth).caption);
    // As wide as its column at most, so it does not run into the next column's captions.
    caption->setMaximumTextWidth(
        qMax(host_.settings().leftAdd - CaptionGap, RowGeometry::ApplyButtonSize));
    dataslot::setTag(caption, entry.subTab);

    ValueBox *box = createValueBox(parent, base, row);

    auto *comment = create<QLabel>(parent, RowNames::sibling(base, Part::Comment));
    comment->setText(cp1251::toUnicode(row.value.commentPart));
    comment->setVisible(false);
    dataslot::setHint(comment, entry.subTabCaption);

    // Attached only now, so filling the box above does not count as a change.
    QObject::connect(box, &ValueBox::clicked, host_.window(),
                     [r = &editor_, box] { r->MemoClick(box); });
    QObject::connect(box, &ValueBox::textChanged, host_.window(),
                     [r = &editor_, box] { r->MemoChange(box); });
    box->setPopupMenu(host_.rowMenu());

    QPushButton *apply = createApplyButton(parent, RowNames::sibling(base, Part::Apply), row);
    QObject::connect(apply, &QPushButton::clicked, host_.window(),
                     [r = &editor_, apply] { r->ButClick(apply); });
    QObject::connect(box, &ValueBox::applyRequested, host_.window(), [r = &editor_, apply] {
        if (apply->isEnabled())
            r->ButClick(apply);
    });
}

void TabBuilder::buildTradeRow(QWidget *parent, const Rows::Row &row)
{
    const CatalogueEntry &entry = row.entry;
    const QString base = RowNames::tradeBox(row.number);

    auto *check = create<QCheckBox>(parent, RowNames::sibling(base, Part::TradeCheck));
    check->setText(cp1251::toUnicode(entry.caption));
    check->setGeometry(
        RowGeometry::inSlot(row.place.x(), row.place.y(), host_.settings().memoWidth).checkBox);
    dataslot::setTag(check, entry.subTab);
    check->setChecked(row.value.checked);
    QObject::connect(check, &QCheckBox::clicked, host_.window(),
                     [r = &editor_, check] { r->CheckClick(check); });

    ValueBox *box = createValueBox(parent, base, row);
    QObject::connect(box, &ValueBox::clicked, host_.window(),
                     [r = &editor_, box] { r->SpinClick(box); });
    QObject::connect(box, &ValueBox::textChanged, host_.window(),
                     [r = &editor_, box] { r->SpinChange(box); });

    QPushButton *apply = createApplyButton(parent, RowNames::sibling(base, Part::TradeApply), row);
    QObject::connect(apply, &QPushButton::clicked, host_.window(),
                     [r = &editor_, apply] { r->ButTradeClick(apply); });
    QObject::connect(box, &ValueBox::applyRequested, host_.window(), [r = &editor_, apply] {
        if (apply->isEnabled())
            r->ButTradeClick(apply);
    });
}
