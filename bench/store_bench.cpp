// Opening the question list of a topic of 5,000 questions through the fixed list query
// ("... WHERE QueID=a OR QueID=b ...", one term per question, as the topic tree builds it) and a
// dataset, against one prepared "SELECT * FROM Questions WHERE QueID IN (...)" of the same ids
// read with QSqlQuery, in the same run on the same store.
#include "appfolder.h"
#include "benchstats.h"
#include "dataset.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int TopicQuestions = 5000;
constexpr int StoreQuestions = 20000;
constexpr int Rounds = 15;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    QFile::remove(path);
    StoreConnection store(QStringLiteral("bench"));
    store.open(path);

    // A bank of questions with text and answers; the topic holds every fourth, in shuffled order.
    {
        QSqlDatabase db = store.database();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Questions (Question, Ans1, Ans2, Ans3, OK2, Price, QueType, "
                                      "LinksCount) VALUES (?, ?, ?, ?, 1, 2, 0, 1)"));
        for (int i = 0; i < StoreQuestions; ++i) {
            insert.addBindValue(QStringLiteral("Вопрос номер %1: сколько будет %1 + %1?").arg(i));
            insert.addBindValue(QString::number(i));
            insert.addBindValue(QString::number(2 * i));
            insert.addBindValue(QString::number(3 * i));
            insert.exec();
        }
        db.commit();
    }
    QStringList ids;
    for (int i = 0; i < TopicQuestions; ++i)
        ids.append(QString::number(1 + i * (StoreQuestions / TopicQuestions)));
    std::shuffle(ids.begin(), ids.end(), *QRandomGenerator::global());

    // The list query as the topic tree builds it.
    QString listQuery = SqlFormat(QString::fromLatin1(Sql::FirstListedQuestion), {Sql::AllQuestions, ids.first()});
    for (int i = 1; i < ids.size(); ++i)
        listQuery = SqlFormat(QString::fromLatin1(Sql::NextListedQuestion), {listQuery, ids[i]});

    QString marks = QStringLiteral("?");
    for (int i = 1; i < ids.size(); ++i)
        marks += QStringLiteral(",?");
    const QString inQuery = QStringLiteral("SELECT * FROM Questions WHERE QueID IN (%1)").arg(marks);
    const QString inLiteral = QStringLiteral("SELECT * FROM Questions WHERE QueID IN (%1)").arg(ids.join(u','));

    // The baseline: the same rows read with QSqlQuery, every value taken, nothing else.
    const auto readIn = [&](const QString& text, bool bind, qint64& sum) {
        QSqlQuery q(store.database());
        q.setForwardOnly(true);
        q.prepare(text);
        if (bind)
            for (const QString& id : ids)
                q.addBindValue(id.toInt());
        q.exec();
        QList<QVariantList> rows;
        const int columns = q.record().count();
        while (q.next()) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(q.value(c));
            rows.append(std::move(row));
        }
        if (rows.size() != TopicQuestions) {
            std::fprintf(stderr, "IN query gave %lld rows\n", static_cast<long long>(rows.size()));
            std::exit(1);
        }
        sum += rows.last()[0].toInt();
    };

    QList<double> listTimes;
    QList<double> inTimes;
    QList<double> boundTimes;
    qint64 checksum = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer t;
        t.start();
        {
            Dataset d(&store, QStringLiteral("sqlQuestions"), listQuery);
            d.open();
            if (d.recordCount() != TopicQuestions) {
                std::fprintf(stderr, "list query gave %d rows\n", d.recordCount());
                return 1;
            }
            checksum += d.rowValues(d.recordCount() - 1)[0].toInt();
        }
        listTimes.append(t.nsecsElapsed() / 1e6);

        t.restart();
        readIn(inLiteral, false, checksum);
        inTimes.append(t.nsecsElapsed() / 1e6);

        t.restart();
        readIn(inQuery, true, checksum);
        boundTimes.append(t.nsecsElapsed() / 1e6);
    }
    const double list = Median(listTimes);
    const double literal = Median(inTimes);
    const double bound = Median(boundTimes);
    const double in = std::min(literal, bound);
    std::printf("store: question list of %d questions (of %d), median of %d rounds\n", TopicQuestions, StoreQuestions,
                Rounds);
    std::printf("  fixed list query through a dataset: %8.2f ms (statement %lld characters)\n", list,
                static_cast<long long>(listQuery.size()));
    std::printf("  prepared IN (ids in the text):      %8.2f ms\n", literal);
    std::printf("  prepared IN (ids bound, ?,?,...):   %8.2f ms\n", bound);
    std::printf("  baseline = the faster of the two:   %8.2f ms\n", in);
    std::printf("  ratio list/baseline: %.2f (target <= 1.5)   [checksum %lld]\n", list / in,
                static_cast<long long>(checksum));
    return 0;
}
