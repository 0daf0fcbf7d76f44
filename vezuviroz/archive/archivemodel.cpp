#include "archivemodel.h"

#include "archivequery.h"

#include <QLocale>

ArchiveModel::ArchiveModel(ArchiveQuery* query, QObject* parent) : QAbstractTableModel(parent), m_query(query)
{
    connect(query, &ArchiveQuery::aboutToReread, this, &ArchiveModel::beginResetModel);
    connect(query, &ArchiveQuery::rowsReread, this, &ArchiveModel::endResetModel);
    connect(query, &ArchiveQuery::aboutToSort, this, [this] { Q_EMIT layoutAboutToBeChanged(); });
    connect(query, &ArchiveQuery::sorted, this, [this] { Q_EMIT layoutChanged(); });
}

int ArchiveModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_query->rowCount();
}

int ArchiveModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ArchiveFieldCount;
}

QString ArchiveDateText(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    if (date.time() == QTime(0, 0))
        return QLocale().toString(date.date(), QLocale::ShortFormat);
    return QLocale().toString(date, QLocale::ShortFormat);
}

QVariant ArchiveModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_query->rowCount() || index.column() >= ArchiveFieldCount)
        return {};
    const int row = index.row();
    const auto field = ArchiveField(index.column());
    if (role == Qt::TextAlignmentRole && field == ArchiveField::Points)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (field) {
    case ArchiveField::Date:
        return ArchiveDateText(m_query->date(row));
    case ArchiveField::PcName:
        return m_query->pcName(row);
    case ArchiveField::Klass:
        return m_query->klass(row);
    case ArchiveField::Name:
        return m_query->name(row);
    case ArchiveField::Points:
        return PointsText(m_query->points(row));
    case ArchiveField::RightsPercent:
        return PercentText(m_query->rightsPercent(row));
    case ArchiveField::Topic:
        return m_query->topic(row);
    }
    return {};
}

QVariant ArchiveModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ArchiveFieldCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return ArchiveFieldTitle(ArchiveField(section));
}

void ArchiveModel::sort(int column, Qt::SortOrder)
{
    if (column >= 0 && column < ArchiveFieldCount)
        m_query->sortBy(ArchiveField(column));
}
