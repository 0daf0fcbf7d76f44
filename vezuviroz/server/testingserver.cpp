#include "testingserver.h"

#include "apperror.h"
#include "appfolder.h"
#include "connection.h"
#include "datamodules.h"
#include "dataset.h"
#include "datasettable.h"
#include "listlines.h"
#include "markscale.h"
#include "messages.h"
#include "questiondraw.h"
#include "runlog.h"
#include "servertexts.h"
#include "setpacker.h"
#include "sqltexts.h"
#include "topicstore.h"
#include "udpadvertiser.h"
#include "valuation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString field(const char* name)
{
    return QString::fromLatin1(name);
}

// Column names of CurrentTesting.
const QString IP = field("IP");
const QString PcName = field("PcName");
const QString StudentID = field("StudentID");
const QString QuestionsGiven = field("QuestionsGiven");
const QString Ready = field("Ready");
const QString CurrentTopicID = field("CurrentTopicID");
const QString TimeLimit = field("TimeLimit");
const QString MaxTime = field("MaxTime");
const QString TakePartialRight = field("TakePartialRight");
const QString MaxPointSystem = field("MaxPointSystem");
const QString CriteriaList = field("CriteriaList");
const QString PriceSumField = field("PriceSum");
const QString ResultsField = field("Results");
const QString AlreadyPassedCount = field("AlreadyPassedCount");
const QString TimeRemain = field("TimeRemain");
const QString RightsPercent = field("RightsPercent");
const QString PrePoints = field("PrePoints");
const QString Points = field("Points");

constexpr int ToldToSwitchOff = -1; // MaxPointSystem of a waiting row told "!CloseClient"
constexpr int SecondsPerMinute = 60;

// The current row of the working table comes back where it was when the handler ends.
class RowKeeper
{
public:
    explicit RowKeeper(Dataset& rows) : m_rows(rows), m_recNo(rows.isOpen() ? rows.recNo() : 0) {}
    ~RowKeeper()
    {
        if (!m_rows.isOpen() || m_rows.isEmpty())
            return;
        m_rows.first();
        if (m_recNo > 1)
            m_rows.moveBy(qMin(m_recNo, m_rows.recordCount()) - 1);
    }
    RowKeeper(const RowKeeper&) = delete;
    RowKeeper& operator=(const RowKeeper&) = delete;

private:
    Dataset& m_rows;
    int m_recNo;
};

} // namespace

bool ServerPrompts::confirm(const QString& question)
{
    return ShowMessage(question, MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes;
}

int ServerPrompts::chooseStudent(const QString&)
{
    return 0;
}

TestingServer::TestingServer(TDM* dm, TSharedDM* shared, ServerPrompts* prompts, QObject* parent)
    : QObject(parent), m_dm(dm), m_shared(shared), m_prompts(prompts), m_server(new CommandServer(this)),
      m_handed(AppFilePath(QLatin1String(HandedOutFolder)))
{
    if (!m_prompts) {
        m_ownPrompts = std::make_unique<ServerPrompts>();
        m_prompts = m_ownPrompts.get();
    }
    StoreConnection* c = dm->ADOConnection();
    m_students = std::make_unique<Dataset>(c, QStringLiteral("sqlStudentNames"), text(Sql::AllStudentsByName));
    m_results = std::make_unique<Dataset>(c, QStringLiteral("sqlFiledResults"), text(Sql::ResultsOfTopic));
    m_childTopics = std::make_unique<Dataset>(c, QStringLiteral("sqlChildTopics"), text(Sql::ChildTopics));
    connect(m_server, &CommandServer::clientConnected, this, &TestingServer::attach);
    watchRows();
}

TestingServer::~TestingServer()
{
    rows().afterPost = std::move(m_rowsAfterPost);
    rows().afterDelete = std::move(m_rowsAfterDelete);
    rows().afterOpen = std::move(m_rowsAfterOpen);
    // the datasets go before the connection they were made on
    m_students.reset();
    m_results.reset();
    m_childTopics.reset();
}

// Every write to the working table, whoever makes it, reaches the monitor through rowsChanged().
void TestingServer::watchRows()
{
    const auto chain = [this](std::function<void(Dataset&)>& hook, std::function<void(Dataset&)>& kept) {
        kept = hook;
        hook = [this, &kept](Dataset& d) {
            if (kept)
                kept(d);
            noteRowsChanged();
        };
    };
    chain(rows().afterPost, m_rowsAfterPost);
    chain(rows().afterDelete, m_rowsAfterDelete);
    chain(rows().afterOpen, m_rowsAfterOpen);
}

void TestingServer::noteRowsChanged()
{
    if (std::exchange(m_rowsChangeQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_rowsChangeQueued = false;
            Q_EMIT rowsChanged();
        },
        Qt::QueuedConnection);
}

// --- start and end ---

bool TestingServer::Start(int udpPort, int tcpPort)
{
    if (!rows().isOpen())
        rows().open();
    dropRowsWithoutWork();
    removeTransientFiles();
    m_tcpPort = tcpPort;
    if (!m_server->listen(quint16(tcpPort))) {
        LogText(text(ServerText::LogListenFailed).arg(tcpPort).arg(QStringLiteral("the port is in use")));
        return false;
    }
    m_tcpPort = m_server->port();
    LogText(text(ServerText::LogListen));
    if (udpPort >= 0) {
        m_advertiser = new TUDPAdvertiser(this);
        m_advertiser->setDefaultInfoString(QLatin1String(AdvertiserInfo));
        m_advertiser->setPort(udpPort);
    }
    LogText(text(ServerText::LogServerActive));
    UpdateCounters();
    return true;
}

void TestingServer::Stop(bool keepWorks)
{
    m_handOut.cancel = true;
    closeConnections();
    delete m_advertiser;
    m_advertiser = nullptr;
    removeTransientFiles();
    if (!keepWorks) {
        m_dm->ClearCurrentTesting();
        m_handed.keepOnly({});
        return;
    }
    dropRowsWithoutWork();
}

void TestingServer::dropRowsWithoutWork()
{
    Dataset& r = rows();
    r.requery();
    QStringList kept;
    r.first();
    while (!r.eof()) {
        const QString address = r.value(IP).toString();
        if (holdsWork() || m_rowConnection.contains(address)) {
            kept.append(address);
            r.next();
        } else {
            r.remove();
        }
    }
    m_handed.keepOnly(kept);
    if (r.isEmpty()) {
        LogText(text(ServerText::LogTableEmpty));
        setPhaseAfterEmptyTable();
    } else {
        LogText(text(ServerText::LogWorksKept).arg(r.recordCount()));
    }
    r.first();
}

void TestingServer::removeTransientFiles()
{
    QDir work(TopicStore::WorkFolder());
    const QStringList names =
        work.entryList({QLatin1String(QuestionDraw::AdtgFileName), QLatin1String(QuestionDraw::ArchiveBaseName) + u'*' +
                                                                       QLatin1String(QuestionDraw::ArchiveExtension)},
                       QDir::Files);
    for (const QString& name : names)
        work.remove(name);
}

quint16 TestingServer::tcpPort() const
{
    return m_server->port();
}

int TestingServer::udpPort() const
{
    return m_advertiser ? m_advertiser->boundPort() : 0;
}

int TestingServer::connectionCount() const
{
    return int(m_connections.size());
}

bool TestingServer::isConnected(const QString& address) const
{
    return m_rowConnection.contains(address);
}

void TestingServer::setPortsChanged(int udpPort, int tcpPort)
{
    m_portsChanged = true;
    m_newUdpPort = udpPort;
    m_newTcpPort = tcpPort;
}

// --- rows and connections ---

Dataset& TestingServer::rows() const
{
    return *m_dm->sqlCurrentTesting;
}

bool TestingServer::locateRow(const QString& address) const
{
    return !address.isEmpty() && rows().locate(IP, address);
}

ServerConnection* TestingServer::connectionOf(const QString& address) const
{
    return m_rowConnection.value(address);
}

void TestingServer::send(const QString& address, const QByteArray& message)
{
    if (ServerConnection* c = connectionOf(address))
        c->send(message);
}

void TestingServer::sendToAll(const QByteArray& message)
{
    for (ServerConnection* c : std::as_const(m_connections))
        c->send(message);
}

void TestingServer::setPhase(ServerPhase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
}

void TestingServer::setPhaseAfterEmptyTable()
{
    setPhase(openTopicQuestionCount() > 0 ? ServerPhase::TopicOpen : ServerPhase::NoTopic);
}

bool TestingServer::holdsWork() const
{
    return rows().value(QuestionsGiven).toBool();
}

// Stops listening; every connection ends and goes through DropClient.
void TestingServer::closeConnections()
{
    const QList<ServerConnection*> open = m_connections;
    for (ServerConnection* c : open)
        c->socket()->abort();
    // a connection whose socket was never open ends here
    while (!m_connections.isEmpty())
        clientDisconnected(m_connections.first());
    m_server->close();
}

void TestingServer::attach(ServerConnection* connection)
{
    m_connections.append(connection);
    connect(connection, &ProtocolConnection::disconnected, this,
            [this, connection] { clientDisconnected(connection); });
    LogText(text(ServerText::LogAccepted));
    LogText(text(ServerText::LogGetSocket));
    LogText(text(ServerText::LogConnected).arg(connection->peer()).arg(connectionCount()));
    connect(connection, &ServerConnection::messageReceived, this,
            [this, connection](const Protocol::StudentMessage& m) { takeMessage(connection, m); });
    connect(connection, &ProtocolConnection::queueDrained, this, [this] {
        LogText(text(ServerText::LogClientWrite));
        if (m_phase == ServerPhase::Distributing && !m_handOut.active)
            setPhase(ServerPhase::Testing);
    });
    UpdateCounters();
    Q_EMIT restartNoticeChanged(false, false);
}

// DropClient: only the connection a row is bound to takes the row with it, and only when the row
// holds no work; a work stays for its computer to take back, or for the teacher to file.
void TestingServer::clientDisconnected(ServerConnection* connection)
{
    if (!m_connections.removeOne(connection))
        return;
    disconnect(connection, nullptr, this, nullptr);
    LogText(text(ServerText::LogDisconnected).arg(connection->peer()).arg(connectionCount()));
    const QString address = m_bound.take(connection);
    if (!address.isEmpty() && m_rowConnection.value(address) == connection) {
        m_rowConnection.remove(address);
        RowKeeper keep(rows());
        if (locateRow(address)) {
            if (holdsWork()) {
                LogText(text(ServerText::LogRowKept).arg(address));
            } else {
                releaseTopic(address);
                m_handed.forget(address);
                rows().remove();
            }
        }
        if (rows().isEmpty())
            setPhaseAfterEmptyTable();
    }
    UpdateCounters();
}

void TestingServer::takeMessage(ServerConnection* connection, const Protocol::StudentMessage& m)
{
    using Kind = Protocol::StudentMessage::Kind;
    const QString address = boundAddress(connection);
    try {
        switch (m.kind) {
        case Kind::Iam:
            identify(connection, m.topicId, m.hostName);
            break;
        case Kind::GetQuestions:
            if (m_phase == ServerPhase::Distributing || m_handOut.active)
                BroadcastRequestState(true, true);
            else
                HandOutQuestions(connection);
            break;
        case Kind::NoopEcho:
            Q_EMIT echoCountChanged(++m_echoCount);
            break;
        case Kind::Rout:
            StoreRoute(address, m.priceSum, m.lines);
            break;
        case Kind::Report:
            StoreReport(address, m.report);
            break;
        case Kind::TotalReport:
        case Kind::FinishReport:
            StoreTotalReport(address, m.lines, m.kind == Kind::FinishReport);
            break;
        case Kind::CriteriaNeeded:
            SendCriteria(address);
            break;
        }
    } catch (const AppError& e) {
        // a store failure ends this message's handling, never the server
        LogText(e.message());
    }
}

void TestingServer::identify(ServerConnection* connection, int topicId, const QString& hostName)
{
    if (m_portsChanged)
        connection->send(Protocol::setPorts(m_newUdpPort, m_newTcpPort));
    if (!RegisterClient(connection, hostName))
        return;
    if (topicId != 0)
        ReattachClient(connection->peer(), topicId);
    else if (m_requestMode)
        BroadcastRequestState(true, false);
    Q_EMIT computerRegistered(connection->peer(), topicId);
}

bool TestingServer::RegisterClient(ServerConnection* connection, const QString& hostName)
{
    const QString address = connection->peer();
    if (m_bound.contains(connection))
        return true; // the same connection identifies itself again
    RowKeeper keep(rows());
    if (locateRow(address)) {
        if (m_rowConnection.contains(address)) {
            // another connection of this computer is registered already
            connection->socket()->disconnectFromHost();
            return false;
        }
        m_bound.insert(connection, address);
        m_rowConnection.insert(address, connection);
        LogText(text(ServerText::LogRowRebound).arg(address));
        noteRowsChanged(); // the row is connected again
        return true;
    }
    m_dm->setCurrentTestingInsertAllowed(true);
    bool posted = false;
    try {
        if (rows().append()) {
            rows().setValue(IP, address);
            rows().setValue(PcName, hostName);
            rows().setValue(RightsPercent, 0);
            rows().setValue(Points, 0);
            rows().setValue(QuestionsGiven, false);
            rows().setValue(Ready, false);
            rows().post();
            posted = true;
        }
    } catch (const AppError& e) {
        LogText(e.message());
        if (rows().state() == DatasetState::Insert)
            rows().cancel();
    }
    m_dm->setCurrentTestingInsertAllowed(false);
    if (!posted)
        return false;
    m_bound.insert(connection, address);
    m_rowConnection.insert(address, connection);
    // once the events waiting now have run, every row must belong to a computer
    QTimer::singleShot(0, this, &TestingServer::checkRows);
    return true;
}

// A row that neither belongs to an identified connection nor holds a work is left from a
// connection whose end was never reported: the network failed. Connections that have not
// identified themselves yet do not count, so a slow "Iam" never costs anybody's row.
void TestingServer::checkRows()
{
    if (m_restarting)
        return;
    Dataset& r = rows();
    for (int i = 0; i < r.recordCount(); ++i) {
        const QVariantList& values = r.rowValues(i);
        const QString address = values[r.fieldIndex(IP)].toString();
        if (!m_rowConnection.contains(address) && !values[r.fieldIndex(QuestionsGiven)].toBool()) {
            RestartServer(true);
            return;
        }
    }
}

void TestingServer::ReattachClient(const QString& address, int topicId)
{
    RowKeeper keep(rows());
    SettingsRows& settings = m_shared->settings();
    settings.dataset().requery();
    if (!locateRow(address) || !settings.locateTopic(topicId))
        return;
    const TestSettings s = settings.ReadSettingsRow();
    rows().edit();
    rows().setValue(CurrentTopicID, topicId);
    rows().setValue(TimeLimit, s.TimeLimit);
    rows().setValue(TakePartialRight, s.TakePartialRight);
    rows().setValue(MaxPointSystem, s.MaxPointSystem);
    rows().setValue(MaxTime, s.MaxTime * SecondsPerMinute);
    rows().setValue(CriteriaList, BuildCriteriaList(s));
    rows().post();
    if (!m_dm->topicQuestionCache()->findTopic(topicId)) {
        OpenTestTopic(topicId); // tells every computer, this one among them
    } else if (!m_requestMode) {
        // the topic is cached already: this computer still needs its "!Ready" to send its answers
        send(address, Protocol::ready(topicId));
    }
    holdTopic(address, topicId);
}

// --- the topic question cache ---

const Table* TestingServer::cachedQuestions(int topicId) const
{
    const TopicQuestionCache::Entry* entry = m_dm->topicQuestionCache()->findTopic(topicId);
    return entry ? &entry->questions : nullptr;
}

void TestingServer::SendNeedRoute(const QString& address)
{
    send(address, Protocol::command(Protocol::Head::NeedRoute));
}

void TestingServer::holdTopic(const QString& address, int topicId)
{
    if (m_heldTopic.contains(address)) {
        if (m_heldTopic.value(address) == topicId)
            return;
        releaseTopic(address);
    }
    TopicQuestionCache* cache = m_dm->topicQuestionCache();
    TopicQuestionCache::Entry* entry = cache->findTopic(topicId);
    if (!entry) {
        // only the open topic's table can be copied; another topic is graded as 0 % until opened
        if (!m_topicOpen || m_topicId != topicId)
            return;
        entry = &cache->add(topicId, m_topicTable);
        m_gradingSets.clear(); // the entries may have moved
        LogText(text(ServerText::LogQueDataSetStored).arg(cache->count()));
    }
    ++entry->references;
    m_heldTopic.insert(address, topicId);
}

void TestingServer::releaseTopic(const QString& address)
{
    if (!m_heldTopic.contains(address))
        return;
    const int topicId = m_heldTopic.take(address);
    TopicQuestionCache* cache = m_dm->topicQuestionCache();
    TopicQuestionCache::Entry* entry = cache->findTopic(topicId);
    if (!entry || --entry->references > 0)
        return;
    cache->remove(entry->key);
    m_gradingSets.clear();
    LogText(text(ServerText::LogQueDataSetRemoved).arg(cache->count()));
}

const QuestionSet* TestingServer::gradingSet(int topicId)
{
    if (const auto it = m_gradingSets.constFind(topicId); it != m_gradingSets.constEnd())
        return it->get();
    TopicQuestionCache::Entry* entry = m_dm->topicQuestionCache()->findTopic(topicId);
    if (!entry)
        return nullptr;
    auto set = std::make_shared<QuestionSet>(entry->questions);
    m_gradingSets.insert(topicId, set);
    return set.get();
}

// --- grading ---

// The one place where the server grades: the total over the answer list and the mark it gives.
TestingServer::Graded TestingServer::grade(int topicId, const QString& answers, bool partial, const QString& criteria,
                                           int limit, bool details)
{
    Graded g;
    GradeTotal total;
    if (const QuestionSet* set = gradingSet(topicId))
        total = ValuateAnswerList(*set, answers, partial, details ? &g.details : nullptr, limit);
    g.percent = total.percent.toDouble();
    g.mark = MarkFromPercent(criteria, total.percent);
    return g;
}

// Sets RightsPercent and PrePoints of the current row from its Results.
void TestingServer::regradeRow(int limit, bool details, Graded* graded)
{
    Dataset& r = rows();
    *graded = grade(r.value(CurrentTopicID).toInt(), r.value(ResultsField).toString(),
                    r.value(TakePartialRight).toBool(), r.value(CriteriaList).toString(), limit, details);
    r.edit();
    r.setValue(RightsPercent, graded->percent);
    r.setValue(PrePoints, graded->mark);
    r.post();
}

// What a computer sends for a question it has not answered.
QString TestingServer::unansweredText(int topicId, int queId)
{
    const QuestionSet* set = gradingSet(topicId);
    const int r = set ? set->rowOf(queId) : -1;
    if (r < 0)
        return QStringLiteral("0");
    const QuestionRow row = set->row(r);
    switch (row.isSevenAnswerFormat() ? 0 : row.queType()) {
    case int(QuestionKind::Open):
        return QStringLiteral("***");
    case int(QuestionKind::Ordering):
    case int(QuestionKind::Matching):
        return row.howMixed();
    default:
        return QStringLiteral("0");
    }
}

// A list of the computer's answers reduced to the questions handed to it. Without a known set the
// first list that arrives defines it (a computer whose hand-out this server did not see).
QStringList TestingServer::checkedLines(const QString& address, int topicId, const QStringList& lines, bool defines)
{
    if (!m_handed.has(address)) {
        if (!defines)
            return lines;
        QList<int> ids;
        QSet<int> seen;
        for (const QString& line : lines) {
            int id = 0;
            if (AnswerLineId(line, &id) && !seen.contains(id)) {
                seen.insert(id);
                ids.append(id);
            }
        }
        m_handed.set(address, ids);
    }
    const CheckedAnswerList checked =
        CheckAnswerList(lines, m_handed.of(address), [&](int id) { return unansweredText(topicId, id); });
    for (const QString& id : checked.refused)
        LogText(text(ServerText::LogNotHandedOut).arg(address, id));
    return checked.lines;
}

// --- reports ---

void TestingServer::StoreRoute(const QString& address, int priceSum, QStringList route)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    for (QString& line : route)
        if (!line.contains(u'='))
            line += QStringLiteral("=0");
    const QStringList checked = checkedLines(address, rows().value(CurrentTopicID).toInt(), route, true);
    rows().edit();
    rows().setValue(PriceSumField, priceSum);
    rows().setValue(ResultsField, JoinListLines(checked));
    if (!holdsWork())
        rows().setValue(QuestionsGiven, true);
    rows().post();
}

void TestingServer::StoreReport(const QString& address, const Protocol::ReportLines& report)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    const QString key = QString::number(report.queId);
    QStringList results = SplitListLines(rows().value(ResultsField).toString());
    const bool handedOut = !m_handed.has(address) || m_handed.of(address).contains(report.queId);
    if (handedOut) {
        const auto it = std::find_if(results.begin(), results.end(),
                                     [&](const QString& line) { return line.section(u'=', 0, 0) == key; });
        if (report.sRslt.isEmpty()) {
            if (it != results.end())
                results.erase(it);
        } else if (it != results.end()) {
            *it = key + u'=' + report.sRslt;
        } else {
            results.append(key + u'=' + report.sRslt);
        }
    } else {
        LogText(text(ServerText::LogNotHandedOut).arg(address, key));
    }
    rows().edit();
    rows().setValue(ResultsField, JoinListLines(results));
    rows().setValue(AlreadyPassedCount, report.shownCount);
    rows().setValue(TimeRemain, report.timeRemain);
    rows().post();
    Graded graded;
    regradeRow(m_passedOnly ? report.shownCount : -report.shownCount, false, &graded);
}

void TestingServer::StoreTotalReport(const QString& address, const QStringList& results, bool final)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    const QStringList checked = checkedLines(address, rows().value(CurrentTopicID).toInt(), results, true);
    rows().edit();
    rows().setValue(ResultsField, JoinListLines(checked));
    if (!holdsWork()) {
        rows().setValue(QuestionsGiven, true);
        setPhase(ServerPhase::Testing);
    }
    rows().post();
    Graded graded;
    regradeRow(int(checked.size()), true, &graded);
    if (!final)
        return;
    rows().edit();
    rows().setValue(Ready, true);
    rows().post();
    Q_EMIT workFinished(address);
    send(address, Protocol::yourPrePointsAre(markText(), graded.percent, graded.details));
    UpdateCounters();
}

void TestingServer::SendCriteria(const QString& address)
{
    RowKeeper keep(rows());
    if (locateRow(address))
        send(address, Protocol::criteriaListIs(SplitListLines(rows().value(CriteriaList).toString())));
}

QString TestingServer::markText() const
{
    const int points = rows().value(PrePoints).toInt();
    if (rows().value(MaxPointSystem).toInt() == PassFailScale)
        return text(points == 1 ? ServerText::Pass : ServerText::Fail);
    return QString::number(points);
}

// --- the open topic and request mode ---

bool TestingServer::OpenTestTopic(int topicId)
{
    Dataset& topics = *m_dm->sqlTopics;
    topics.isOpen() ? topics.requery() : topics.open();
    if (!topics.locate(QStringLiteral("TopicID"), topicId)) {
        ShowMessage(text(ServerText::TopicIdNotFound).arg(topicId), MsgIcon::Warning);
        return false;
    }
    return openTopicRow(topicId, topics.value(QStringLiteral("TopicName")).toString());
}

bool TestingServer::OpenTestTopic(const QString& topicName)
{
    Dataset& topics = *m_dm->sqlTopics;
    topics.isOpen() ? topics.requery() : topics.open();
    if (!topics.locate(QStringLiteral("TopicName"), topicName, Qt::CaseInsensitive)) {
        ShowMessage(text(ServerText::TopicNameNotFound).arg(topicName), MsgIcon::Warning);
        return false;
    }
    return openTopicRow(topics.value(QStringLiteral("TopicID")).toInt(),
                        topics.value(QStringLiteral("TopicName")).toString());
}

bool TestingServer::openTopicRow(int topicId, const QString& topicName)
{
    m_topicId = topicId;
    m_topicName = topicName;
    m_shared->cmdResetTopics->setParam(QStringLiteral("NoTopicID"), m_shared->NoTopicID());
    m_shared->cmdResetTopics->execute();
    Dataset& questions = *m_dm->sqlQuestions;
    TopicStore::OpenQuestionList(questions, collectQuestionIds(topicId));
    m_topicTable = DatasetToTable(questions);
    m_topicOpen = true;
    const int count = m_topicTable.rowCount();
    // an empty topic's caption tells its 0 questions too
    Q_EMIT captionChanged(text(ServerText::TopicCaption).arg(text(ServerText::Caption), topicName).arg(count));
    if (count == 0)
        ShowMessage(text(ServerText::NoQuestionsInTopic).arg(topicName), MsgIcon::Warning);
    m_shared->settings().EnsureSettingsRow(topicId);
    if (m_phase == ServerPhase::NoTopic)
        setPhase(ServerPhase::TopicOpen);
    if (m_requestMode)
        BroadcastRequestState(true, false);
    else
        sendToAll(Protocol::ready(topicId));
    Q_EMIT studentViewReset();
    return true;
}

// The QueIDs of the topic and of all its sub-topics, each once, the topic's own first.
QStringList TestingServer::collectQuestionIds(int topicId)
{
    QStringList ids;
    QSet<QString> seen;
    QSet<int> visited{topicId};
    const auto take = [&](const QString& queIds) {
        for (const QString& id : TopicStore::QueIdLines(queIds))
            if (!seen.contains(id)) {
                seen.insert(id);
                ids.append(id);
            }
    };
    take(m_dm->sqlTopics->value(QStringLiteral("QueIDs")).toString());
    QList<int> level{topicId};
    while (!level.isEmpty()) {
        QList<int> below;
        for (int parent : level) {
            m_childTopics->setParam(QStringLiteral("ParentID"), parent);
            m_childTopics->isOpen() ? m_childTopics->requery() : m_childTopics->open();
            for (m_childTopics->first(); !m_childTopics->eof(); m_childTopics->next()) {
                const int child = m_childTopics->value(QStringLiteral("TopicID")).toInt();
                if (visited.contains(child))
                    continue; // a damaged tree must not loop
                visited.insert(child);
                take(m_childTopics->value(QStringLiteral("QueIDs")).toString());
                below.append(child);
            }
        }
        level = below;
    }
    return ids;
}

void TestingServer::CloseTestTopic()
{
    m_dm->sqlQuestions->close();
    m_topicOpen = false;
    m_topicTable = Table();
    Q_EMIT captionChanged(text(ServerText::Caption));
    BroadcastRequestState(false);
}

void TestingServer::SetRequestMode(bool on)
{
    m_requestMode = on;
    if (!on)
        BroadcastRequestState(false);
    else if (openTopicQuestionCount() > 0)
        BroadcastRequestState(true, false);
}

void TestingServer::BroadcastRequestState(bool allowed, bool retry)
{
    sendToAll(allowed ? Protocol::allowRequest(m_topicId, retry, m_topicName)
                      : Protocol::command(Protocol::Head::DenyRequest));
}

// --- the hand-out ---

void TestingServer::HandOutQuestions(ServerConnection* requester)
{
    if (m_handOut.active || !m_topicOpen)
        return;
    m_handOut = HandOut();
    m_handOut.active = true;
    m_handOut.byRequest = requester != nullptr;
    m_handOut.requester = requester;
    setPhase(ServerPhase::Distributing);
    Q_EMIT handOutStarted(connectionCount());
    Q_EMIT statusChanged(text(ServerText::Preparing));
    QTimer::singleShot(0, this, &TestingServer::handOutPrepare);
}

void TestingServer::handOutPrepare()
{
    HandOut& h = m_handOut;
    try {
        SettingsRows& settings = m_shared->settings();
        h.settings = SplitListLines(settings.BuildSettingsList(m_topicId, m_dm->sqlAppSettings));
        h.topicSettings = settings.locateTopic(m_topicId) ? settings.ReadSettingsRow() : settings.ReadDefaultSettings();
        h.criteria = BuildCriteriaList(h.topicSettings);
        // the bank may have changed since the topic was opened
        m_dm->sqlQuestions->requery();
        m_topicTable = DatasetToTable(*m_dm->sqlQuestions);
        h.topic = m_topicTable;
        h.perStudent = qMin(h.topicSettings.GiveMaxCount, h.topic.rowCount());
        if (h.topicSettings.RandomOrder) {
            h.packer = std::make_shared<SetPacker>(h.topic);
        } else {
            const Table sharedSet =
                QuestionDraw::SetOf(h.topic, QuestionDraw::PickRows(h.topic.rowCount(), h.perStudent, false, m_rng));
            h.sharedArchive = newArchivePath();
            QuestionDraw::PackSet(sharedSet, TopicStore::WorkFolder(), h.sharedArchive);
            h.sharedIds = QuestionDraw::QueIds(sharedSet);
        }
    } catch (const AppError& e) {
        LogText(e.message());
        handOutFinish();
        return;
    }
    if (h.byRequest) {
        ServerConnection* requester = h.requester;
        const QString address = requester ? boundAddress(requester) : QString();
        RowKeeper keep(rows());
        if (locateRow(address)) {
            Q_EMIT statusChanged(text(ServerText::SendingOnRequest).arg(rows().value(PcName).toString()));
            SendQuestionPackage(requester);
        }
        handOutFinish();
        return;
    }
    for (ServerConnection* c : std::as_const(m_connections))
        h.targets.append(c);
    handOutStep();
}

void TestingServer::handOutStep()
{
    HandOut& h = m_handOut;
    if (h.cancel || h.next >= h.targets.size()) {
        handOutFinish();
        return;
    }
    ServerConnection* c = h.targets[h.next++];
    Q_EMIT statusChanged(text(ServerText::StudentOf).arg(h.next).arg(h.targets.size()));
    Q_EMIT handOutProgress(h.next);
    if (c) {
        RowKeeper keep(rows());
        if (locateRow(boundAddress(c)) && !holdsWork())
            SendQuestionPackage(c);
    }
    // other computers' messages are handled before the next one gets its set
    QTimer::singleShot(0, this, &TestingServer::handOutStep);
}

void TestingServer::handOutFinish()
{
    if (!m_handOut.sharedArchive.isEmpty())
        QFile::remove(m_handOut.sharedArchive);
    m_handOut = HandOut();
    setPhase(ServerPhase::Testing);
    UpdateCounters();
    Q_EMIT handOutFinished();
}

QString TestingServer::newArchivePath()
{
    return QDir(TopicStore::WorkFolder())
        .filePath(QStringLiteral("%1-%2%3")
                      .arg(QLatin1String(QuestionDraw::ArchiveBaseName))
                      .arg(++m_archiveCounter)
                      .arg(QLatin1String(QuestionDraw::ArchiveExtension)));
}

// Each random set is packed into a file of its own that the transfer holds open; the name is
// removed at once, so no later draw can touch the bytes on their way.
void TestingServer::SendQuestionPackage(ServerConnection* connection)
{
    HandOut& h = m_handOut;
    const QString address = connection->peer();
    try {
        QList<int> ids = h.sharedIds;
        QString archive = h.sharedArchive;
        if (h.topicSettings.RandomOrder) {
            const QList<int> drawn = QuestionDraw::InKeyOrder(
                h.topic, QuestionDraw::PickRows(h.topic.rowCount(), h.perStudent, true, m_rng));
            ids = QuestionDraw::QueIdsOf(h.topic, drawn);
            archive = newArchivePath();
            const QByteArray packed = h.packer ? h.packer->pack(drawn) : QByteArray();
            if (!packed.isEmpty())
                QuestionDraw::WriteArchive(packed, archive);
            else
                QuestionDraw::PackSet(QuestionDraw::SetOf(h.topic, drawn), TopicStore::WorkFolder(), archive);
        }
        const bool started = connection->sendQuestionSet(h.settings, archive);
        if (h.topicSettings.RandomOrder)
            QFile::remove(archive);
        if (!started)
            return; // logged by the connection
        const TestSettings& s = h.topicSettings;
        rows().edit();
        rows().setValue(CurrentTopicID, m_topicId);
        rows().setValue(TimeLimit, s.TimeLimit);
        rows().setValue(MaxTime, s.MaxTime * SecondsPerMinute);
        rows().setValue(TakePartialRight, s.TakePartialRight);
        rows().setValue(MaxPointSystem, s.MaxPointSystem);
        rows().setValue(CriteriaList, h.criteria);
        rows().setValue(QuestionsGiven, true);
        rows().post();
        m_handed.set(address, ids);
        holdTopic(address, m_topicId);
    } catch (const AppError& e) {
        LogText(e.message());
        LogText(QStringLiteral("Questions sending error. Client: %1").arg(address));
    }
}

// --- restart and counters ---

void TestingServer::RestartServer(bool networkFault)
{
    if (m_restarting)
        return;
    m_restarting = true;
    LogText(text(ServerText::LogRestart));
    Q_EMIT restartNoticeChanged(true, networkFault);
    Q_EMIT statusChanged(text(ServerText::Restarting));
    closeConnections();
    dropRowsWithoutWork();
    QTimer::singleShot(m_restartPauseMs, this, [this, networkFault] { restartListen(networkFault); });
}

void TestingServer::restartListen(bool networkFault)
{
    m_server->listen(quint16(m_tcpPort));
    Q_EMIT statusChanged(text(ServerText::Waiting));
    LogText(text(ServerText::LogWaiting));
    m_restarting = false;
    if (!networkFault) {
        Q_EMIT statusChanged(text(ServerText::ServerReady));
        QTimer::singleShot(m_restartPauseMs, this, [this] { Q_EMIT restartNoticeChanged(false, false); });
    }
    Q_EMIT restartFinished();
}

void TestingServer::UpdateCounters(int subtract)
{
    Dataset& working = *m_dm->sqlWorkingCount;
    working.isOpen() ? working.requery() : working.open();
    const int count = working.value(QStringLiteral("WorkingCount")).toInt();
    m_nobodyWorking = count == 0;
    Q_EMIT countersChanged(connectionCount() - subtract, count);
    noteRowsChanged(); // a connection came or went
}

// --- the teacher's commands ---

QString TestingServer::studentName(int studentId)
{
    m_students->isOpen() ? m_students->requery() : m_students->open();
    return m_students->locate(StudentID, studentId) ? m_students->value(QStringLiteral("Name")).toString() : QString();
}

// Clears the current row for the next student: the row, its address and computer name stay. A
// row whose computer is gone has nobody to wait for: it goes (true), and the next row is current.
bool TestingServer::clearRow()
{
    Dataset& r = rows();
    const QString address = r.value(IP).toString();
    releaseTopic(address);
    m_handed.forget(address);
    r.edit();
    r.setValue(StudentID, QVariant());
    for (const QString& name :
         {RightsPercent, PrePoints, Points, AlreadyPassedCount, TimeRemain, CurrentTopicID, MaxTime, MaxPointSystem})
        r.setValue(name, 0);
    for (const QString& name : {QuestionsGiven, Ready, TimeLimit, TakePartialRight})
        r.setValue(name, false);
    r.setValue(ResultsField, QString());
    r.setValue(CriteriaList, QString());
    r.post();
    if (m_rowConnection.contains(address))
        return false;
    r.remove();
    return true;
}

void TestingServer::clearAndCallNext(const QString& address)
{
    clearRow();
    send(address, Protocol::command(Protocol::Head::NextStudent));
    Q_EMIT studentViewReset();
}

std::optional<int> TestingServer::FileResult(const QString& address, bool fromFileAll)
{
    RowKeeper keep(rows());
    Dataset& r = rows();
    if (!locateRow(address))
        return std::nullopt;
    if (r.value(StudentID).toInt() == 0) {
        const int student = m_prompts->chooseStudent(r.value(PcName).toString());
        if (student == 0)
            return std::nullopt;
        r.edit();
        r.setValue(StudentID, student);
        r.post();
    }
    const bool passFail = r.value(MaxPointSystem).toInt() == PassFailScale;
    if (passFail) {
        r.edit();
        r.setValue(PrePoints, r.value(PrePoints).toInt() + 1);
        r.setValue(Points, -r.value(PrePoints).toInt());
        r.post();
    } else if (r.value(Points).toInt() == 0 && !fromFileAll) {
        const QString question = text(ServerText::AcceptPrePoints)
                                     .arg(r.value(PrePoints).toInt())
                                     .arg(studentName(r.value(StudentID).toInt()));
        if (!m_prompts->confirm(question))
            return std::nullopt;
    }
    int points = r.value(Points).toInt();
    if (!passFail && points == 0)
        points = r.value(PrePoints).toInt();
    // Filed whatever topic is open now: a work of a topic opened before must not be lost.
    const int topicId = r.value(CurrentTopicID).toInt();
    m_results->setParam(QStringLiteral("aTopicID"), topicId);
    m_results->isOpen() ? m_results->requery() : m_results->open();
    m_results->append();
    m_results->setValue(QStringLiteral("Date"), QDateTime(QDate::currentDate(), QTime(0, 0)));
    m_results->setValue(StudentID, r.value(StudentID));
    m_results->setValue(PcName, r.value(PcName));
    m_results->setValue(TimeRemain, r.value(TimeRemain));
    m_results->setValue(QStringLiteral("TopicID"), topicId);
    m_results->setValue(RightsPercent, QString::number(r.value(RightsPercent).toDouble(), 'g', 3).toDouble());
    m_results->setValue(Points, points);
    m_results->setValue(QStringLiteral("RoutChecked"), r.value(ResultsField));
    m_results->post();
    m_results->close();
    if (m_dm->sqlResults->isOpen())
        m_dm->sqlResults->requery();
    if (points > 0) // the connection's gap after each message keeps "!NextStudent" out of its read
        send(address, Protocol::yourFinalPointsAre(points));
    clearAndCallNext(address);
    return points;
}

void TestingServer::ClearWorkplace(const QString& address, bool ask)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    if (ask && holdsWork() &&
        !m_prompts->confirm(text(ServerText::DropStudent).arg(studentName(rows().value(StudentID).toInt()))))
        return;
    clearAndCallNext(address);
    UpdateCounters();
}

void TestingServer::DeleteRow(const QString& address)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    if (!m_prompts->confirm(text(ServerText::DropStudent).arg(studentName(rows().value(StudentID).toInt()))))
        return;
    releaseTopic(address);
    m_handed.forget(address);
    rows().remove();
    // the connection stays open; it has no row any more
    if (ServerConnection* c = m_rowConnection.take(address))
        m_bound.remove(c);
    if (rows().isEmpty())
        setPhase(ServerPhase::TopicOpen);
    UpdateCounters();
}

void TestingServer::CloseWorkplace(const QString& address)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return;
    if (holdsWork()) {
        if (!m_prompts->confirm(text(ServerText::DropStudent).arg(studentName(rows().value(StudentID).toInt()))))
            return;
        // the teacher gave the work up: its row goes with the connection
        clearRow();
    }
    send(address, Protocol::command(Protocol::Head::CloseClient));
    Q_EMIT studentViewReset();
}

// Asked only when some row holds a work.
bool TestingServer::confirmDropAll()
{
    const Dataset& r = rows();
    bool anyWork = false;
    for (int i = 0; i < r.recordCount(); ++i)
        anyWork = anyWork || r.rowValues(i)[r.fieldIndex(QuestionsGiven)].toBool();
    return !anyWork || m_prompts->confirm(text(ServerText::DropAllStudents));
}

void TestingServer::ClearAll()
{
    RowKeeper keep(rows());
    Dataset& r = rows();
    if (!confirmDropAll())
        return;
    for (r.first(); !r.eof();)
        if (!clearRow())
            r.next();
    sendToAll(Protocol::command(Protocol::Head::NextStudent));
    Q_EMIT studentViewReset();
    UpdateCounters();
    setPhaseAfterEmptyTable();
}

void TestingServer::CloseAll()
{
    RowKeeper keep(rows());
    Dataset& r = rows();
    if (!confirmDropAll())
        return;
    // the works were given up: every row goes with its connection
    for (r.first(); !r.eof();)
        if (!holdsWork() || !clearRow())
            r.next();
    sendToAll(Protocol::command(Protocol::Head::CloseClient));
    Q_EMIT studentViewReset();
    setPhaseAfterEmptyTable();
}

void TestingServer::CloseAllFree()
{
    if (m_closingFree)
        return;
    m_closingFree = true;
    closeAllFreeStep();
}

// One free workplace per step, each told once; the next step comes after the events waiting.
void TestingServer::closeAllFreeStep()
{
    RowKeeper keep(rows());
    Dataset& r = rows();
    for (r.first(); !r.eof(); r.next()) {
        if (holdsWork() || r.value(MaxPointSystem).toInt() == ToldToSwitchOff)
            continue;
        send(r.value(IP).toString(), Protocol::command(Protocol::Head::CloseClient));
        Q_EMIT studentViewReset();
        r.edit();
        r.setValue(MaxPointSystem, ToldToSwitchOff);
        r.post();
        QTimer::singleShot(0, this, &TestingServer::closeAllFreeStep);
        return;
    }
    m_closingFree = false;
    Q_EMIT closeAllFreeFinished();
}

void TestingServer::FileAllResults()
{
    Dataset& r = rows();
    for (;;) {
        QString address;
        bool hasStudent = false;
        for (int i = 0; i < r.recordCount() && address.isEmpty(); ++i) {
            const QVariantList& values = r.rowValues(i);
            if (values[r.fieldIndex(Ready)].toBool()) {
                address = values[r.fieldIndex(IP)].toString();
                hasStudent = values[r.fieldIndex(StudentID)].toInt() != 0;
            }
        }
        if (address.isEmpty() || !hasStudent || !FileResult(address, true))
            return;
    }
}

bool TestingServer::SetPoints(const QString& address, int points)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return false;
    rows().edit();
    rows().setValue(Points, points);
    rows().post();
    return true;
}

bool TestingServer::SetStudent(const QString& address, int studentId)
{
    RowKeeper keep(rows());
    if (!locateRow(address))
        return false;
    rows().edit();
    rows().setValue(StudentID, studentId != 0 ? QVariant(studentId) : QVariant());
    rows().post();
    return true;
}

bool TestingServer::anyReady() const
{
    const Dataset& r = rows();
    if (!r.isOpen())
        return false;
    for (int i = 0; i < r.recordCount(); ++i)
        if (r.rowValues(i)[r.fieldIndex(Ready)].toBool())
            return true;
    return false;
}

void TestingServer::AnnouncePorts(int udpPort, int tcpPort)
{
    setPortsChanged(udpPort, tcpPort);
    sendToAll(Protocol::setPorts(udpPort, tcpPort));
}
