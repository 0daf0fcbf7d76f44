#pragma once

#include "table.h"

#include <QList>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <unordered_map>

class StoreConnection;

enum class DatasetState
{
    Inactive,
    Browse,
    Edit,
    Insert
};

// A record set over one fixed SQL text on the store's connection: what the data modules and the
// windows need of one, and no more. Opening reads the rows once (a snapshot, as the lookup
// datasets always were); every post and delete goes to the file at once, row by row, and the
// snapshot follows it. Rows of a single-table query are written back by the table's row id;
// a query over several tables (or with a count) is read-only.
//
// Moving to another row while a row is being edited or inserted posts it first.
//
// The pictures (binary columns) of a writable dataset are not kept in the snapshot: a row's large
// values are read from the file when the row is first asked for (by value, edit, rowValues...), so
// opening thousands of rows with pictures holds only the rows that are looked at.
//
// The statements that write rows back are prepared once per text and kept while the dataset is
// open: a loop that posts thousands of rows would otherwise spend most of its time parsing SQL.
class Dataset : public QObject
{
    Q_OBJECT

public:
    // Distinct write statements kept prepared (an UPDATE's text depends on the columns changed).
    static constexpr int MaxPreparedStatements = 16;

    Dataset(StoreConnection* connection, const QString& name, const QString& sql = {}, QObject* parent = nullptr);
    ~Dataset() override;

    QString name() const { return objectName(); }
    StoreConnection* connection() const { return m_connection; }

    // A new text closes the dataset.
    void setSql(const QString& sql);
    QString sql() const { return m_sql; }
    // Named parameter without its colon (":aTopicID" is "aTopicID"); names compare without case.
    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const;

    void open();
    void close();
    bool isOpen() const { return m_state != DatasetState::Inactive; }
    // Reads the rows again with the current parameters; the first row becomes current.
    void requery();
    DatasetState state() const { return m_state; }
    bool isWritable() const { return !m_table.isEmpty(); }
    QString tableName() const { return m_table; }

    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty() && m_state != DatasetState::Insert; }
    // 1 for the first row; 0 when there is none or a new row is being inserted at the end.
    int recNo() const;
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);
    // Makes the first row whose field equals the value current; false (and no move) when none.
    bool locate(const QString& field, const QVariant& value, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    void edit();
    // Start a new row before the current one / at the end. False when a before-insert handler
    // abandoned it (silently, as the data modules want).
    bool insert();
    bool append();
    void post();
    void cancel();
    // Deletes the current row; the next one becomes current.
    void remove();

    int fieldCount() const { return int(m_fields.size()); }
    const QList<Column>& fields() const { return m_fields; }
    QStringList fieldNames() const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0 || calcIndex(name) >= 0; }
    int fieldIndex(const QString& name) const;
    // The current row's value (or the pending one while editing); null when there is no row.
    QVariant value(const QString& field) const;
    QVariant value(int ordinal) const;
    // Only while editing or inserting.
    void setValue(const QString& field, const QVariant& value);
    void setValue(int ordinal, const QVariant& value);
    // The current row in field order (stored values, calculated fields left out).
    QVariantList currentValues() const;
    // A row as read or last posted, by its index (recNo() - 1), without moving to it.
    const QVariantList& rowValues(int index) const { return wholeRow(index).values; }

    // A computed column seen through value() by its name.
    void addCalculatedField(const QString& name, std::function<QVariant(const Dataset&)> compute);

    // Events, named as the windows know them.
    std::function<bool(Dataset&)> beforeInsert; // false: the insert is abandoned
    std::function<void(Dataset&)> onNewRecord;  // fills a new row's first values
    std::function<void(Dataset&)> afterInsert;
    std::function<void(Dataset&)> beforePost;
    std::function<void(Dataset&)> afterPost;
    std::function<void(Dataset&)> beforeDelete;
    std::function<void(Dataset&)> afterDelete;
    std::function<void(Dataset&)> afterScroll;
    std::function<void(Dataset&)> afterOpen;

    // The connection is being destroyed before this dataset.
    void connectionGone();

private:
    struct Row
    {
        qint64 rowId = 0;
        QVariantList values;
        bool whole = true; // false: the large values are still only in the file
    };
    // The row with its large values read in.
    const Row& wholeRow(int index) const;
    int calcIndex(const QString& name) const;
    bool startInsert(bool atEnd);
    void postPending();
    void scrolled();
    void requireOpen() const;
    void requireWritable() const;
    QString quotedColumns() const;
    // The select list that stands for "*": the table's columns, its pictures read as null.
    QString columnsWithoutLargeValues() const;
    Row readBack(qint64 rowId);
    // The statement of this text, prepared on first use; AppError when it cannot be prepared.
    // Adding one to a full set drops the others (references to them included).
    QSqlQuery& prepared(const QString& text) const;
    static void execute(QSqlQuery& query);

    StoreConnection* m_connection;
    QString m_sql;
    QVariantMap m_params;
    DatasetState m_state = DatasetState::Inactive;
    QString m_table; // the one table the rows come from; empty when read-only
    QList<Column> m_fields;
    // Filled in on demand by wholeRow(), which the const readers call.
    mutable QList<Row> m_rows;
    QList<int> m_deferred; // ordinals of the large columns read with their row on first need
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;
    QVariantList m_buffer;
    QList<bool> m_modified;
    int m_insertAt = -1;
    struct Calculated
    {
        QString name;
        std::function<QVariant(const Dataset&)> compute;
    };
    QList<Calculated> m_calculated;
    // Node-based: a reference to one statement stays valid while another is added.
    mutable std::unordered_map<QString, QSqlQuery> m_prepared;
};
