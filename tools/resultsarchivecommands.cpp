// vastrel archive list [--class NAME] [--date YYYY-MM-DD] [--student NAME] [--topic NAME]: the
// results archive of the program folder's store under a filter, as the archive window shows it.
#include "apperror.h"
#include "appfolder.h"
#include "archivemodel.h"
#include "archivequery.h"
#include "command.h"
#include "dataset.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QFileInfo>

namespace {

// The id of the one row whose name column equals name; AppError when there is none or several.
int idByName(StoreConnection& store, const char* sql, const QString& idColumn, const QString& nameColumn,
             const QString& name, const QString& what)
{
    Dataset rows(&store, QStringLiteral("sqlToolLookup"), QString::fromUtf8(sql));
    rows.open();
    int id = 0;
    for (rows.first(); !rows.eof(); rows.next()) {
        if (rows.value(nameColumn).toString() != name)
            continue;
        if (id != 0)
            throw AppError(QStringLiteral("%1 \"%2\" is not unique").arg(what, name));
        id = rows.value(idColumn).toInt();
    }
    if (id == 0)
        throw AppError(QStringLiteral("no %1 \"%2\"").arg(what, name));
    return id;
}

int runArchive(const QStringList& args)
{
    static const QString usage = QStringLiteral(
        "usage: vastrel archive list [--class NAME] [--date YYYY-MM-DD] [--student NAME] [--topic NAME]");
    if (args.isEmpty() || args[0] != QLatin1String("list") || args.size() % 2 == 0)
        return fail(usage);
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("no store at \"%1\"").arg(path));
    StoreConnection store(QStringLiteral("vastrel-archive"));
    store.open(path);

    ArchiveFilter filter;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& option = args[i];
        const QString& value = args[i + 1];
        if (option == QLatin1String("--class")) {
            filter.klassId = idByName(store, Sql::Klasses, "KlassID", "Klass", value, "class");
        } else if (option == QLatin1String("--student")) {
            filter.studentId = idByName(store, Sql::AllStudentsByName, "StudentID", "Name", value, "student");
        } else if (option == QLatin1String("--topic")) {
            filter.topicId = idByName(store, Sql::TopicNames, "TopicID", "TopicName", value, "topic");
        } else if (option == QLatin1String("--date")) {
            filter.date = QDate::fromString(value, Qt::ISODate);
            if (!filter.date.isValid())
                return fail(QStringLiteral("not a date (YYYY-MM-DD): \"%1\"").arg(value));
        } else {
            return fail(usage);
        }
    }

    ArchiveQuery query(&store);
    query.setFilter(filter);
    QString out;
    for (int row = 0; row < query.rowCount(); ++row) {
        const QStringList fields{ArchiveDateText(query.date(row)),
                                 query.pcName(row),
                                 query.klass(row),
                                 query.name(row),
                                 PointsText(query.points(row)),
                                 PercentText(query.rightsPercent(row)),
                                 query.topic(row)};
        out += fields.join(u'\t') + u'\n';
    }
    for (const auto& [label, value] : query.statistics().lines())
        out += label + u' ' + value + u'\n';
    printOut(out);
    return 0;
}

const bool registered = registerCommand(
    {"archive", "archive list [--class NAME] [--date YYYY-MM-DD] [--student NAME] [--topic NAME]",
     "prints the stored results under the filter (date, PC, class, name, mark, percent, topic; TAB-separated), "
     "then the statistics lines",
     runArchive});

} // namespace
