#pragma once

#include <QAbstractTableModel>

class ArchiveQuery;

// The archive grid's model over the query: values are formed only for the cells a view asks for,
// so a view draws the visible rows and keeps nothing per row of its own.
class ArchiveModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ArchiveModel(ArchiveQuery* query, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sorting goes through the query's rule (a second click on the same title reverses it).
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    ArchiveQuery* query() const { return m_query; }

private:
    ArchiveQuery* m_query;
};

// A result's date as the grid shows it: the date alone when its time is midnight.
QString ArchiveDateText(const QDateTime& date);
