#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

class Dataset;
class QSqlQuery;

// The connection to the question bank: one SQLite file (vs4.mdb) shared with the other program.
// While open it holds a shared advisory lock (flock) on the file, so that a compaction at another
// program's end sees the file in use and leaves it alone. Journal in WAL mode: readers never wait
// for a writer, and a writer waits at most BusyTimeoutMs for another writer.
//
// Every text it runs passes through ToSqliteDialect first; parameters are bound by name.
class StoreConnection
{
public:
    static constexpr int BusyTimeoutMs = 5000;
    static constexpr char DriverName[] = "QSQLITE";

    explicit StoreConnection(const QString& connectionName);
    ~StoreConnection();
    StoreConnection(const StoreConnection&) = delete;
    StoreConnection& operator=(const StoreConnection&) = delete;

    // Opens the file, creating it with every table when it does not exist or holds no table.
    // A file that is not a store of ours is left exactly as it is: AppError naming the file.
    void open(const QString& path);
    // Closes every dataset, then the connection, then gives the lock back.
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    QString connectionName() const { return m_name; }
    QSqlDatabase database() const;

    // Runs one statement that returns no rows; the number of rows it changed. AppError on failure.
    int execute(const QString& text, const QVariantMap& params = {});
    // Prepares, binds and runs a statement that returns rows; AppError on failure.
    void runQuery(QSqlQuery& query, const QString& sqliteText, const QVariantMap& params) const;

    // Datasets on this connection, in the order they were made.
    void attach(Dataset* dataset);
    void detach(Dataset* dataset);
    const QList<Dataset*>& datasets() const { return m_datasets; }
    void openAllDatasets();

private:
    void lockFile();
    void unlockFile();
    void prepareSchema();
    [[noreturn]] void failOpen(const QString& reason);

    QString m_name;
    QString m_path;
    int m_lockFd = -1;
    QList<Dataset*> m_datasets;
};

// Many rows changed as one unit: a failure leaves the store as it was (and one commit is far quicker
// than a commit per row). Rolled back unless committed. Inside a transaction already begun on the
// connection it adds nothing: the outer one decides.
class StoreTransaction
{
public:
    explicit StoreTransaction(QSqlDatabase db);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;
    // AppError when the store refuses the commit (the changes are then rolled back).
    void commit();
    void rollback();

private:
    QSqlDatabase m_db;
    bool m_active = false;
};

// A statement on the connection with named parameters (the data modules' commands).
class SqlCommand
{
public:
    SqlCommand(StoreConnection* connection, const QString& text = {}) : m_connection(connection), m_text(text) {}
    void setText(const QString& text) { m_text = text; }
    QString text() const { return m_text; }
    void setParam(const QString& name, const QVariant& value) { m_params.insert(name, value); }
    int execute() { return m_connection->execute(m_text, m_params); }

private:
    StoreConnection* m_connection;
    QString m_text;
    QVariantMap m_params;
};

// Empty when the SQLite driver of Qt is present; otherwise the message naming what is missing.
QString MissingStoreDriver(const QString& driver = QLatin1String(StoreConnection::DriverName));
