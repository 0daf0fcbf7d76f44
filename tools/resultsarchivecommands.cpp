// vastrel archive list [--class NAME] [--date YYYY-MM-DD] [--student NAME] [--topic NAME]: the
// results archive of the program folder's store under a filter, as the archive window shows it.
#include "archivemodel.h"
#include "archiveoptions.h"
#include "archivequery.h"
#include "command.h"
#include "storeconnection.h"

namespace {

int runArchive(const QStringList& args)
{
    static const QString usage = QStringLiteral(
        "usage: vastrel archive list [--class NAME] [--date YYYY-MM-DD] [--student NAME] [--topic NAME]");
    if (args.isEmpty() || args[0] != QLatin1String("list"))
        return fail(usage);
    StoreConnection store(QStringLiteral("vastrel-archive"));
    OpenProgramStore(store);
    QStringList rest = args.mid(1);
    const ArchiveFilter filter = TakeArchiveOptions(store, &rest).filter;
    if (!rest.isEmpty())
        return fail(usage);

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
