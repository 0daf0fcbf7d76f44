#include "archivequery.h"

#include "archivetexts.h"
#include "dataset.h"
#include "fixedtext.h"
#include "gradingtexts.h"
#include "messages.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QLocale>
#include <algorithm>

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

ArchiveQuery::ArchiveQuery(StoreConnection* connection, QObject* parent)
    : QObject(parent), m_connection(connection),
      m_rows(std::make_unique<Dataset>(connection, QStringLiteral("sqlArchive")))
{}

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
    m_rows->close();
    m_rows->setSql(BuildArchiveSql(m_filter));
    m_rows->open();
    const Dataset& d = *m_rows;
    m_at = {d.fieldIndex(QStringLiteral("ResID")),       d.fieldIndex(QStringLiteral("Date")),
            d.fieldIndex(QStringLiteral("StudentID")),   d.fieldIndex(QStringLiteral("TopicID")),
            d.fieldIndex(QStringLiteral("PcName")),      d.fieldIndex(QStringLiteral("RightsPercent")),
            d.fieldIndex(QStringLiteral("Points")),      d.fieldIndex(QStringLiteral("TimeRemain")),
            d.fieldIndex(QStringLiteral("RoutChecked")), d.fieldIndex(QStringLiteral("Name")),
            d.fieldIndex(QStringLiteral("KlassID"))};
    const int count = d.recordCount();
    m_order.resize(count);
    m_statistics = {};
    for (int i = 0; i < count; ++i) {
        m_order[i] = i;
        m_statistics.add(d.rowValues(i)[m_at.points].toInt());
    }
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

const QVariant& ArchiveQuery::field(int row, int ordinal) const
{
    return m_rows->rowValues(m_order.at(row)).at(ordinal);
}

QDateTime ArchiveQuery::date(int row) const
{
    return field(row, m_at.date).toDateTime();
}

QString ArchiveQuery::pcName(int row) const
{
    return field(row, m_at.pcName).toString();
}

QString ArchiveQuery::klass(int row) const
{
    return klassName(field(row, m_at.klassId).toInt());
}

QString ArchiveQuery::name(int row) const
{
    return field(row, m_at.name).toString();
}

int ArchiveQuery::points(int row) const
{
    return field(row, m_at.points).toInt();
}

double ArchiveQuery::rightsPercent(int row) const
{
    return field(row, m_at.percent).toDouble();
}

QString ArchiveQuery::topic(int row) const
{
    return topicName(topicId(row));
}

int ArchiveQuery::resId(int row) const
{
    return field(row, m_at.resId).toInt();
}

int ArchiveQuery::topicId(int row) const
{
    return field(row, m_at.topicId).toInt();
}

int ArchiveQuery::studentId(int row) const
{
    return field(row, m_at.studentId).toInt();
}

int ArchiveQuery::timeRemain(int row) const
{
    return field(row, m_at.timeRemain).toInt();
}

QString ArchiveQuery::routChecked(int row) const
{
    return field(row, m_at.routChecked).toString();
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
    // Compares two rows of m_rows (not shown positions) by the sort field.
    const auto compare = [this](int a, int b) -> int {
        const QVariantList& ra = m_rows->rowValues(a);
        const QVariantList& rb = m_rows->rowValues(b);
        switch (m_sortField) {
        case ArchiveField::Date:
            return compareValues(ra[m_at.date].toDateTime(), rb[m_at.date].toDateTime());
        case ArchiveField::PcName:
            return compareText(ra[m_at.pcName].toString(), rb[m_at.pcName].toString());
        case ArchiveField::Klass:
            return compareText(klassName(ra[m_at.klassId].toInt()), klassName(rb[m_at.klassId].toInt()));
        case ArchiveField::Name:
            return compareText(ra[m_at.name].toString(), rb[m_at.name].toString());
        case ArchiveField::Points:
            return compareValues(ra[m_at.points].toInt(), rb[m_at.points].toInt());
        case ArchiveField::RightsPercent:
            return compareValues(ra[m_at.percent].toDouble(), rb[m_at.percent].toDouble());
        case ArchiveField::Topic:
            return compareText(topicName(ra[m_at.topicId].toInt()), topicName(rb[m_at.topicId].toInt()));
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
