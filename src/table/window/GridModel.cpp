#include "table/window/GridModel.h"

#include <QApplication>
#include <QPalette>

#include "table/GridCellStore.h"
#include "textcodec/Cp1251.h"

GridModel::GridModel(GridCellStore &store, QObject *parent)
    : QAbstractTableModel(parent), store_(store)
{
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : store_.rowCount();
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : store_.columnCount();
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cp1251::toUnicode(store_.cell(index.column(), index.row()));
    case Qt::BackgroundRole:
        if (isFixed(index))
            return QApplication::palette().button();
        return {};
    case Qt::ForegroundRole:
        if (isFixed(index))
            return QApplication::palette().buttonText();
        if (inheritedAt(index))
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::ToolTipRole:
        if (const Inherited *cell = inheritedAt(index))
            return cell->note;
        // Captions and sub-tab names may be cut to their column's width: shown whole here.
        if (isFixed(index) && (index.row() > 0 || index.column() > 0))
            return cp1251::toUnicode(store_.cell(index.column(), index.row()));
        return {};
    default:
        return {};
    }
}

void GridModel::setInherited(QHash<quint64, Inherited> cells)
{
    beginResetModel();
    inherited_ = std::move(cells);
    endResetModel();
}

const GridModel::Inherited *GridModel::inheritedAt(const QModelIndex &index) const
{
    const auto it =
        inherited_.constFind((quint64(quint32(index.column())) << 32) | quint32(index.row()));
    if (it == inherited_.constEnd() || store_.cell(index.column(), index.row()) != it->text)
        return nullptr;
    return &it.value();
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || isFixed(index))
        return false;
    const QString text = value.toString();
    QByteArray bytes;
    if (!cp1251::fromUnicode(text, &bytes)) {
        emit textRefused(text);
        return false;
    }
    if (bytes == store_.cell(index.column(), index.row()))
        return true;
    store_.setCell(index.column(), index.row(), bytes);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!isFixed(index))
        f |= Qt::ItemIsEditable;
    return f;
}
