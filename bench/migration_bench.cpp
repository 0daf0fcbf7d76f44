// Moving an old question bank of an earlier installation (SQLite, 20,000 questions with
// pictures, topics, classes, students, results, settings) into a fresh store, against the plain
// engine doing the same: ATTACH the store and INSERT ... SELECT * per table, in the same run.

#include "benchstats.h"
#include "migration.h"
#include "storeconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Questions = 20000;
constexpr int Topics = 200;
constexpr int Students = 600;
constexpr int Results = 5000;
constexpr int PictureBytes = 4000;
constexpr int Rounds = 3;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_migration: %s\n", qPrintable(what));
    std::exit(1);
}

void exec(QSqlQuery& q)
{
    if (!q.exec())
        fail(q.lastError().text());
}

void fillOldBank(QSqlDatabase db);

void makeOldBank(const QString& path)
{
    StoreConnection c(QStringLiteral("bench-old"));
    c.open(path);
    fillOldBank(c.database());
    c.close();
}

void fillOldBank(QSqlDatabase db)
{
    db.transaction();
    QSqlQuery q(db);
    q.prepare("INSERT INTO Topics (TopicID, TopicName, ParentID, QueIDs) VALUES (?, ?, 0, ?)");
    for (int t = 1; t <= Topics; ++t) {
        QString ids;
        for (int id = t; id <= Questions; id += Topics)
            ids += QString::number(id) + "\r\n";
        q.addBindValue(t);
        q.addBindValue(QStringLiteral("Тема %1").arg(t));
        q.addBindValue(ids);
        exec(q);
    }
    q.prepare("INSERT INTO Questions (QueID, Question, QuePict, Ans1, Ans2, Ans3, Pict1, OK1, Price, QueType, "
              "LinksCount) VALUES (?, ?, ?, 'один', 'два', 'три', ?, 1, 1, 0, 1)");
    QByteArray picture("BM");
    picture.resize(PictureBytes);
    for (int id = 1; id <= Questions; ++id) {
        for (int i = 2; i < PictureBytes; i += 97)
            picture[i] = char(id + i);
        q.addBindValue(id);
        q.addBindValue(QStringLiteral("Текст вопроса номер %1, в котором есть несколько слов.").arg(id));
        q.addBindValue(picture);
        q.addBindValue(id % 3 == 0 ? QVariant(picture.left(PictureBytes / 4)) : QVariant());
        exec(q);
    }
    q.prepare("INSERT INTO Klasses (KlassID, Klass) VALUES (?, ?)");
    for (int k = 1; k <= 20; ++k) {
        q.addBindValue(k);
        q.addBindValue(QStringLiteral("%1А").arg(k));
        exec(q);
    }
    q.prepare("INSERT INTO Students (StudentID, Name, KlassID) VALUES (?, ?, ?)");
    for (int s = 1; s <= Students; ++s) {
        q.addBindValue(s);
        q.addBindValue(QStringLiteral("Ученик %1").arg(s));
        q.addBindValue(s % 20 + 1);
        exec(q);
    }
    q.prepare("INSERT INTO Results (ResID, Date, StudentID, TopicID, PcName, RightsPercent, Points, TimeRemain, "
              "RoutChecked) VALUES (?, '2005-04-01T10:00:00', ?, ?, 'PC', 75.5, 4, 100, ?)");
    for (int r = 1; r <= Results; ++r) {
        q.addBindValue(r);
        q.addBindValue(r % Students + 1);
        q.addBindValue(r % Topics + 1);
        q.addBindValue(QStringLiteral("%1=1\r\n%2=0\r\n").arg(r).arg(r + 1));
        exec(q);
    }
    q.prepare("INSERT INTO Settings (TopicID, \"Default\", GiveMaxCount, MaxPointSystem) VALUES (?, 0, 10, 5)");
    for (int t = 1; t <= Topics; ++t) {
        q.addBindValue(t);
        exec(q);
    }
    db.commit();
}

// A fresh, empty store at the path.
void makeStore(const QString& path)
{
    StoreConnection c(QStringLiteral("bench-fresh"));
    c.open(path);
    c.close();
}

double baselineMs(const QString& oldPath, const QString& storePath)
{
    makeStore(storePath);
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-plain");
        db.setDatabaseName(oldPath);
        if (!db.open())
            fail(db.lastError().text());
        QSqlQuery q(db);
        q.prepare("ATTACH DATABASE ? AS store");
        q.addBindValue(storePath);
        exec(q);
        for (const QString& t : MigratedTables()) {
            q.prepare(QStringLiteral("INSERT INTO store.\"%1\" SELECT * FROM main.\"%1\"").arg(t));
            exec(q);
        }
        q.prepare("DETACH DATABASE store");
        exec(q);
        db.close();
    }
    QSqlDatabase::removeDatabase("bench-plain");
    return double(timer.nsecsElapsed()) / 1e6;
}

double migrationMs(const QString& oldPath, const QString& storePath)
{
    makeStore(storePath);
    StoreConnection store(QStringLiteral("bench-store"));
    store.open(storePath);
    QElapsedTimer timer;
    timer.start();
    if (!MigrateDatabase(&store, oldPath, [](const QString&) { return true; }).success)
        fail("the move did not succeed");
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QSqlQuery q(store.database());
    q.exec("SELECT Count(*) FROM Questions");
    if (!q.next() || q.value(0).toInt() != Questions)
        fail("the questions did not all arrive");
    q.finish();
    store.close();
    // The move gave the old file its new name: give it back for the next round.
    const QString renamed = QFileInfo(oldPath).absoluteDir().filePath("DataReplaced_From_old_To_vs4.mdb");
    if (!QFile::rename(renamed, oldPath))
        fail("the old file was not renamed as expected");
    return ms;
}

void removeStore(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString oldPath = dir.filePath("old.mdb");
    makeOldBank(oldPath);
    std::printf("old bank: %d questions with %d-byte pictures, %lld bytes\n", Questions, PictureBytes,
                QFileInfo(oldPath).size());

    std::vector<double> plain, ours;
    for (int round = 0; round < Rounds; ++round) {
        const QString a = dir.filePath(QStringLiteral("plain%1.db").arg(round));
        plain.push_back(baselineMs(oldPath, a));
        removeStore(a);
        const QString b = dir.filePath(QStringLiteral("store%1").arg(round));
        QDir().mkpath(b);
        ours.push_back(migrationMs(oldPath, b + "/vs4.mdb"));
        removeStore(b + "/vs4.mdb");
    }
    const double p = Median(plain), m = Median(ours);
    std::printf("plain ATTACH + INSERT ... SELECT: %.1f ms (median of %d)\n", p, Rounds);
    std::printf("MigrateDatabase:                  %.1f ms (median of %d)\n", m, Rounds);
    std::printf("ratio MigrateDatabase / plain:    %.2f (target <= 1.5)\n", m / p);
    return 0;
}
