#include "migration.h"

#include "apperror.h"
#include "appfolder.h"
#include "dbutils.h"
#include "jetreader.h"
#include "messages.h"
#include "schema.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "waitcursor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <memory>

namespace {

constexpr char StoreFileName[] = "vs4.mdb";
constexpr char SqliteMagic[] = "SQLite format 3"; // 16 bytes with its NUL
constexpr int MagicBytes = 16;
constexpr char OldConnectionName[] = "vastrel-migration-old";
constexpr char SetAsideName[] = "vs4_jet.mdb";

QString withSeparator(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString quoted(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

// The old database, seen through a second connection. Only ever read.
class OldDatabase
{
public:
    virtual ~OldDatabase() = default;
    // The user tables, as the file spells them.
    virtual QStringList tables() const = 0;
    // Moves one table into the current store; AppError when it fails (the store keeps nothing of it).
    virtual void moveTable(const QString& name, const QString& oldName) = 0;
};

// A SQLite file of an earlier installation: each table goes with one statement that the engine
// runs from the old file's connection into the current file.
class SqliteOldDatabase : public OldDatabase
{
public:
    SqliteOldDatabase(const QString& path, const QString& storePath) : m_storePath(storePath)
    {
        QString error;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QLatin1String(StoreConnection::DriverName), QLatin1String(OldConnectionName));
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(StoreConnection::BusyTimeoutMs));
            if (!db.open()) {
                error = db.lastError().text();
            } else {
                QSqlQuery q(db);
                if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
                    error = q.lastError().text();
                while (q.next())
                    if (!q.value(0).toString().startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
                        m_tables.append(q.value(0).toString());
            }
        }
        if (!error.isEmpty()) {
            close();
            throw AppError(QStringLiteral("Не удалось открыть базу данных \"%1\": %2").arg(path, error));
        }
    }
    ~SqliteOldDatabase() override { close(); }

    QStringList tables() const override { return m_tables; }

    void moveTable(const QString& name, const QString& oldName) override
    {
        // The statement of the move, in the store's dialect: it names the file and the tables.
        const DialectStatement st =
            ToSqliteDialect(SqlFormat(QLatin1String(Sql::MigrateTable), {name, m_storePath, oldName}));
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(OldConnectionName), false);
        QSqlQuery q(db);
        if (!m_attached) {
            q.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(QLatin1String(ExternalSchema)));
            q.addBindValue(st.externalPath);
            if (!q.exec())
                throw AppError(q.lastError().text());
            m_attached = true;
        }
        // Columns go by name: one the old table lacks keeps the store's default, one the store
        // lacks stays behind.
        const SchemaTable* target = FindSchemaTable(st.externalTable);
        QStringList columns;
        if (!q.exec(QStringLiteral("PRAGMA main.table_info(%1)").arg(quoted(st.sourceTable))))
            throw AppError(q.lastError().text());
        while (q.next()) {
            const QString column = q.value(1).toString();
            if (target && target->find(column))
                columns.append(quoted(target->find(column)->column.name));
        }
        if (columns.isEmpty())
            throw AppError(QStringLiteral("В таблице %1 нет ни одного столбца таблицы базы вопросов.").arg(oldName));
        const QString list = columns.join(u',');
        if (!q.exec(QStringLiteral("INSERT INTO %1.%2 (%3) SELECT %3 FROM main.%4")
                        .arg(QLatin1String(ExternalSchema), quoted(st.externalTable), list, quoted(st.sourceTable))))
            throw AppError(q.lastError().text());
    }

private:
    void close()
    {
        if (!QSqlDatabase::contains(QLatin1String(OldConnectionName)))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(QLatin1String(OldConnectionName), false);
            if (m_attached) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("DETACH DATABASE %1").arg(QLatin1String(ExternalSchema)));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(OldConnectionName));
    }

    QString m_storePath;
    QStringList m_tables;
    bool m_attached = false;
};

// A Jet file of the Windows programs: each table is read row by row and written into the store
// in one transaction of its own.
class JetOldDatabase : public OldDatabase
{
public:
    JetOldDatabase(const QString& path, StoreConnection* store) : m_reader(path), m_store(store) {}

    QStringList tables() const override { return m_reader.tableNames(); }

    void moveTable(const QString& name, const QString& oldName) override
    {
        TableImport import(m_store, name);
        m_reader.readTable(
            oldName, [&](const QList<Column>& columns) { import.setColumns(columns); },
            [&](const QVariantList& row) { import.addRow(row); });
        import.commit();
    }

private:
    JetReader m_reader;
    StoreConnection* m_store;
};

std::unique_ptr<OldDatabase> openOld(const QString& path, StoreConnection* store)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Не удалось открыть базу данных \"%1\": %2").arg(path, file.errorString()));
    const QByteArray head = file.read(JetReader::HeaderBytes);
    file.close();
    if (head.startsWith(QByteArray(SqliteMagic, MagicBytes)))
        return std::make_unique<SqliteOldDatabase>(path, store->path());
    if (JetReader::hasJetSignature(head))
        return std::make_unique<JetOldDatabase>(path, store);
    throw AppError(QStringLiteral("Не удалось открыть базу данных \"%1\": файл не является базой данных.").arg(path));
}

QString findTable(const QStringList& tables, const QString& name)
{
    for (const QString& t : tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return {};
}

// The file that a lower-cased name from the folder search stands for: names on this system differ
// by case, so "EKZ2.MDB" is found as "ekz2.mdb" and must be opened by its own spelling.
QString actualFile(const QString& folder, const QString& lowerName)
{
    const QDir dir(folder);
    if (dir.exists(lowerName))
        return dir.filePath(lowerName);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.toLower() == lowerName)
            return dir.filePath(entry);
    return dir.filePath(lowerName);
}

} // namespace

TableImport::TableImport(StoreConnection* store, const QString& table)
    : m_db(store->database()), m_target(FindSchemaTable(table))
{
    if (!m_target)
        throw AppError(QStringLiteral("Нет таблицы %1.").arg(table));
    if (!m_db.transaction())
        throw AppError(m_db.lastError().text());
    m_open = true;
    m_insert = std::make_unique<QSqlQuery>(m_db);
}

TableImport::~TableImport()
{
    m_insert.reset();
    if (m_open)
        m_db.rollback();
}

void TableImport::setColumns(const QList<Column>& columns)
{
    m_mapping.clear();
    QStringList names;
    for (int i = 0; i < columns.size(); ++i)
        if (const SchemaColumn* c = m_target->find(columns[i].name)) {
            m_mapping.append({i, c->column});
            names.append(quoted(c->column.name));
        }
    if (m_mapping.isEmpty())
        throw AppError(QStringLiteral("В таблице %1 нет ни одного столбца таблицы базы вопросов.").arg(m_target->name));
    const QString marks = QStringList(names.size(), QStringLiteral("?")).join(u',');
    if (!m_insert->prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(quoted(m_target->name), names.join(u','), marks)))
        throw AppError(m_insert->lastError().text());
}

void TableImport::addRow(const QVariantList& row)
{
    if (m_mapping.isEmpty())
        throw AppError(QStringLiteral("Строка таблицы %1 без описания столбцов.").arg(m_target->name));
    const QString source = QStringLiteral("Перенос таблицы %1").arg(m_target->name);
    for (int i = 0; i < m_mapping.size(); ++i) {
        const Column& column = m_mapping[i].second;
        const QVariant value = ShortenForColumn(column, row.value(m_mapping[i].first), source);
        m_insert->bindValue(i, ToStoreValue(column.type, value));
    }
    if (!m_insert->exec())
        throw AppError(m_insert->lastError().text());
    ++m_rows;
}

void TableImport::commit()
{
    m_insert.reset();
    if (!m_db.commit())
        throw AppError(m_db.lastError().text());
    m_open = false;
}

QStringList MigratedTables()
{
    return {QStringLiteral("Topics"),   QStringLiteral("Questions"), QStringLiteral("Klasses"),
            QStringLiteral("Students"), QStringLiteral("Results"),   QStringLiteral("Settings")};
}

MigrationOutcome MigrateDatabase(StoreConnection* connection, const QString& oldPath, const ConfirmMove& confirm)
{
    QStringList failed;
    {
        WaitCursor wait;
        std::unique_ptr<OldDatabase> old = openOld(oldPath, connection);
        const QStringList oldTables = old->tables();

        if (!IsDatabaseEmpty(connection->database()) && !confirm(QString::fromUtf8(MigrationTexts::NotEmptyQuestion)))
            return {};

        for (const QString& table : MigratedTables()) {
            const QString oldName = findTable(oldTables, table);
            if (oldName.isEmpty())
                continue; // nothing to move counts as moved
            try {
                old->moveTable(table, oldName);
            } catch (const AppError&) {
                failed.append(table);
                break;
            }
        }
    }

    if (!failed.isEmpty())
        return {false,
                {{SqlFormat(QString::fromUtf8(MigrationTexts::TablesFailed), {failed.join(QStringLiteral(", "))}),
                  MsgIcon::Warning}}};

    const QFileInfo info(oldPath);
    const QString newName = UniqueFileName(
        SqlFormat(QString::fromUtf8(MigrationTexts::MovedOldName),
                  {withSeparator(info.absolutePath()), info.completeBaseName(), QLatin1String(StoreFileName)}));
    const QString told = QFile::rename(oldPath, newName)
                             ? QString::fromUtf8(MigrationTexts::AllMoved)
                             : SqlFormat(QString::fromUtf8(MigrationTexts::AllMovedDeleteOld), {oldPath});

    const QString storePath = connection->path();
    connection->close();
    connection->open(storePath);
    connection->openAllDatasets();
    return {true, {{told, MsgIcon::Information}}};
}

MigrationOutcome CheckOldDatabases(StoreConnection* connection, const ConfirmMove& confirm)
{
    QStringList files;
    {
        WaitCursor wait;
        FindFiles(AppFolder(), QStringLiteral("ekz*.mdb"), files, false, false);
        FindFiles(AppFolder(), QStringLiteral("vs*.mdb"), files, false, false);
        files.removeAll(QLatin1String(StoreFileName));
    }
    if (files.isEmpty())
        return {};
    if (files.size() == 1) {
        MigrationOutcome moved = MigrateDatabase(connection, actualFile(AppFolder(), files.first()), confirm);
        moved.success = !moved.success;
        return moved;
    }
    return {true, {{QString::fromUtf8(MigrationTexts::SeveralOldDatabases), MsgIcon::Information}}};
}

QString SetAsideJetStore(const QString& storePath)
{
    if (!JetReader::isJetFile(storePath))
        return {};
    const QString target = UniqueFileName(QFileInfo(storePath).absoluteDir().filePath(QLatin1String(SetAsideName)));
    QFile file(storePath);
    if (!file.rename(target))
        throw AppError(QStringLiteral("Не удалось переименовать базу данных Jet \"%1\" в \"%2\": %3")
                           .arg(storePath, target, file.errorString()));
    return target;
}

void UpdateDbCommand::startUp(StoreConnection* connection)
{
    // Old data remaining is what keeps the command enabled.
    run([&](const ConfirmMove& confirm) { return CheckOldDatabases(connection, confirm); }, true);
}

void UpdateDbCommand::execute(StoreConnection* connection, const QString& chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    run([&](const ConfirmMove& confirm) { return MigrateDatabase(connection, chosenFile, confirm); }, false);
}

void UpdateDbCommand::run(const std::function<MigrationOutcome(const ConfirmMove&)>& move, bool enabledOnSuccess)
{
    const ConfirmMove ask = [](const QString& question) {
        return ShowMessage(question, MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes;
    };
    try {
        const MigrationOutcome outcome = move(ask);
        m_enabled = outcome.success == enabledOnSuccess;
        for (const MigrationNotice& notice : outcome.notices)
            ShowMessage(notice.text, notice.icon);
    } catch (const AppError& e) {
        m_enabled = true;
        ShowMessage(e.message(), MsgIcon::Error);
    }
}
