#include "catalogue/Rows.h"

#include <atomic>
#include <thread>
#include <utility>

#include "gamefiles/GamePath.h"
#include "gamefiles/GameValues.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"

using ParameterLookup::RowValue;

// One read of every row's value on a thread of its own. It works on copies of the rows' keys,
// so the rows may be read and changed meanwhile; its values are taken on the window's thread.
class Rows::Background
{
public:
    struct Key
    {
        int row;
        QByteArray file, section, param;
        bool trade, hasFull;
    };

    Background(GameValues values, std::vector<Key> keys, std::function<void()> done)
        : keys_(std::move(keys))
    {
        thread_ = std::thread([this, values = std::move(values), done = std::move(done)]() mutable {
            run(values);
            if (done && !stop_.load(std::memory_order_relaxed))
                done();
        });
    }
    ~Background()
    {
        stop_.store(true, std::memory_order_relaxed);
        wait();
    }

    void wait()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool finished() const { return finished_.load(std::memory_order_acquire); }

    // Valid once the thread has ended.
    const std::vector<Key> &keys() const { return keys_; }
    const std::vector<RowValue> &values() const { return values_; }
    const QStringList &problems() const { return problems_; }

private:
    void run(GameValues &values)
    {
        const ProfileCache::WalkScope walk; // each file read and resolved once
        values_.reserve(keys_.size());
        for (const Key &key : keys_) {
            if (stop_.load(std::memory_order_relaxed))
                break;
            values_.push_back(ParameterLookup::rowValueOf(values, key.file, key.section, key.param,
                                                          key.trade, !key.trade && key.hasFull));
        }
        problems_ = values.takeProblems();
        finished_.store(true, std::memory_order_release);
    }

    std::vector<Key> keys_;
    std::vector<RowValue> values_;
    QStringList problems_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

Rows::Rows() = default;

Rows::~Rows() = default;

int Rows::numbered(int number) const
{
    return number >= 0 && number < named() ? byNumber_[std::size_t(number)] : -1;
}

void Rows::reserve(int more)
{
    const std::size_t wanted = rows_.size() + std::size_t(qMax(more, 0));
    if (wanted > rows_.capacity())
        rows_.reserve(qMax(wanted, rows_.capacity() * 2));
}

void Rows::addSheet(const QString &page, const QString &subTab)
{
    Sheet sheet;
    sheet.page = page;
    sheet.subTab = subTab;
    sheet.first = sheet.end = size();
    sheets_.append(std::move(sheet));
}

int Rows::add(Row &&row, bool withControls)
{
    const int index = size();
    if (search_ || !byKey_.isEmpty() || !byFile_.isEmpty()) {
        search_.reset();
        byKey_.clear();
        byFile_.clear();
    }
    row.sheet = static_cast<int>(sheets_.size()) - 1;
    row.number = withControls ? named() : -1;
    if (withControls)
        byNumber_.push_back(index);
    // An entry of a table page shows no value of its own.
    row.valueRead = !withControls;
    unread_ += withControls ? 1 : 0;
    rows_.push_back(std::move(row));
    if (!sheets_.isEmpty())
        sheets_.last().end = size();
    return index;
}

RowValue Rows::readValue(GameValues &values, const CatalogueEntry &entry)
{
    return ParameterLookup::rowValueOf(values, entry.file, entry.section, entry.param, entry.trade,
                                       !entry.trade && entry.hasFull);
}

void Rows::readValues(GameValues &values, const QList<int> &rows)
{
    for (const int index : rows) {
        if (index >= 0 && index < size() && !rows_[std::size_t(index)].valueRead)
            setValue(index, readValue(values, rows_[std::size_t(index)].entry));
    }
}

void Rows::setValue(int index, RowValue value)
{
    Row &row = rows_[std::size_t(index)];
    row.value = std::move(value);
    if (!row.valueRead) {
        row.valueRead = true;
        --unread_;
    }
    if (search_)
        search_->replace(index, searchItem(row));
}

void Rows::setTyped(int index, const QByteArray &text)
{
    RowValue value = rows_[std::size_t(index)].value;
    value.text = text;
    value.inherited = false;
    value.origin.clear();
    setValue(index, std::move(value));
}

void Rows::readInBackground(GameValues values, std::function<void()> done)
{
    background_.reset();
    std::vector<Background::Key> keys;
    keys.reserve(byNumber_.size());
    for (const int index : byNumber_) {
        const CatalogueEntry &e = rows_[std::size_t(index)].entry;
        keys.push_back({index, e.file, e.section, e.param, e.trade, e.hasFull});
    }
    background_ = std::make_unique<Background>(std::move(values), std::move(keys), std::move(done));
}

bool Rows::readingInBackground() const
{
    return background_ && !background_->finished();
}

void Rows::cancelBackground()
{
    background_.reset();
}

QStringList Rows::finishBackground()
{
    if (!background_)
        return {};
    background_->wait();
    const std::vector<Background::Key> &keys = background_->keys();
    const std::vector<RowValue> &values = background_->values();
    // Rows read meanwhile keep their value: it is as new as this one, or newer.
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = keys[i].row;
        if (!rows_[std::size_t(index)].valueRead)
            setValue(index, values[i]);
    }
    QStringList problems = background_->problems();
    background_.reset();
    return problems;
}

QStringList Rows::readAll(GameValues &values)
{
    QStringList problems = finishBackground();
    if (allRead())
        return problems;
    const ProfileCache::WalkScope walk;
    for (int i = 0; i < size(); ++i) {
        if (!rows_[std::size_t(i)].valueRead)
            setValue(i, readValue(values, rows_[std::size_t(i)].entry));
    }
    for (const QString &problem : values.takeProblems())
        if (!problems.contains(problem))
            problems.append(problem);
    return problems;
}

QByteArray Rows::keyOf(const QByteArray &file, const QByteArray &section, const QByteArray &key)
{
    return sameFileKey(file) + '\0' + cp1251::foldCase(section) + '\0' + cp1251::foldCase(key);
}

const QHash<QByteArray, QList<int>> &Rows::byFile() const
{
    if (byFile_.isEmpty()) {
        for (int i = 0; i < size(); ++i)
            byFile_[sameFileKey(rows_[std::size_t(i)].entry.file)].append(i);
    }
    return byFile_;
}

QList<int> Rows::showing(const QByteArray &file, const QByteArray &section,
                         const QByteArray &key) const
{
    if (byKey_.isEmpty()) {
        for (int i = 0; i < size(); ++i) {
            const CatalogueEntry &e = rows_[std::size_t(i)].entry;
            byKey_[keyOf(e.file, e.applySection, e.applyParam)].append(i);
        }
    }
    QList<int> found = byKey_.value(keyOf(file, section, key));
    found.removeIf([this](int i) { return rows_[std::size_t(i)].deleted; });
    return found;
}

SearchItem Rows::searchItem(const Row &row)
{
    const CatalogueEntry &e = row.entry;
    const RowValue &v = row.value;
    return {e.caption, e.applyParam, e.applySection,
            e.file,    e.help,       v.inherited ? v.text + ' ' + v.origin : v.text};
}

QList<int> Rows::find(QByteArrayView query) const
{
    if (!search_) {
        search_ = std::make_unique<ParameterSearch>();
        for (const Row &row : rows_)
            search_->add(searchItem(row));
    }
    QList<int> found = search_->find(query);
    found.removeIf([this](int i) { return rows_[std::size_t(i)].deleted; });
    return found;
}

QList<int> Rows::deleteEntry(int index, const std::function<QByteArray(const Row &)> &sectionKeyOf)
{
    QList<int> renumbered;
    if (index < 0 || index >= size() || rows_[std::size_t(index)].deleted)
        return renumbered;
    Row &gone = rows_[std::size_t(index)];
    gone.deleted = true;
    const int number = gone.entry.number;
    const QByteArray section = sectionKeyOf(gone);
    if (section.isEmpty())
        return renumbered;
    // Several pages may list their sub-tabs in one page file: every row of that file's section
    // follows, whichever page shows it. Rows of one sub-tab share their section.
    QHash<QPair<int, int>, bool> sameSection;
    for (int i = 0; i < size(); ++i) {
        Row &row = rows_[std::size_t(i)];
        if (row.deleted || row.entry.number <= number)
            continue;
        const QPair<int, int> where(row.entry.page, row.entry.subTab);
        auto it = sameSection.find(where);
        if (it == sameSection.end())
            it = sameSection.insert(where, sectionKeyOf(row) == section);
        if (!*it)
            continue;
        --row.entry.number;
        renumbered.append(i);
    }
    return renumbered;
}
