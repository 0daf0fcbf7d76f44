// Start-up preparation of a bank from before topic lists: 50,000 questions in 500 topics, each
// question marked with its topic, no lists, no links, no question kinds. PrepareStore (through
// the data modules' datasets, as the programs run it) against the same work done as plain SQL
// statements in one transaction on the same bank, measured in the same run.
#include "appfolder.h"
#include "datamodules.h"
#include "topicstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// The bank's size; a smaller one can be given on the command line (questions, topics) for profiling.
static constexpr int DefaultTopicCount = 500;
static constexpr int DefaultQuestionCount = 50000;
int TopicCount = DefaultTopicCount;
int QuestionCount = DefaultQuestionCount;
static constexpr char Holding[] = "Вопросы без темы";

QString storePath()
{
    return AppFilePath(QString::fromLatin1(TDM::StoreFileName));
}

void must(bool ok, QSqlQuery& q)
{
    if (!ok) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
}

// A plain connection of the bench's own, for building the bank and for the baseline.
class Plain
{
public:
    Plain() : m_db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain")))
    {
        m_db.setDatabaseName(storePath());
        m_db.open();
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout=5000"));
    }
    ~Plain()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    }
    QSqlDatabase& db() { return m_db; }

private:
    QSqlDatabase m_db;
};

// A fresh bank: the store's own schema (made by opening it), then the old rows.
void buildBank()
{
    QFile::remove(storePath());
    QFile::remove(storePath() + "-wal");
    QFile::remove(storePath() + "-shm");
    {
        TDM dm(StoreProgram::Scribant);
    }
    Plain plain;
    plain.db().transaction();
    QSqlQuery topic(plain.db());
    topic.prepare(QStringLiteral("INSERT INTO Topics (TopicName, ParentID) VALUES (?, ?)"));
    for (int t = 1; t <= TopicCount; ++t) {
        topic.addBindValue(QStringLiteral("Тема %1").arg(t, 4, 10, QChar('0')));
        topic.addBindValue(t % 2 ? QVariant() : QVariant(0));
        must(topic.exec(), topic);
    }
    QSqlQuery question(plain.db());
    question.prepare(
        QStringLiteral("INSERT INTO Questions (TopicID, Question, Ans1, Ans2, OK1) VALUES (?, ?, ?, ?, 1)"));
    for (int i = 0; i < QuestionCount; ++i) {
        question.addBindValue(1 + (i * 7919) % TopicCount); // topics' questions interleaved
        question.addBindValue(QStringLiteral("Вопрос номер %1: сколько будет %1 + 1?").arg(i));
        question.addBindValue(QString::number(i + 1));
        question.addBindValue(QString::number(i + 2));
        must(question.exec(), question);
    }
    plain.db().commit();
}

// The same work as plain statements: parents, holding topic, its Default settings row, each
// topic's list from the marks with a link per question, question kinds.
[[gnu::noinline]] void prepareWithPlainSql()
{
    Plain plain;
    QSqlDatabase& db = plain.db();
    db.transaction();
    QSqlQuery q(db);
    must(q.exec(QStringLiteral("UPDATE Topics SET ParentID=0 WHERE ParentID IS NULL")), q);
    q.prepare(QStringLiteral("SELECT TopicID FROM Topics WHERE TopicName=?"));
    q.addBindValue(QString::fromUtf8(Holding));
    must(q.exec(), q);
    int holding = 0;
    if (q.next()) {
        holding = q.value(0).toInt();
    } else {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Topics (TopicName, ParentID) VALUES (?, 0)"));
        insert.addBindValue(QString::fromUtf8(Holding));
        must(insert.exec(), insert);
        holding = insert.lastInsertId().toInt();
    }
    QSqlQuery settings(db);
    settings.prepare(QStringLiteral("INSERT INTO Settings (TopicID, \"Default\", RandomOrder, GiveMaxCount, MaxTime) "
                                    "VALUES (?, 1, 1, 20, 20)"));
    settings.addBindValue(holding);
    must(settings.exec(), settings);

    // The marks read once, grouped by topic in key order; a link and a list entry per question.
    QList<int> topics;
    must(q.exec(QStringLiteral("SELECT TopicID FROM Topics WHERE QueIDs IS NULL ORDER BY TopicName")), q);
    QHash<int, QList<QPair<qlonglong, QVariant>>> marked;
    while (q.next()) {
        topics << q.value(0).toInt();
        marked.insert(topics.last(), {});
    }
    must(q.exec(QStringLiteral("SELECT QueID, TopicID, LinksCount FROM Questions ORDER BY QueID")), q);
    while (q.next()) {
        const auto it = marked.find(q.value(1).toInt());
        if (it != marked.end())
            it->append({q.value(0).toLongLong(), q.value(2)});
    }
    QSqlQuery link(db);
    link.prepare(QStringLiteral("UPDATE Questions SET LinksCount=? WHERE QueID=?"));
    QSqlQuery list(db);
    list.prepare(QStringLiteral("UPDATE Topics SET QueIDs=? WHERE TopicID=?"));
    for (int topic : std::as_const(topics)) {
        QString text;
        for (const auto& [id, links] : std::as_const(marked[topic])) {
            text += QString::number(id) + QStringLiteral("\r\n");
            link.addBindValue(links.isNull() ? 1 : links.toInt() + 1);
            link.addBindValue(id);
            must(link.exec(), link);
        }
        list.addBindValue(text);
        list.addBindValue(topic);
        must(list.exec(), list);
    }
    must(q.exec(QStringLiteral("UPDATE Questions SET QueType = 0 WHERE QueType IS NULL")), q);
    db.commit();
}

// Both ways must leave the same lists and links, or the comparison means nothing.
QString fingerprint()
{
    Plain plain;
    QSqlQuery q(plain.db());
    QString all;
    q.exec(QStringLiteral("SELECT TopicName, ParentID, QueIDs FROM Topics ORDER BY TopicName"));
    while (q.next())
        all += q.value(0).toString() + u'|' + q.value(1).toString() + u'|' + q.value(2).toString() + u'\n';
    q.exec(QStringLiteral("SELECT count(*), sum(LinksCount), sum(QueType IS NULL) FROM Questions"));
    q.next();
    all += q.value(0).toString() + u'/' + q.value(1).toString() + u'/' + q.value(2).toString();
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3) {
        QuestionCount = std::max(1, std::atoi(argv[1]));
        TopicCount = std::max(1, std::atoi(argv[2]));
    }

    buildBank();
    qint64 prepareMs = 0;
    {
        TDM dm(StoreProgram::Scribant);
        TSharedDM shared(&dm);
        TopicStore store(&shared);
        QElapsedTimer timer;
        timer.start();
        store.PrepareStore();
        prepareMs = timer.elapsed();
    }
    const QString prepared = fingerprint();

    buildBank();
    QElapsedTimer timer;
    timer.start();
    prepareWithPlainSql();
    const qint64 plainMs = timer.elapsed();
    const QString plain = fingerprint();

    if (prepared != plain) {
        std::fprintf(stderr, "bench: PrepareStore and the plain statements left different banks\n");
        return 1;
    }
    std::printf("PrepareStore, %d questions in %d topics: %lld ms\n", QuestionCount, TopicCount,
                static_cast<long long>(prepareMs));
    std::printf("plain SQL in one transaction, same work:  %lld ms\n", static_cast<long long>(plainMs));
    std::printf("ratio PrepareStore / plain SQL: %.2f (target <= 3)\n",
                double(prepareMs) / double(std::max<qint64>(plainMs, 1)));
    return 0;
}
