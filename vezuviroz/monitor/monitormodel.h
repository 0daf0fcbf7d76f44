#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

class Dataset;
class TDM;
class TestingServer;

// One row of the student monitor: a CurrentTesting row with the names it refers to.
struct MonitorRow
{
    QString ip;
    QString pcName;
    int studentId = 0;
    QString studentName;
    bool connected = false;
    bool questionsGiven = false;
    bool ready = false;
    bool timeLimit = false;
    bool takePartialRight = false;
    int maxTime = 0; // seconds
    int timeRemain = 0;
    int passedCount = 0;
    int maxPointSystem = 0;
    int prePoints = 0;
    int points = 0;
    double rightsPercent = 0;
    int priceSum = 0;
    int topicId = 0;
    QString topicName;
    QString results;
    QString criteria;

    bool operator==(const MonitorRow&) const = default;
};

// The student monitor over the rows of CurrentTesting, in PcName order, refreshed when the server
// says its rows changed. Only the final mark is edited here; it goes to the row at once.
class MonitorModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        QuestionsGiven,
        PcName,
        Student,
        PreMark,
        RightsPercent,
        Ready,
        TimeRemain,
        AlreadyPassedCount,
        Points,
        TopicName,
        ColumnCount
    };
    // Data the delegate draws from.
    enum Role
    {
        FlagRole = Qt::UserRole, // QuestionsGiven, Ready: whether the picture is drawn
        TimeFractionRole,        // TimeRemain: the part of the cell the bar fills, 0..1; absent: no bar
        TimeColorRole,           // TimeRemain: the bar's colour
        ConnectedRole            // every column: the row's computer is on the line
    };

    // Below 61 seconds left the bar turns from green to magenta.
    static constexpr int LastMinuteSeconds = 61;

    MonitorModel(TDM* dm, TestingServer* server, QObject* parent = nullptr);
    ~MonitorModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const MonitorRow& row(int index) const { return m_rows[index]; }
    const QList<MonitorRow>& rows() const { return m_rows; }
    // The row of an address, -1 when none.
    int rowOf(const QString& ip) const;
    bool anyReady() const;

    // Reads the rows again (the server's change signal calls it); names are read again too when
    // asked, after the students or topics were edited.
    void refresh();
    void reloadNames();

    // "0.#": the percent with one decimal when it has one, in the locale's notation.
    static QString PercentText(double percent);
    static QString MarkText(int maxPointSystem, int prePoints);

private:
    QList<MonitorRow> readRows();
    QString studentName(int id);
    QString topicName(int id);

    TDM* m_dm;
    TestingServer* m_server;
    std::unique_ptr<Dataset> m_students;
    std::unique_ptr<Dataset> m_topics;
    QHash<int, QString> m_studentNames;
    QHash<int, QString> m_topicNames;
    QList<MonitorRow> m_rows;
};
