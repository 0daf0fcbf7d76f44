#include "monitormodel.h"

#include "datamodules.h"
#include "dataset.h"
#include "markscale.h"
#include "servertexts.h"
#include "sqltexts.h"
#include "testingserver.h"
#include "utf8text.h"

#include <QColor>
#include <QLocale>

namespace {

const char* const Captions[MonitorModel::ColumnCount] = {
    "Вопр.получены",     "ПК",           "Фамилия", "Предв.Оценка", "% правильности", "Готово", "Остаток времени",
    "Пройдено вопросов", "Оконч.Оценка", "Тема"};

constexpr char WaitingText[] = "Ожидание...";
constexpr char UnlimitedText[] = "Не ограничено";
constexpr char OfflineHint[] = "Компьютер не на связи: работа ждёт его или сохранения в архив";

const QColor MarkBackground(Qt::yellow);
const QColor LastMinuteColor(Qt::magenta);
const QColor TimeColor(Qt::green);

// Reads a lookup's id-to-name pairs.
QHash<int, QString> readNames(Dataset& lookup, const char* idColumn, const char* nameColumn)
{
    lookup.isOpen() ? lookup.requery() : lookup.open();
    QHash<int, QString> names;
    const int id = lookup.fieldIndex(QLatin1String(idColumn));
    const int name = lookup.fieldIndex(QLatin1String(nameColumn));
    for (int i = 0; i < lookup.recordCount(); ++i)
        names.insert(lookup.rowValues(i)[id].toInt(), lookup.rowValues(i)[name].toString());
    return names;
}

} // namespace

MonitorModel::MonitorModel(TDM* dm, TestingServer* server, QObject* parent)
    : QAbstractTableModel(parent), m_dm(dm), m_server(server),
      m_students(std::make_unique<Dataset>(dm->ADOConnection(), QStringLiteral("sqlMonitorStudents"),
                                           Utf8Text(Sql::AllStudentsByName))),
      m_topics(
          std::make_unique<Dataset>(dm->ADOConnection(), QStringLiteral("sqlMonitorTopics"), Utf8Text(Sql::TopicNames)))
{
    connect(server, &TestingServer::rowsChanged, this, &MonitorModel::refresh);
    refresh();
}

MonitorModel::~MonitorModel() = default;

int MonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString MonitorModel::PercentText(double percent)
{
    const qint64 tenths = qRound64(percent * 10);
    if (tenths % 10 == 0)
        return QLocale().toString(tenths / 10);
    return QLocale().toString(double(tenths) / 10, 'f', 1);
}

QString MonitorModel::MarkText(int maxPointSystem, int prePoints)
{
    if (maxPointSystem == PassFailScale)
        return Utf8Text(prePoints == 1 ? ServerText::Pass : ServerText::Fail);
    return QString::number(prePoints);
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const MonitorRow& r = m_rows[index.row()];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case QuestionsGiven:
            return r.questionsGiven ? QString() : Utf8Text(WaitingText);
        case PcName:
            return r.pcName;
        case Student:
            return r.studentName;
        case PreMark:
            return MarkText(r.maxPointSystem, r.prePoints);
        case RightsPercent:
            return PercentText(r.rightsPercent);
        case TimeRemain:
            return r.timeLimit ? QString() : Utf8Text(UnlimitedText);
        case AlreadyPassedCount:
            return r.passedCount;
        case Points:
            return r.points;
        case TopicName:
            return r.topicName;
        default:
            return {};
        }
    case FlagRole:
        if (column == QuestionsGiven)
            return r.questionsGiven;
        if (column == Ready)
            return r.ready;
        return {};
    case TimeFractionRole:
        if (column != TimeRemain || !r.timeLimit || r.maxTime <= 0)
            return {};
        return qBound(0.0, double(r.timeRemain) / r.maxTime, 1.0);
    case TimeColorRole:
        if (column == TimeRemain && r.timeLimit)
            return r.timeRemain < LastMinuteSeconds ? LastMinuteColor : TimeColor;
        return {};
    case ConnectedRole:
        return r.connected;
    case Qt::BackgroundRole:
        return column == PreMark ? QVariant(MarkBackground) : QVariant();
    case Qt::TextAlignmentRole:
        switch (column) {
        case PreMark:
        case RightsPercent:
        case AlreadyPassedCount:
        case Points:
            return int(Qt::AlignCenter);
        default:
            return int(Qt::AlignVCenter | Qt::AlignLeft);
        }
    case Qt::ForegroundRole:
        return r.connected ? QVariant() : QVariant(QColor(Qt::gray));
    case Qt::ToolTipRole:
        return r.connected ? QVariant() : QVariant(Utf8Text(OfflineHint));
    default:
        return {};
    }
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return Utf8Text(Captions[section]);
}

Qt::ItemFlags MonitorModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == Points)
        f |= Qt::ItemIsEditable;
    return f;
}

bool MonitorModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != Points || index.row() >= m_rows.size())
        return false;
    bool ok = false;
    const int points = value.toString().trimmed().toInt(&ok);
    // A mark outside the row's scale (the widest while the row has none yet) would be filed as typed.
    const int scale = m_rows[index.row()].maxPointSystem > 0 ? m_rows[index.row()].maxPointSystem : HundredPointScale;
    if (!ok || points < 0 || points > scale || !m_server->SetPoints(m_rows[index.row()].ip, points))
        return false;
    m_rows[index.row()].points = points;
    Q_EMIT dataChanged(index, index);
    return true;
}

int MonitorModel::rowOf(const QString& ip) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].ip == ip)
            return i;
    return -1;
}

bool MonitorModel::anyReady() const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [](const MonitorRow& r) { return r.ready; });
}

void MonitorModel::reloadNames()
{
    m_studentNames = readNames(*m_students, "StudentID", "Name");
    m_topicNames = readNames(*m_topics, "TopicID", "TopicName");
    refresh();
}

QString MonitorModel::studentName(int id)
{
    if (id == 0)
        return {};
    if (!m_studentNames.contains(id))
        m_studentNames = readNames(*m_students, "StudentID", "Name");
    return m_studentNames.value(id);
}

QString MonitorModel::topicName(int id)
{
    if (id == 0)
        return {};
    if (!m_topicNames.contains(id))
        m_topicNames = readNames(*m_topics, "TopicID", "TopicName");
    return m_topicNames.value(id);
}

QList<MonitorRow> MonitorModel::readRows()
{
    const Dataset& d = *m_dm->sqlCurrentTesting;
    QList<MonitorRow> rows;
    const auto column = [&d](const char* name) { return d.fieldIndex(QLatin1String(name)); };
    const int ip = column("IP"), pc = column("PcName"), student = column("StudentID"), given = column("QuestionsGiven"),
              ready = column("Ready"), limit = column("TimeLimit"), partial = column("TakePartialRight"),
              maxTime = column("MaxTime"), remain = column("TimeRemain"), passed = column("AlreadyPassedCount"),
              scale = column("MaxPointSystem"), prePoints = column("PrePoints"), points = column("Points"),
              percent = column("RightsPercent"), priceSum = column("PriceSum"), topic = column("CurrentTopicID"),
              results = column("Results"), criteria = column("CriteriaList");
    for (int i = 0; i < d.recordCount(); ++i) {
        const QVariantList& v = d.rowValues(i);
        MonitorRow r;
        r.ip = v[ip].toString();
        r.pcName = v[pc].toString();
        r.studentId = v[student].toInt();
        r.studentName = studentName(r.studentId);
        r.connected = m_server->isConnected(r.ip);
        r.questionsGiven = v[given].toBool();
        r.ready = v[ready].toBool();
        r.timeLimit = v[limit].toBool();
        r.takePartialRight = v[partial].toBool();
        r.maxTime = v[maxTime].toInt();
        r.timeRemain = v[remain].toInt();
        r.passedCount = v[passed].toInt();
        r.maxPointSystem = v[scale].toInt();
        r.prePoints = v[prePoints].toInt();
        r.points = v[points].toInt();
        r.rightsPercent = v[percent].toDouble();
        r.priceSum = v[priceSum].toInt();
        r.topicId = v[topic].toInt();
        r.topicName = topicName(r.topicId);
        r.results = v[results].toString();
        r.criteria = v[criteria].toString();
        rows.append(r);
    }
    // A row registered during this run stands where the table's order puts it.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const MonitorRow& a, const MonitorRow& b) { return a.pcName < b.pcName; });
    return rows;
}

void MonitorModel::refresh()
{
    if (!m_dm->sqlCurrentTesting || !m_dm->sqlCurrentTesting->isOpen())
        return; // the store is being reconnected: its reopening refreshes again
    QList<MonitorRow> rows = readRows();
    bool sameRows = rows.size() == m_rows.size();
    for (int i = 0; sameRows && i < rows.size(); ++i)
        sameRows = rows[i].ip == m_rows[i].ip;
    if (!sameRows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i] == m_rows[i])
            continue;
        m_rows[i] = rows[i];
        Q_EMIT dataChanged(index(i, 0), index(i, ColumnCount - 1));
    }
}
