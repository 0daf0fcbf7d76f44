// Opening the results archive on a store of 100,000 results (about three years of a school's
// tests) and computing its statistics, against the bare SELECT of the same rows read with
// QSqlQuery, in the same run on the same store:
//   - with the date filter of one day, as the archive window opens;
//   - with every filter off, all 100,000 rows.
// Then the memory of a grid (model and view) beside the memory of its rows: the heap a shown grid
// takes over the rows of one day and over all rows, and so what it keeps per row. Run with
// "--memory" for that part alone (under a heap profiler, for instance).
#include "appfolder.h"
#include "archivegrid.h"
#include "archivemodel.h"
#include "archivequery.h"
#include "benchstats.h"
#include "sqldialect.h"
#include "storeconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

constexpr int Results = 100000;
constexpr int Students = 600;
constexpr int Days = 1000;
constexpr int Rounds = 7;

// Bytes of the heap in use (small blocks and mapped ones): exact, unlike resident pages.
long long heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
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
    const bool memoryOnly = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
    if (!memoryOnly) {
        std::printf("archive of %d results, median of %d rounds (RelWithDebInfo unless built by scripts/bench)\n",
                    Results, Rounds);
        for (const auto& c : cases) {
            QList<double> bare, archive;
            int bareRows = 0, archiveRows = 0;
            for (int r = 0; r < Rounds; ++r) {
                bare.append(bareSelect(store, c.filter, &bareRows));
                archive.append(openArchive(query, c.filter, &archiveRows));
            }
            std::printf("  %-8s rows %6d/%6d  bare SELECT %8.2f ms  archive+statistics %8.2f ms  ratio %.2f (target "
                        "<= 1.5)\n",
                        c.name, archiveRows, bareRows, Median(bare), Median(archive), Median(archive) / Median(bare));
        }
    }

    // Memory: the heap a model and a shown, sorted grid take beside the rows already read, over the
    // rows of one day and then over all rows; the difference over the difference in rows is what the
    // grid keeps per row. The archive's own grid, and a table view (with its row header hidden, as a
    // window would have it) for comparison.
    const auto gridBytes = [&](auto* view, const ArchiveFilter& filter) {
        query.setFilter(filter);
        const long long withRows = heapBytes();
        {
            ArchiveModel model(&query);
            view->setModel(&model);
            view->resize(900, 600);
            view->show();
            (void)view->grab();
            model.sort(int(ArchiveField::Name)); // as a click on a column title does
            (void)view->grab();
            const long long used = heapBytes() - withRows;
            view->setModel(nullptr);
            return used;
        }
    };
    const auto perRow = [&](const char* name, auto makeView) {
        auto* first = makeView(); // the first grid of a kind pays for fonts, styles and the like
        gridBytes(first, cases[0].filter);
        delete first;
        auto* small = makeView();
        const long long smallBytes = gridBytes(small, cases[0].filter);
        const int smallRows = query.rowCount();
        delete small;
        auto* large = makeView();
        const long long largeBytes = gridBytes(large, {});
        const int largeRows = query.rowCount();
        delete large;
        std::printf("  %-11s heap beside its rows: %6lld KiB over %6d rows, %6lld KiB over %6d rows: %5.1f bytes "
                    "per row\n",
                    name, smallBytes / 1024, smallRows, largeBytes / 1024, largeRows,
                    double(largeBytes - smallBytes) / double(std::max(1, largeRows - smallRows)));
    };
    std::printf("grid memory (target: nothing per row beyond the rows)\n");
    perRow("archive grid", [] { return new ArchiveGrid; });
    perRow("table view", [] {
        auto* table = new QTableView;
        table->verticalHeader()->hide();
        return table;
    });
    return 0;
}
