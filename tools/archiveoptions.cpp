#include "archiveoptions.h"

#include "apperror.h"
#include "appfolder.h"
#include "dataset.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QFileInfo>

void OpenProgramStore(StoreConnection& store)
{
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    if (!QFileInfo(path).isFile())
        throw AppError(QStringLiteral("no store at \"%1\"").arg(path));
    store.open(path);
}

int IdByName(StoreConnection& store, const char* sql, const QString& idColumn, const QString& nameColumn,
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

ArchiveOptions TakeArchiveOptions(StoreConnection& store, QStringList* args)
{
    static const QStringList options{"--class", "--date", "--student", "--topic"};
    ArchiveOptions taken;
    QStringList rest;
    for (qsizetype i = 0; i < args->size(); ++i) {
        const QString& option = args->at(i);
        if (!options.contains(option)) {
            rest.append(option);
            continue;
        }
        if (i + 1 >= args->size())
            throw AppError(QStringLiteral("%1 needs a value").arg(option));
        const QString value = args->at(++i);
        if (option == QLatin1String("--class")) {
            taken.filter.klassId = IdByName(store, Sql::Klasses, "KlassID", "Klass", value, "class");
        } else if (option == QLatin1String("--student")) {
            taken.filter.studentId = IdByName(store, Sql::AllStudentsByName, "StudentID", "Name", value, "student");
            taken.studentName = value;
        } else if (option == QLatin1String("--topic")) {
            taken.filter.topicId = IdByName(store, Sql::TopicNames, "TopicID", "TopicName", value, "topic");
        } else {
            taken.filter.date = QDate::fromString(value, Qt::ISODate);
            if (!taken.filter.date.isValid())
                throw AppError(QStringLiteral("not a date (YYYY-MM-DD): \"%1\"").arg(value));
        }
    }
    *args = rest;
    return taken;
}
