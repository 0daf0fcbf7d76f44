#include "archivequery.h"

#include "archivetexts.h"
#include "dataset.h"
#include "fixedtext.h"
#include "gradingtexts.h"
#include "messages.h"
#include "schema.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <numeric>

namespace {

QString text(const char* sql)
{
    return QString::fromUtf8(sql);
}

// "%D" parts: the value when on, nothing when off.
QString part(const char* sql, int id)
{
    return id == 0 ? QString() : SqlFormat(text(sql), {QString::number(id)});
}

int compareText(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

template <typename T> int compareValues(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

QString BuildArchiveSql(const ArchiveFilter& filter)
{
    const QString date =
        filter.date.isValid()
            ? SqlFormat(text(Sql::ArchiveDatePart), {QLocale().toString(filter.date, QLocale::ShortFormat) + u'%'})
            : QString();
    return SqlFormat(text(Sql::ArchiveQuery),
                     {text(Sql::ArchiveBase), part(Sql::ArchiveKlassPart, filter.klassId), date,
                      part(Sql::ArchiveStudentPart, filter.studentId), part(Sql::ArchiveTopicPart, filter.topicId)});
}

QString ArchiveFieldTitle(ArchiveField field)
{
    namespace T = ArchiveText;
    switch (field) {
    case ArchiveField::Date:
        return T::DateTitle;
    case ArchiveField::PcName:
        return T::PcTitle;
    case ArchiveField::Klass:
        return T::KlassTitle;
    case ArchiveField::Name:
        return T::NameTitle;
    case ArchiveField::Points:
        return T::PointsTitle;
    case ArchiveField::RightsPercent:
        return T::PercentTitle;
    case ArchiveField::Topic:
        return T::TopicTitle;
    }
    return {};
}

QString PointsText(int points)
{
    if (points == -2)
        return GradingTexts::Pass;
    if (points == -1)
        return GradingTexts::Fail;
    return QString::number(points);
}

QString PercentText(double percent)
{
    QString out = FormatFixed(percent, 1);
    // "0.#": the decimal only when it is not 0.
    if (out.endsWith(u'0') && out.size() >= 2 && !out.at(out.size() - 2).isDigit())
        out.chop(2);
    return out;
}

ArchiveQuery::ArchiveQuery(StoreConnection* connection, QObject* parent) : QObject(parent), m_connection(connection) {}

ArchiveQuery::~ArchiveQuery() = default;

void ArchiveQuery::setFilter(const ArchiveFilter& filter)
{
    m_filter = filter;
    reread();
}

void ArchiveQuery::reread()
{
    Q_EMIT aboutToReread();
    readLookups();
    // Read straight into the rows the grid shows: years of results open as fast as the bare query.
    QSqlQuery q(m_connection->database());
    m_connection->runQuery(q, ToSqliteDialect(BuildArchiveSql(m_filter)).sql, {});
    const QSqlRecord record = q.record();
    const auto column = [&](const char* name) { return record.indexOf(QLatin1String(name)); };
    const int resId = column("ResID"), date = column("Date"), studentId = column("StudentID"),
              topicId = column("TopicID"), pcName = column("PcName"), percent = column("RightsPercent"),
              points = column("Points"), timeRemain = column("TimeRemain"), rout = column("RoutChecked"),
              name = column("Name"), klassId = column("KlassID");
    m_rows.clear();
    m_statistics = {};
    while (q.next()) {
        Row r;
        r.resId = q.value(resId).toInt();
        r.studentId = q.value(studentId).toInt();
        r.topicId = q.value(topicId).toInt();
        r.klassId = q.value(klassId).toInt();
        r.points = q.value(points).toInt();
        r.timeRemain = q.value(timeRemain).toInt();
        r.percent = q.value(percent).toDouble();
        r.date = q.value(date).toString();
        r.pcName = q.value(pcName).toString();
        r.name = q.value(name).toString();
        r.routChecked = q.value(rout).toString();
        m_statistics.add(r.points);
        m_rows.append(std::move(r));
    }
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    if (m_sorted)
        applySort();
    Q_EMIT rowsReread();
}

void ArchiveQuery::readLookups()
{
    m_klasses.clear();
    m_topics.clear();
    Dataset klasses(m_connection, QStringLiteral("sqlArchiveKlasses"), text(Sql::Klasses));
    klasses.open();
    for (klasses.first(); !klasses.eof(); klasses.next())
        m_klasses.insert(klasses.value(QStringLiteral("KlassID")).toInt(),
                         klasses.value(QStringLiteral("Klass")).toString());
    Dataset topics(m_connection, QStringLiteral("sqlArchiveTopics"), text(Sql::TopicNames));
    topics.open();
    for (topics.first(); !topics.eof(); topics.next())
        m_topics.insert(topics.value(QStringLiteral("TopicID")).toInt(),
                        topics.value(QStringLiteral("TopicName")).toString());
}

QDateTime ArchiveQuery::date(int row) const
{
    return FromStoreValue(ColumnType::Date, at(row).date).toDateTime();
}

QString ArchiveQuery::pcName(int row) const
{
    return at(row).pcName;
}

QString ArchiveQuery::klass(int row) const
{
    return klassName(at(row).klassId);
}

QString ArchiveQuery::name(int row) const
{
    return at(row).name;
}

int ArchiveQuery::points(int row) const
{
    return at(row).points;
}

double ArchiveQuery::rightsPercent(int row) const
{
    return at(row).percent;
}

QString ArchiveQuery::topic(int row) const
{
    return topicName(topicId(row));
}

int ArchiveQuery::resId(int row) const
{
    return at(row).resId;
}

int ArchiveQuery::topicId(int row) const
{
    return at(row).topicId;
}

int ArchiveQuery::studentId(int row) const
{
    return at(row).studentId;
}

int ArchiveQuery::timeRemain(int row) const
{
    return at(row).timeRemain;
}

QString ArchiveQuery::routChecked(int row) const
{
    return at(row).routChecked;
}

void ArchiveQuery::sortBy(ArchiveField field)
{
    m_descending = m_sorted && m_sortField == field && !m_descending;
    m_sorted = true;
    m_sortField = field;
    Q_EMIT aboutToSort();
    applySort();
    Q_EMIT sorted();
}

void ArchiveQuery::applySort()
{
    // Dates are compared as moments, each parsed once per sort.
    QList<qint64> moments;
    if (m_sortField == ArchiveField::Date) {
        moments.reserve(m_rows.size());
        for (const Row& r : std::as_const(m_rows))
            moments.append(FromStoreValue(ColumnType::Date, r.date).toDateTime().toMSecsSinceEpoch());
    }
    // Compares two rows of m_rows (not shown positions) by the sort field.
    const auto compare = [&](int a, int b) -> int {
        const Row& ra = m_rows[a];
        const Row& rb = m_rows[b];
        switch (m_sortField) {
        case ArchiveField::Date:
            return compareValues(moments[a], moments[b]);
        case ArchiveField::PcName:
            return compareText(ra.pcName, rb.pcName);
        case ArchiveField::Klass:
            return compareText(klassName(ra.klassId), klassName(rb.klassId));
        case ArchiveField::Name:
            return compareText(ra.name, rb.name);
        case ArchiveField::Points:
            return compareValues(ra.points, rb.points);
        case ArchiveField::RightsPercent:
            return compareValues(ra.percent, rb.percent);
        case ArchiveField::Topic:
            return compareText(topicName(ra.topicId), topicName(rb.topicId));
        }
        return 0;
    };
    // Stable either way: rows with equal keys keep the order they were read in.
    if (m_descending)
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return compare(a, b) > 0; });
    else
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return compare(a, b) < 0; });
}

bool ArchiveQuery::deleteRow(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    if (ShowMessage(ArchiveText::AskDelete.arg(name(row)), MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    m_connection->execute(SqlFormat(text(Sql::DeleteResult), {QString::number(resId(row))}));
    reread();
    return true;
}
