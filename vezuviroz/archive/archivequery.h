#pragma once

#include "archivestatistics.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
class StoreConnection;

// The archive's filter: each part is on when it holds a value.
struct ArchiveFilter
{
    int klassId = 0;   // "по классу"
    int studentId = 0; // "по фамилии"
    QDate date;        // "по дате"; the results of that calendar day
    int topicId = 0;   // "по теме"
    bool operator==(const ArchiveFilter&) const = default;
};

// The archive query's text for a filter: the join of Results and Students and the parts that are
// on. The date goes in in the computer's short date form; the store's dialect step turns it into
// that day, whatever form the dates are kept in.
QString BuildArchiveSql(const ArchiveFilter& filter);

// The grid's fields, in grid order.
enum class ArchiveField
{
    Date,
    PcName,
    Klass,
    Name,
    Points,
    RightsPercent,
    Topic
};
inline constexpr int ArchiveFieldCount = 7;
QString ArchiveFieldTitle(ArchiveField field);

// s_Points: "Зачёт" for -2, "Незачёт" for -1, otherwise the number.
QString PointsText(int points);
// s_Percent: the percentage with at most one decimal ("0.#"), in the locale's decimal separator.
QString PercentText(double percent);

// The rows of the archive under a filter, with their class and topic names looked up, in the
// order the teacher sorted them, and the statistics of them. Re-read whenever the filter
// changes, after a deletion, and when told that a work was stored.
class ArchiveQuery : public QObject
{
    Q_OBJECT

public:
    explicit ArchiveQuery(StoreConnection* connection, QObject* parent = nullptr);
    ~ArchiveQuery() override;

    const ArchiveFilter& filter() const { return m_filter; }
    // Reads the rows for the filter (also when it is the same one).
    void setFilter(const ArchiveFilter& filter);
    void reread();

    int rowCount() const { return int(m_order.size()); }
    // Row values by shown position (0-based).
    QDateTime date(int row) const;
    QString pcName(int row) const;
    QString klass(int row) const;
    QString name(int row) const;
    int points(int row) const;
    double rightsPercent(int row) const;
    QString topic(int row) const;
    int resId(int row) const;
    int topicId(int row) const;
    int studentId(int row) const;
    int timeRemain(int row) const;
    QString routChecked(int row) const;

    // The class and topic names of the lookups ("" when unknown).
    QString klassName(int klassId) const { return m_klasses.value(klassId); }
    QString topicName(int topicId) const { return m_topics.value(topicId); }

    // A click on a column title: that field ascending, or descending when it already is ascending.
    void sortBy(ArchiveField field);
    bool isSorted() const { return m_sorted; }
    ArchiveField sortField() const { return m_sortField; }
    bool isDescending() const { return m_descending; }

    // Asks "Удалить запись "<name>" ?"; on Yes deletes the row from Results and re-reads. True
    // when it was deleted.
    bool deleteRow(int row);

    const ArchiveStatistics& statistics() const { return m_statistics; }

Q_SIGNALS:
    void aboutToReread();
    void rowsReread();
    void aboutToSort();
    void sorted();

private:
    // One row as read; the date stays in its stored text until a cell or a sort needs it.
    struct Row
    {
        int resId = 0;
        int studentId = 0;
        int topicId = 0;
        int klassId = 0;
        int points = 0;
        int timeRemain = 0;
        double percent = 0;
        QString date;
        QString pcName;
        QString name;
        QString routChecked;
    };
    const Row& at(int row) const { return m_rows[m_order.at(row)]; }
    void readLookups();
    void applySort();

    StoreConnection* m_connection;
    QList<Row> m_rows;
    ArchiveFilter m_filter;
    QList<int> m_order; // shown position -> index in m_rows
    QHash<int, QString> m_klasses;
    QHash<int, QString> m_topics;
    ArchiveStatistics m_statistics;
    bool m_sorted = false;
    ArchiveField m_sortField = ArchiveField::Date;
    bool m_descending = false;
};
