#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

// The in-memory table: a question set received over the network, loaded from a question or
// result file, or cached by the server. Typed columns with names and ordinals; rows of values in
// column order; a null value is an invalid QVariant.
//
// Value types by column type: Int -> int (32-bit), Bool -> bool, Double -> double,
// Text and Memo -> QString, Binary -> QByteArray, Date -> QDateTime.
enum class ColumnType
{
    Int,
    Bool,
    Double,
    Text,
    Memo,
    Binary,
    Date
};

struct Column
{
    QString name;
    ColumnType type = ColumnType::Int;
    int size = 0; // the greatest length of a Text column in characters; 0 for the other types
    bool nullable = true;
    bool key = false;           // part of the primary key
    bool autoIncrement = false; // numbered by the store (QueID)

    bool operator==(const Column&) const = default;
};

class Table
{
public:
    Table() = default;
    explicit Table(QList<Column> columns);

    const QList<Column>& columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    const Column& column(int ordinal) const { return m_columns[ordinal]; }
    // The ordinal of a column by name, regardless of case; -1 when there is none.
    int columnIndex(const QString& name) const;
    bool hasColumn(const QString& name) const { return columnIndex(name) >= 0; }
    // Adds a column at the end; existing rows get null in it.
    void addColumn(const Column& column);

    int rowCount() const { return int(m_rows.size()); }
    const QVariantList& row(int index) const { return m_rows[index]; }
    // Appends a row; missing trailing values are null, surplus values are dropped.
    void appendRow(QVariantList values);
    void removeRow(int index) { m_rows.removeAt(index); }
    void clearRows() { m_rows.clear(); }

    QVariant value(int row, int ordinal) const { return m_rows[row][ordinal]; }
    // Null when the table has no such column.
    QVariant value(int row, const QString& column) const;
    void setValue(int row, int ordinal, const QVariant& value) { m_rows[row][ordinal] = value; }
    // Does nothing when the table has no such column.
    void setValue(int row, const QString& column, const QVariant& value);

    bool operator==(const Table&) const = default;

private:
    QList<Column> m_columns;
    QHash<QString, int> m_ordinals; // lower-case name -> ordinal
    QList<QVariantList> m_rows;
};

// One row of a table, read by column name.
class TableRow
{
public:
    TableRow(const Table& table, int row) : m_table(&table), m_row(row) {}
    QVariant value(const QString& column) const { return m_table->value(m_row, column); }
    const Table& table() const { return *m_table; }
    int index() const { return m_row; }

private:
    const Table* m_table;
    int m_row;
};
