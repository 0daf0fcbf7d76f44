// Opening a topic of 5,000 questions with pictures in the editor's topic window logic and stepping
// through 200 of them, against reading the same rows with the bare query on a plain connection,
// measured in the same run on the same bank.
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "topicquestions.h"
#include "topicstore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

static constexpr int QuestionCount = 5000;
static constexpr int Steps = 200;
static constexpr int Rounds = 5;

QByteArray picture()
{
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return buffer.data();
}

void must(bool ok, const QSqlQuery& q)
{
    if (!ok) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
}

// The topic with its questions, written on a plain connection; returns the topic's id.
int buildBank(QSqlDatabase& db, QStringList& ids)
{
    db.transaction();
    QSqlQuery insert(db);
    must(insert.prepare(QStringLiteral("INSERT INTO Questions (Question, QuePict, Ans1, Ans2, Pict1, QueType, "
                                       "LinksCount, Price) VALUES (?, ?, ?, ?, ?, 0, 1, 1)")),
         insert);
    const QByteArray bmp = picture();
    for (int i = 0; i < QuestionCount; ++i) {
        insert.addBindValue(QStringLiteral("Вопрос номер %1: сколько будет %1 + 1?").arg(i));
        insert.addBindValue(bmp);
        insert.addBindValue(QString::number(i + 1));
        insert.addBindValue(QString::number(i + 2));
        insert.addBindValue(bmp);
        must(insert.exec(), insert);
        ids.append(insert.lastInsertId().toString());
    }
    QSqlQuery topic(db);
    must(topic.prepare(QStringLiteral("INSERT INTO Topics (TopicName, ParentID, QueIDs) VALUES (?, 0, ?)")), topic);
    topic.addBindValue(QStringLiteral("Большая тема"));
    topic.addBindValue(ids.join(QStringLiteral("\r\n")));
    must(topic.exec(), topic);
    const int topicId = topic.lastInsertId().toInt();
    db.commit();
    return topicId;
}

// The same rows read with one plain query, and the first Steps of them taken apart.
qint64 bareRead(QSqlDatabase& db, const QStringList& ids)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    must(q.exec(QStringLiteral("SELECT * FROM Questions WHERE QueID IN (%1)").arg(ids.join(u','))), q);
    qint64 bytes = 0;
    int rows = 0;
    while (q.next()) {
        if (rows++ < Steps)
            bytes += q.value(QStringLiteral("QuePict")).toByteArray().size() +
                     q.value(QStringLiteral("Question")).toString().size();
        else
            q.value(0);
    }
    if (rows != ids.size() || bytes == 0)
        std::exit(3);
    return timer.nsecsElapsed();
}

// The store's record set over the same list, without the topic window's rules: where the time goes.
qint64 datasetRead(TopicStore& store, const QStringList& ids)
{
    QElapsedTimer timer;
    timer.start();
    Dataset questions(store.shared()->dm()->ADOConnection(), QStringLiteral("q"));
    TopicStore::OpenQuestionList(questions, ids);
    qint64 bytes = 0;
    for (int i = 0; i < Steps; ++i) {
        bytes += questions.value(QStringLiteral("QuePict")).toByteArray().size();
        questions.next();
    }
    if (questions.recordCount() != QuestionCount || bytes == 0)
        std::exit(5);
    return timer.nsecsElapsed();
}

qint64 editorRead(TopicStore& store, int topicId)
{
    QElapsedTimer timer;
    timer.start();
    TopicQuestions form(store);
    form.OpenTopic(topicId);
    qint64 bytes = 0;
    for (int i = 0; i < Steps; ++i) {
        bytes += form.picture(0).size() + form.value(QStringLiteral("Question")).toString().size();
        form.next();
    }
    if (form.questions().recordCount() != QuestionCount || bytes == 0)
        std::exit(4);
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TDM dm(StoreProgram::Scribant);
    TSharedDM shared(&dm);
    TopicStore store(&shared);
    store.PrepareStore();

    QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
    plain.setDatabaseName(AppFilePath(QString::fromLatin1(TDM::StoreFileName)));
    plain.open();
    QSqlQuery(plain).exec(QStringLiteral("PRAGMA busy_timeout=5000"));
    QStringList ids;
    const int topicId = buildBank(plain, ids);
    dm.Reconnect(false);

    qint64 bestBare = -1, bestDataset = -1, bestEditor = -1;
    const auto keepBest = [](qint64& best, qint64 time) { best = best < 0 ? time : std::min(best, time); };
    for (int round = 0; round < Rounds; ++round) {
        keepBest(bestBare, bareRead(plain, ids));
        keepBest(bestDataset, datasetRead(store, ids));
        keepBest(bestEditor, editorRead(store, topicId));
    }
    std::printf("topic of %d questions with pictures, %d steps (best of %d)\n", QuestionCount, Steps, Rounds);
    std::printf("  bare query:   %8.1f ms\n", bestBare / 1e6);
    std::printf("  record set:   %8.1f ms (ratio %.2f)\n", bestDataset / 1e6, double(bestDataset) / double(bestBare));
    std::printf("  topic window: %8.1f ms\n", bestEditor / 1e6);
    std::printf("  ratio: %.2f (target <= 1.5)\n", double(bestEditor) / double(bestBare));
    return 0;
}
