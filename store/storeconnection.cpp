#include "storeconnection.h"

#include "apperror.h"
#include "dataset.h"
#include "schema.h"
#include "sqldialect.h"
#include "sqlitefunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char SqliteMagic[] = "SQLite format 3"; // the first 16 bytes of every SQLite file, NUL included
constexpr int LockRetryPauseMs = 20;
constexpr int MaxReplacedRetries = 50; // the file was replaced under us (a compaction's rename)

// The named parameters a text uses, outside its quoted literals.
QStringList placeholders(const QString& text)
{
    QStringList names;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        if (c == u':' && i + 1 < text.size() && (text[i + 1].isLetter() || text[i + 1] == u'_') &&
            (i == 0 || !(text[i - 1].isLetterOrNumber() || text[i - 1] == u':'))) {
            qsizetype j = i + 1;
            while (j < text.size() && (text[j].isLetterOrNumber() || text[j] == u'_'))
                ++j;
            const QString name = text.mid(i + 1, j - i - 1);
            if (!names.contains(name, Qt::CaseInsensitive))
                names.append(name);
            i = j - 1;
        }
    }
    return names;
}

QVariant paramValue(const QVariantMap& params, const QString& name)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            const QVariant& v = it.value();
            if (v.typeId() == QMetaType::Bool)
                return v.toBool() ? 1 : 0;
            return v;
        }
    return {};
}

} // namespace

QString MissingStoreDriver(const QString& driver)
{
    if (QSqlDatabase::isDriverAvailable(driver))
        return {};
    return QStringLiteral("На машине не установлен драйвер SQLite для Qt (%1, пакет libqt6sql6-sqlite).").arg(driver);
}

StoreConnection::StoreConnection(const QString& connectionName) : m_name(connectionName) {}

StoreConnection::~StoreConnection()
{
    close();
    for (Dataset* d : std::as_const(m_datasets))
        d->connectionGone();
}

QSqlDatabase StoreConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool StoreConnection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && database().isOpen();
}

void StoreConnection::failOpen(const QString& reason)
{
    if (QSqlDatabase::contains(m_name)) {
        database().close();
        QSqlDatabase::removeDatabase(m_name);
    }
    unlockFile();
    const QString path = m_path;
    m_path.clear();
    throw AppError(QStringLiteral("Не удалось открыть базу данных \"%1\": %2").arg(path, reason));
}

void StoreConnection::lockFile()
{
    const QByteArray native = QFile::encodeName(m_path);
    for (int attempt = 0; attempt < MaxReplacedRetries; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            failOpen(QString::fromLocal8Bit(strerror(errno)));
        int waited = 0;
        while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            if (waited >= BusyTimeoutMs) {
                ::close(fd);
                failOpen(QStringLiteral("файл занят другой программой"));
            }
            QThread::msleep(LockRetryPauseMs);
            waited += LockRetryPauseMs;
        }
        // A compaction may have renamed a new file over the path while we waited: the lock must
        // be on the file the path names now.
        struct stat held
        {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(native.constData(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            m_lockFd = fd;
            return;
        }
        ::close(fd);
    }
    failOpen(QStringLiteral("файл всё время заменяется"));
}

void StoreConnection::unlockFile()
{
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // closing gives the shared lock back
        m_lockFd = -1;
    }
}

void StoreConnection::open(const QString& path)
{
    if (isOpen())
        close();
    m_path = path;
    if (const QString missing = MissingStoreDriver(); !missing.isEmpty())
        failOpen(missing);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        failOpen(QStringLiteral("это не файл"));

    // Look at the file before SQLite does: a file of another kind is refused without SQLite ever
    // writing to it (SQLite would take a zero-length file for a new database, and so do we).
    if (info.exists() && info.size() > 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            failOpen(file.errorString());
        const QByteArray head = file.read(16);
        if (head != QByteArray(SqliteMagic, 16))
            failOpen(QStringLiteral("файл не является базой данных"));
    }

    lockFile();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(DriverName), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!db.open())
            failOpen(db.lastError().text());
        if (!RegisterStoreFunctions(db))
            failOpen(QStringLiteral("драйвер не даёт доступа к SQLite"));
    }
    prepareSchema();
}

void StoreConnection::prepareSchema()
{
    QSqlDatabase db = database();
    QString error;
    {
        QSqlQuery q(db);
        // Reading the catalogue fails on a damaged file before anything is written to it.
        QSet<QString> tables;
        if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
            failOpen(q.lastError().text());
        while (q.next())
            tables.insert(q.value(0).toString().toLower());
        q.finish();

        bool complete = true;
        for (const SchemaTable& t : StoreSchema())
            complete = complete && tables.contains(t.name.toLower());
        tables.remove(QStringLiteral("sqlite_sequence"));
        if (!complete && !tables.isEmpty())
            failOpen(QStringLiteral("в файле нет таблиц базы вопросов"));

        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            failOpen(q.lastError().text());
        q.finish();
        // WAL with NORMAL: every committed write survives the program's crash; the file is never torn.
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        if (!complete) {
            // Two programs may create the store at once: the second waits for the first and then
            // finds the tables there (IF NOT EXISTS).
            if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
                failOpen(q.lastError().text());
            for (QString statement : SchemaCreateStatements()) {
                statement.replace(QStringLiteral("CREATE TABLE "), QStringLiteral("CREATE TABLE IF NOT EXISTS "));
                if (!q.exec(statement)) {
                    error = q.lastError().text();
                    break;
                }
            }
            if (error.isEmpty() && !q.exec(QStringLiteral("COMMIT")))
                error = q.lastError().text();
            if (!error.isEmpty())
                q.exec(QStringLiteral("ROLLBACK"));
        }
    }
    if (!error.isEmpty())
        failOpen(error);
}

void StoreConnection::close()
{
    for (Dataset* d : std::as_const(m_datasets))
        d->close();
    if (QSqlDatabase::contains(m_name)) {
        database().close();
        QSqlDatabase::removeDatabase(m_name);
    }
    unlockFile();
}

void StoreConnection::runQuery(QSqlQuery& query, const QString& sqliteText, const QVariantMap& params) const
{
    query.setForwardOnly(true);
    if (!query.prepare(sqliteText))
        throw AppError(query.lastError().text());
    for (const QString& name : placeholders(sqliteText))
        query.bindValue(u':' + name, paramValue(params, name));
    if (!query.exec())
        throw AppError(query.lastError().text());
}

int StoreConnection::execute(const QString& text, const QVariantMap& params)
{
    if (!isOpen())
        throw AppError(QStringLiteral("База данных не открыта."));
    const DialectStatement st = ToSqliteDialect(text);
    QSqlDatabase db = database();
    if (st.externalPath.isEmpty()) {
        QSqlQuery q(db);
        runQuery(q, st.sql, params);
        return q.numRowsAffected();
    }

    // The rows go into a table of another file: its columns are matched by name, as the
    // statement means, so a source of an older layout fills what it has.
    if (!QFileInfo(st.externalPath).isFile())
        throw AppError(QStringLiteral("Не найден файл базы данных \"%1\".").arg(st.externalPath));
    QStringList columns;
    {
        QSqlQuery info(db);
        runQuery(info, QStringLiteral("PRAGMA table_info(\"%1\")").arg(st.sourceTable), {});
        while (info.next())
            columns.append(u'"' + info.value(1).toString() + u'"');
    }
    if (columns.isEmpty())
        throw AppError(QStringLiteral("Нет таблицы %1.").arg(st.sourceTable));
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(QLatin1String(ExternalSchema))))
        throw AppError(q.lastError().text());
    q.addBindValue(st.externalPath);
    if (!q.exec())
        throw AppError(q.lastError().text());
    q.finish();
    const QString list = columns.join(u',');
    const QString insert = QStringLiteral("INSERT INTO %1.\"%2\" (%3) SELECT %3 FROM \"%4\"")
                               .arg(QLatin1String(ExternalSchema), st.externalTable, list, st.sourceTable);
    const bool ok = q.exec(insert);
    const QString error = q.lastError().text();
    const int rows = q.numRowsAffected();
    q.finish();
    q.exec(QStringLiteral("DETACH DATABASE %1").arg(QLatin1String(ExternalSchema)));
    if (!ok)
        throw AppError(error);
    return rows;
}

void StoreConnection::attach(Dataset* dataset)
{
    if (!m_datasets.contains(dataset))
        m_datasets.append(dataset);
}

void StoreConnection::detach(Dataset* dataset)
{
    m_datasets.removeAll(dataset);
}

void StoreConnection::openAllDatasets()
{
    for (Dataset* d : std::as_const(m_datasets))
        d->open();
}

StoreTransaction::StoreTransaction(QSqlDatabase db) : m_db(std::move(db))
{
    m_active = m_db.transaction();
}

StoreTransaction::~StoreTransaction()
{
    rollback();
}

void StoreTransaction::rollback()
{
    if (m_active)
        m_db.rollback();
    m_active = false;
}

void StoreTransaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    if (!m_db.commit()) {
        const QString error = m_db.lastError().text();
        m_db.rollback();
        throw AppError(error);
    }
}
