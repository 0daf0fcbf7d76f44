#include "archiveexport.h"

#include "archivemodel.h"
#include "archivequery.h"

#include <QLocale>

QList<ResultRecord> ArchiveResultRecords(const ArchiveQuery& query)
{
    QList<ResultRecord> records;
    records.reserve(query.rowCount());
    for (int row = 0; row < query.rowCount(); ++row) {
        ResultRecord r;
        r.date = query.date(row);
        r.dateText = ArchiveDateText(r.date);
        r.pcName = query.pcName(row);
        r.klass = query.klass(row);
        r.name = query.name(row);
        r.topic = query.topic(row);
        r.points = query.points(row);
        r.pointsText = PointsText(r.points);
        r.percent = query.rightsPercent(row);
        r.percentText = PercentText(r.percent);
        records.append(r);
    }
    return records;
}

ResultFilters ArchiveFilterTexts(const ArchiveQuery& query, const QString& studentName)
{
    const ArchiveFilter& f = query.filter();
    ResultFilters texts;
    if (f.date.isValid())
        texts.date = QLocale().toString(f.date, QLocale::ShortFormat);
    if (f.topicId != 0)
        texts.topic = query.topicName(f.topicId);
    if (f.klassId != 0)
        texts.klass = query.klassName(f.klassId);
    if (f.studentId != 0)
        texts.student = studentName;
    return texts;
}
