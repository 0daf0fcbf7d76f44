#include "datasetgrid.h"

#include "dataset.h"

DatasetGrid::DatasetGrid(Dataset* dataset, const QString& field, const QString& title, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset), m_field(field), m_title(title)
{}

int DatasetGrid::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_dataset->isOpen())
        return 0;
    return m_dataset->recordCount() + (m_dataset->state() == DatasetState::Insert ? 1 : 0);
}

int DatasetGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant DatasetGrid::valueAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    if (row == currentRow())
        return m_dataset->value(m_field);
    return m_dataset->rowValues(row).value(m_dataset->fieldIndex(m_field));
}

QVariant DatasetGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariant v = valueAt(index.row());
    return v.isValid() ? v.toString() : QString();
}

bool DatasetGrid::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_editable)
        return false;
    if (valueAt(index.row()).toString() == value.toString())
        return false;
    setCurrentRow(index.row());
    m_dataset->edit();
    m_dataset->setValue(m_field, value.toString());
    Q_EMIT dataChanged(index, index);
    Q_EMIT stateChanged();
    return true;
}

Qt::ItemFlags DatasetGrid::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | (m_editable ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

QVariant DatasetGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return m_title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

int DatasetGrid::currentRow() const
{
    if (!m_dataset->isOpen())
        return -1;
    if (m_dataset->state() == DatasetState::Insert)
        return m_dataset->recordCount();
    return m_dataset->recNo() - 1;
}

bool DatasetGrid::isEditing() const
{
    return m_dataset->state() == DatasetState::Edit || m_dataset->state() == DatasetState::Insert;
}

// Any step may post or drop a pending row, which changes the rows: the views are told afresh.
template <typename Change> void DatasetGrid::change(Change&& work)
{
    beginResetModel();
    try {
        work();
    } catch (...) {
        endResetModel();
        Q_EMIT stateChanged();
        throw;
    }
    endResetModel();
    Q_EMIT stateChanged();
}

void DatasetGrid::setCurrentRow(int row)
{
    if (row == currentRow() || row < 0 || row >= m_dataset->recordCount())
        return;
    // Posting a new row puts it among the others, so the target is counted after the post.
    if (isEditing())
        change([&] { m_dataset->post(); });
    m_dataset->moveBy(row - currentRow());
    Q_EMIT stateChanged();
}

void DatasetGrid::first()
{
    change([&] { m_dataset->first(); });
}

void DatasetGrid::prior()
{
    change([&] { m_dataset->prior(); });
}

void DatasetGrid::next()
{
    change([&] { m_dataset->next(); });
}

void DatasetGrid::last()
{
    change([&] { m_dataset->last(); });
}

bool DatasetGrid::append()
{
    bool added = false;
    change([&] { added = m_dataset->append(); });
    return added;
}

void DatasetGrid::remove()
{
    if (currentRow() < 0)
        return;
    change([&] { m_dataset->remove(); });
}

void DatasetGrid::post()
{
    change([&] { m_dataset->post(); });
}

void DatasetGrid::postPending()
{
    if (isEditing())
        post();
}

void DatasetGrid::cancel()
{
    change([&] { m_dataset->cancel(); });
}

void DatasetGrid::reset()
{
    change([] {});
}
