// Opening the results archive on a store of 100,000 results (about three years of a school's
// tests) and computing its statistics, against the bare SELECT of the same rows read with
// QSqlQuery, in the same run on the same store:
//   - with the date filter of one day, as the archive window opens;
//   - with every filter off, all 100,000 rows.
// Then the memory of a grid (model and view) over all rows beside the memory of the rows.
#include "appfolder.h"
#include "archivemodel.h"
#include "archivequery.h"
#include "benchstats.h"
#include "sqldialect.h"
#include "storeconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Results = 100000;
constexpr int Students = 600;
constexpr int Days = 1000;
constexpr int Rounds = 7;

// Current resident memory in KiB.
long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

// The bare SELECT: every column of every row read once, the marks summed.
double bareSelect(StoreConnection& store, const ArchiveFilter& filter, int* rows)
{
    QElapsedTimer t;
    t.start();
    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    q.exec(ToSqliteDialect(BuildArchiveSql(filter)).sql);
    const int columns = q.record().count();
    const int points = q.record().indexOf(QStringLiteral("Points"));
    long long sum = 0;
    *rows = 0;
    while (q.next()) {
        for (int c = 0; c < columns; ++c)
            (void)q.value(c);
        sum += q.value(points).toInt();
        ++*rows;
    }
    (void)sum;
    return t.nsecsElapsed() / 1e6;
}

double openArchive(ArchiveQuery& query, const ArchiveFilter& filter, int* rows)
{
    QElapsedTimer t;
    t.start();
    query.setFilter(filter);
    *rows = query.statistics().records;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    QFile::remove(path);
    StoreConnection store(QStringLiteral("bench"));
    store.open(path);
    {
        QSqlDatabase db = store.database();
        db.transaction();
        QSqlQuery insert(db);
        insert.exec(QStringLiteral("INSERT INTO Klasses (Klass) VALUES ('9А'), ('9Б'), ('10А')"));
        insert.prepare(QStringLiteral("INSERT INTO Students (Name, KlassID) VALUES (?, ?)"));
        for (int i = 0; i < Students; ++i) {
            insert.addBindValue(QStringLiteral("Ученик %1").arg(i));
            insert.addBindValue(i % 3 + 1);
            insert.exec();
        }
        insert.prepare(QStringLiteral("INSERT INTO Results (Date, StudentID, TopicID, PcName, RightsPercent, Points, "
                                      "TimeRemain, RoutChecked) VALUES (?, ?, 1, ?, ?, ?, 60, ?)"));
        const QDate first(2023, 1, 1);
        for (int i = 0; i < Results; ++i) {
            insert.addBindValue(QDateTime(first.addDays(i % Days), QTime(8 + i % 8, 0)).toString(Qt::ISODate));
            insert.addBindValue(i % Students + 1);
            insert.addBindValue(QStringLiteral("PC%1").arg(i % 30));
            insert.addBindValue((i % 1000) / 10.0);
            insert.addBindValue(i % 13 == 0 ? -2 : i % 12 + 1);
            insert.addBindValue(QStringLiteral("1=1\r\n2=24\r\n3=Москва\r\n4=2143\r\n5=12345678\r\n"));
            insert.exec();
        }
        db.commit();
    }

    ArchiveQuery query(&store);
    const struct
    {
        const char* name;
        ArchiveFilter filter;
    } cases[] = {{"one day", {.date = QDate(2024, 6, 1)}}, {"all rows", {}}};
    std::printf("archive of %d results, median of %d rounds (RelWithDebInfo unless built by scripts/bench)\n", Results,
                Rounds);
    for (const auto& c : cases) {
        QList<double> bare, archive;
        int bareRows = 0, archiveRows = 0;
        for (int r = 0; r < Rounds; ++r) {
            bare.append(bareSelect(store, c.filter, &bareRows));
            archive.append(openArchive(query, c.filter, &archiveRows));
        }
        std::printf(
            "  %-8s rows %6d/%6d  bare SELECT %8.2f ms  archive+statistics %8.2f ms  ratio %.2f (target <= 1.5)\n",
            c.name, archiveRows, bareRows, Median(bare), Median(archive), Median(archive) / Median(bare));
    }

    // Memory: a model and a shown view over the rows of one day, then over all rows; the first pays
    // for the view's own start (fonts, pixmaps), the second shows what grows with the rows.
    const auto gridKiB = [&](const ArchiveFilter& filter) {
        query.setFilter(filter);
        const long withRows = residentKiB();
        ArchiveModel model(&query);
        QTableView view;
        view.setModel(&model);
        view.resize(900, 600);
        view.show();
        (void)view.grab();
        return residentKiB() - withRows;
    };
    const long small = gridKiB(cases[0].filter);
    const int smallRows = query.rowCount();
    const long large = gridKiB({});
    std::printf("  resident growth of a shown grid beside its rows: %ld KiB over %d rows, then %ld KiB over %d rows\n",
                small, smallRows, large, query.rowCount());
    return 0;
}
