#include "dataset.h"

#include "apperror.h"
#include "schema.h"
#include "sqldialect.h"
#include "storeconnection.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

constexpr char RowIdField[] = "vastrel_rowid";

QStringList fromTables(const QString& sql)
{
    static const QRegularExpression from(QStringLiteral(R"(\bFROM\s+(\w+(?:\s*,\s*\w+)*))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = from.match(sql);
    if (!m.hasMatch())
        return {};
    QStringList tables;
    for (const QString& t : m.captured(1).split(u','))
        tables.append(t.trimmed());
    return tables;
}

bool isPlainSelect(const QString& sql)
{
    static const QRegularExpression select(QStringLiteral(R"(^\s*SELECT\s)"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression aggregate(
        QStringLiteral(R"(\b(COUNT|SUM|AVG|MIN|MAX)\s*\(|\bGROUP\s+BY\b|\bDISTINCT\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return select.match(sql).hasMatch() && !aggregate.match(sql).hasMatch();
}

ColumnType typeOfValue(const QSqlField& field)
{
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return ColumnType::Int;
    case QMetaType::Double:
        return ColumnType::Double;
    case QMetaType::QByteArray:
        return ColumnType::Binary;
    case QMetaType::Bool:
        return ColumnType::Bool;
    default:
        return ColumnType::Text;
    }
}

QVariant normalized(ColumnType type, const QVariant& value)
{
    if (type == ColumnType::Bool)
        return value.isValid() && !value.isNull() && value.toBool();
    return FromStoreValue(type, ToStoreValue(type, value));
}

QString quoted(const QString& name)
{
    return u'"' + name + u'"';
}

} // namespace

Dataset::Dataset(StoreConnection* connection, const QString& name, const QString& sql, QObject* parent)
    : QObject(parent), m_connection(connection), m_sql(sql)
{
    setObjectName(name);
    if (m_connection)
        m_connection->attach(this);
}

Dataset::~Dataset()
{
    if (m_connection)
        m_connection->detach(this);
}

void Dataset::connectionGone()
{
    close();
    m_connection = nullptr;
}

void Dataset::setSql(const QString& sql)
{
    close();
    m_sql = sql;
}

void Dataset::setParam(const QString& name, const QVariant& value)
{
    for (auto it = m_params.begin(); it != m_params.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            it.value() = value;
            return;
        }
    m_params.insert(name, value);
}

QVariant Dataset::param(const QString& name) const
{
    for (auto it = m_params.cbegin(); it != m_params.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

void Dataset::open()
{
    if (isOpen())
        return;
    if (!m_connection || !m_connection->isOpen())
        throw AppError(QStringLiteral("База данных не открыта (%1).").arg(name()));
    const DialectStatement st = ToSqliteDialect(m_sql);
    if (!st.externalPath.isEmpty())
        throw AppError(QStringLiteral("Текст набора данных %1 не является запросом.").arg(name()));

    const QStringList tables = fromTables(st.sql);
    QString text = st.sql;
    m_table.clear();
    if (tables.size() == 1 && isPlainSelect(text)) {
        m_table = tables.first();
        static const QRegularExpression select(QStringLiteral(R"(^\s*SELECT\s)"),
                                               QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression selectAll(QStringLiteral(R"(^\s*SELECT\s+\*\s)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        const QString rowId = QStringLiteral("SELECT rowid AS %1, ").arg(QLatin1String(RowIdField));
        if (selectAll.match(text).hasMatch())
            text.replace(selectAll, rowId + columnsWithoutLargeValues() + u' ');
        else
            text.replace(select, rowId);
    }

    QList<Column> fields;
    QList<Row> rows;
    QList<int> deferred;
    {
        QSqlQuery q(m_connection->database());
        m_connection->runQuery(q, text, m_params);
        const QSqlRecord record = q.record();
        const int firstField = m_table.isEmpty() ? 0 : 1;
        const SchemaTable* own = m_table.isEmpty() ? nullptr : FindSchemaTable(m_table);
        for (int i = firstField; i < record.count(); ++i) {
            const QString fieldName = record.fieldName(i);
            Column column{fieldName, typeOfValue(record.field(i))};
            for (const QString& t : tables) {
                if (const SchemaTable* table = FindSchemaTable(t))
                    if (const SchemaColumn* sc = table->find(fieldName)) {
                        column = sc->column;
                        column.name = fieldName;
                        break;
                    }
            }
            fields.append(column);
            // Only a column of the table itself can be read again by the row id.
            if (column.type == ColumnType::Binary && own && own->find(fieldName))
                deferred.append(int(fields.size()) - 1);
        }
        while (q.next()) {
            Row row;
            if (!m_table.isEmpty())
                row.rowId = q.value(0).toLongLong();
            row.values.reserve(fields.size());
            for (int i = 0; i < fields.size(); ++i)
                row.values.append(deferred.contains(i) ? QVariant()
                                                       : FromStoreValue(fields[i].type, q.value(i + firstField)));
            row.whole = deferred.isEmpty();
            rows.append(std::move(row));
        }
    }
    m_fields = std::move(fields);
    m_deferred = std::move(deferred);
    m_rows = std::move(rows);
    m_state = DatasetState::Browse;
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    if (afterOpen)
        afterOpen(*this);
    scrolled();
}

QString Dataset::columnsWithoutLargeValues() const
{
    const SchemaTable* own = FindSchemaTable(m_table);
    const auto large = [own](const QString& column) {
        const SchemaColumn* sc = own ? own->find(column) : nullptr;
        return sc && sc->column.type == ColumnType::Binary;
    };
    if (!own || std::none_of(own->columns.cbegin(), own->columns.cend(),
                             [&](const SchemaColumn& c) { return large(c.column.name); }))
        return QStringLiteral("*");
    // The columns as the file has them, in its order, so that "*" keeps its meaning.
    QStringList columns;
    QSqlQuery info(m_connection->database());
    m_connection->runQuery(info, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_table)), {});
    while (info.next()) {
        const QString column = info.value(1).toString();
        columns.append(large(column) ? QStringLiteral("NULL AS ") + quoted(column) : quoted(column));
    }
    return columns.join(u',');
}

void Dataset::close()
{
    // The statements belong to the connection as it is now: it may be closed or reopened next.
    m_prepared.clear();
    m_state = DatasetState::Inactive;
    m_rows.clear();
    m_buffer.clear();
    m_modified.clear();
    m_current = -1;
    m_eof = m_bof = true;
}

void Dataset::requery()
{
    close();
    open();
}

void Dataset::requireOpen() const
{
    if (!isOpen())
        throw AppError(QStringLiteral("Набор данных %1 закрыт.").arg(name()));
}

void Dataset::requireWritable() const
{
    requireOpen();
    if (m_table.isEmpty())
        throw AppError(QStringLiteral("Набор данных %1 только для чтения.").arg(name()));
}

int Dataset::recNo() const
{
    if (m_state == DatasetState::Insert || m_current < 0)
        return 0;
    return m_current + 1;
}

void Dataset::scrolled()
{
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::postPending()
{
    if (m_state == DatasetState::Edit || m_state == DatasetState::Insert)
        post();
}

void Dataset::first()
{
    requireOpen();
    postPending();
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    scrolled();
}

void Dataset::last()
{
    requireOpen();
    postPending();
    m_current = int(m_rows.size()) - 1;
    m_eof = true;
    m_bof = m_rows.isEmpty();
    scrolled();
}

void Dataset::next()
{
    moveBy(1);
}

void Dataset::prior()
{
    moveBy(-1);
}

void Dataset::moveBy(int distance)
{
    requireOpen();
    postPending();
    if (m_rows.isEmpty()) {
        m_eof = m_bof = true;
        return;
    }
    const int target = m_current + distance;
    m_bof = target < 0;
    m_eof = target >= m_rows.size();
    const int clamped = std::clamp(target, 0, int(m_rows.size()) - 1);
    if (clamped != m_current) {
        m_current = clamped;
        scrolled();
    }
}

bool Dataset::locate(const QString& field, const QVariant& value, Qt::CaseSensitivity cs)
{
    requireOpen();
    postPending();
    const int ordinal = fieldIndex(field);
    if (ordinal < 0)
        throw AppError(QStringLiteral("В наборе данных %1 нет поля %2.").arg(name(), field));
    const QVariant wanted = value.isValid() ? normalized(m_fields[ordinal].type, value) : QVariant();
    for (int i = 0; i < m_rows.size(); ++i) {
        const QVariant& have = (m_deferred.contains(ordinal) ? wholeRow(i) : m_rows[i]).values[ordinal];
        bool equal;
        if (!have.isValid() || !wanted.isValid())
            equal = have.isValid() == wanted.isValid();
        else if (have.typeId() == QMetaType::QString)
            equal = have.toString().compare(wanted.toString(), cs) == 0;
        else
            equal = have == wanted;
        if (equal) {
            m_current = i;
            m_eof = m_bof = false;
            scrolled();
            return true;
        }
    }
    return false;
}

void Dataset::edit()
{
    requireWritable();
    if (m_state == DatasetState::Edit || m_state == DatasetState::Insert)
        return;
    if (m_current < 0)
        throw AppError(QStringLiteral("В наборе данных %1 нет записи для изменения.").arg(name()));
    m_buffer = wholeRow(m_current).values;
    m_modified = QList<bool>(m_fields.size(), false);
    m_state = DatasetState::Edit;
}

bool Dataset::insert()
{
    return startInsert(false);
}

bool Dataset::append()
{
    return startInsert(true);
}

bool Dataset::startInsert(bool atEnd)
{
    requireWritable();
    postPending();
    if (beforeInsert && !beforeInsert(*this))
        return false;
    const SchemaTable* table = FindSchemaTable(m_table);
    m_buffer.clear();
    for (const Column& f : std::as_const(m_fields)) {
        const SchemaColumn* sc = table ? table->find(f.name) : nullptr;
        QVariant initial;
        if (f.type == ColumnType::Bool)
            initial = false;
        else if (sc && !sc->defaultSql.isEmpty())
            initial = FromStoreValue(f.type, sc->defaultSql);
        m_buffer.append(initial);
    }
    m_modified = QList<bool>(m_fields.size(), false);
    m_insertAt = atEnd || m_current < 0 ? int(m_rows.size()) : m_current;
    m_state = DatasetState::Insert;
    if (onNewRecord)
        onNewRecord(*this);
    if (afterInsert)
        afterInsert(*this);
    return true;
}

QString Dataset::quotedColumns() const
{
    QStringList names;
    for (const Column& f : m_fields)
        names.append(quoted(f.name));
    return names.join(u',');
}

QSqlQuery& Dataset::prepared(const QString& text) const
{
    if (const auto it = m_prepared.find(text); it != m_prepared.end())
        return it->second;
    if (m_prepared.size() >= size_t(MaxPreparedStatements))
        m_prepared.clear();
    QSqlQuery q(m_connection->database());
    if (!q.prepare(text))
        throw AppError(q.lastError().text());
    return m_prepared.emplace(text, std::move(q)).first->second;
}

void Dataset::execute(QSqlQuery& query)
{
    if (!query.exec()) {
        const QString error = query.lastError().text();
        query.finish();
        throw AppError(error);
    }
}

const Dataset::Row& Dataset::wholeRow(int index) const
{
    Row& row = m_rows[index];
    if (row.whole)
        return row;
    QStringList names;
    for (int ordinal : m_deferred)
        names.append(quoted(m_fields[ordinal].name));
    QSqlQuery& q = prepared(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(names.join(u','), quoted(m_table)));
    q.bindValue(0, row.rowId);
    execute(q);
    // A row another program deleted meanwhile keeps its large values empty.
    if (q.next())
        for (int i = 0; i < m_deferred.size(); ++i)
            row.values[m_deferred[i]] = FromStoreValue(m_fields[m_deferred[i]].type, q.value(i));
    q.finish();
    row.whole = true;
    return row;
}

Dataset::Row Dataset::readBack(qint64 rowId)
{
    QSqlQuery& q = prepared(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(quotedColumns(), quoted(m_table)));
    q.bindValue(0, rowId);
    execute(q);
    Row row{rowId, {}};
    if (q.next())
        for (int i = 0; i < m_fields.size(); ++i)
            row.values.append(FromStoreValue(m_fields[i].type, q.value(i)));
    // A statement left on a row would keep a read open in the file (and block a commit).
    q.finish();
    return row;
}

void Dataset::post()
{
    requireWritable();
    if (m_state != DatasetState::Edit && m_state != DatasetState::Insert)
        return;
    if (beforePost)
        beforePost(*this);
    if (m_state == DatasetState::Edit) {
        QStringList sets;
        QVariantList values;
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_modified[i]) {
                sets.append(quoted(m_fields[i].name) + QStringLiteral("=?"));
                values.append(ToStoreValue(m_fields[i].type, m_buffer[i]));
            }
        if (!sets.isEmpty()) {
            QSqlQuery& q =
                prepared(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quoted(m_table), sets.join(u',')));
            int at = 0;
            for (const QVariant& v : std::as_const(values))
                q.bindValue(at++, v);
            q.bindValue(at, m_rows[m_current].rowId);
            execute(q);
            const int changed = q.numRowsAffected();
            q.finish();
            if (changed == 0)
                throw AppError(QStringLiteral("Запись для изменения не найдена: её удалили."));
            // The buffer holds each value as the store gives it back (setValue normalises it
            // through the column's type), so the row is not read again.
            m_rows[m_current].values = m_buffer;
        }
    } else {
        QStringList names;
        QVariantList values;
        for (int i = 0; i < m_fields.size(); ++i) {
            const bool set = m_modified[i] || (!m_fields[i].autoIncrement && m_buffer[i].isValid());
            if (set) {
                names.append(quoted(m_fields[i].name));
                values.append(ToStoreValue(m_fields[i].type, m_buffer[i]));
            }
        }
        qint64 rowId = 0;
        {
            QStringList marks(names.size(), QStringLiteral("?"));
            QSqlQuery& q =
                prepared(names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table))
                                         : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(quoted(m_table), names.join(u','), marks.join(u',')));
            int at = 0;
            for (const QVariant& v : std::as_const(values))
                q.bindValue(at++, v);
            execute(q);
            rowId = q.lastInsertId().toLongLong();
            q.finish();
        }
        // Read back for the key and the defaults the store filled in.
        Row row = readBack(rowId);
        const int at = std::min(m_insertAt, int(m_rows.size()));
        m_rows.insert(at, std::move(row));
        m_current = at;
        m_eof = m_bof = false;
    }
    m_state = DatasetState::Browse;
    m_buffer.clear();
    m_modified.clear();
    if (afterPost)
        afterPost(*this);
}

void Dataset::cancel()
{
    if (m_state != DatasetState::Edit && m_state != DatasetState::Insert)
        return;
    const bool wasInsert = m_state == DatasetState::Insert;
    m_state = DatasetState::Browse;
    m_buffer.clear();
    m_modified.clear();
    if (wasInsert)
        scrolled();
}

void Dataset::remove()
{
    requireWritable();
    if (m_state == DatasetState::Insert) {
        cancel();
        return;
    }
    cancel();
    if (m_current < 0)
        throw AppError(QStringLiteral("В наборе данных %1 нет записи для удаления.").arg(name()));
    if (beforeDelete)
        beforeDelete(*this);
    {
        QSqlQuery& q = prepared(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoted(m_table)));
        q.bindValue(0, m_rows[m_current].rowId);
        execute(q);
        q.finish();
    }
    m_rows.removeAt(m_current);
    if (m_current >= m_rows.size())
        m_current = int(m_rows.size()) - 1;
    m_eof = m_rows.isEmpty();
    m_bof = m_rows.isEmpty();
    if (afterDelete)
        afterDelete(*this);
    scrolled();
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    for (const Column& f : m_fields)
        names.append(f.name);
    for (const Calculated& c : m_calculated)
        names.append(c.name);
    return names;
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Dataset::calcIndex(const QString& name) const
{
    for (int i = 0; i < m_calculated.size(); ++i)
        if (m_calculated[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant Dataset::value(int ordinal) const
{
    if (ordinal < 0 || ordinal >= m_fields.size())
        return {};
    if (m_state == DatasetState::Edit || m_state == DatasetState::Insert)
        return m_buffer[ordinal];
    if (m_current < 0)
        return {};
    return (m_deferred.contains(ordinal) ? wholeRow(m_current) : m_rows[m_current]).values[ordinal];
}

QVariant Dataset::value(const QString& field) const
{
    const int ordinal = fieldIndex(field);
    if (ordinal >= 0)
        return value(ordinal);
    const int calc = calcIndex(field);
    if (calc >= 0 && isOpen() && (m_current >= 0 || m_state == DatasetState::Insert))
        return m_calculated[calc].compute(*this);
    if (calc < 0 && isOpen())
        throw AppError(QStringLiteral("В наборе данных %1 нет поля %2.").arg(name(), field));
    return {};
}

void Dataset::setValue(int ordinal, const QVariant& value)
{
    if (m_state != DatasetState::Edit && m_state != DatasetState::Insert)
        throw AppError(QStringLiteral("Набор данных %1 не в режиме правки.").arg(name()));
    const QVariant stored = normalized(m_fields[ordinal].type, value);
    if (!FitsColumn(m_fields[ordinal], stored))
        throw AppError(TextTooLongMessage(m_fields[ordinal]));
    m_buffer[ordinal] = stored;
    m_modified[ordinal] = true;
}

void Dataset::setValue(const QString& field, const QVariant& value)
{
    const int ordinal = fieldIndex(field);
    if (ordinal < 0)
        throw AppError(QStringLiteral("В наборе данных %1 нет поля %2.").arg(name(), field));
    setValue(ordinal, value);
}

QVariantList Dataset::currentValues() const
{
    if (m_state == DatasetState::Edit || m_state == DatasetState::Insert)
        return m_buffer;
    if (m_current < 0)
        return {};
    return wholeRow(m_current).values;
}

void Dataset::addCalculatedField(const QString& name, std::function<QVariant(const Dataset&)> compute)
{
    m_calculated.append({name, std::move(compute)});
}
