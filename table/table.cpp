#include "table.h"

Table::Table(QList<Column> columns)
{
    for (const Column& c : columns)
        addColumn(c);
}

int Table::columnIndex(const QString& name) const
{
    return m_ordinals.value(name.toLower(), -1);
}

void Table::addColumn(const Column& column)
{
    m_ordinals.insert(column.name.toLower(), int(m_columns.size()));
    m_columns.append(column);
    for (QVariantList& r : m_rows)
        r.append(QVariant());
}

void Table::appendRow(QVariantList values)
{
    values.resize(m_columns.size());
    m_rows.append(std::move(values));
}

QVariant Table::value(int row, const QString& column) const
{
    const int ordinal = columnIndex(column);
    return ordinal < 0 ? QVariant() : m_rows[row][ordinal];
}

void Table::setValue(int row, const QString& column, const QVariant& value)
{
    const int ordinal = columnIndex(column);
    if (ordinal >= 0)
        m_rows[row][ordinal] = value;
}
