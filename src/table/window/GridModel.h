#pragma once

#include <QAbstractTableModel>
#include <QHash>

class GridCellStore;

// One grid of the table view over its cell store. Row 0 and column 0 are the fixed header
// cells: shown like headers, never edited, yet ordinary cells of the store ((0, 0) holds "Имя").
// Texts are Windows-1251 in the store and Unicode on screen; text that Windows-1251 cannot
// hold is refused (textRefused) and the cell keeps its text.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit GridModel(GridCellStore &store, QObject *parent = nullptr);

    GridCellStore &store() const { return store_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static bool isFixed(const QModelIndex &index)
    {
        return index.row() == 0 || index.column() == 0;
    }

    // Call around any change of the store made past the model (filling, loading).
    void beginChange() { beginResetModel(); }
    void endChange() { endResetModel(); }

    // Cells that show a value inherited from a parent section, by column << 32 | row: the text
    // they were filled with and a note on where it comes from. While a cell keeps that text it
    // is shown greyed, with the note as its tool tip.
    struct Inherited
    {
        QByteArray text;
        QString note;
    };
    void setInherited(QHash<quint64, Inherited> cells);

signals:
    void textRefused(const QString &text);

private:
    const Inherited *inheritedAt(const QModelIndex &index) const;

    GridCellStore &store_;
    QHash<quint64, Inherited> inherited_;
};
