#include "datamodules.h"

#include "apperror.h"
#include "appfolder.h"
#include "dataset.h"
#include "dbutils.h"
#include "runlog.h"
#include "sqltexts.h"
#include "utf8text.h"

#include <QTimer>

namespace {

constexpr char PassText[] = "Зачёт";
constexpr char FailText[] = "Незачёт";

} // namespace

TopicQuestionCache::Entry* TopicQuestionCache::find(const QString& key)
{
    for (Entry& e : m_entries)
        if (e.key == key)
            return &e;
    return nullptr;
}

TopicQuestionCache::Entry& TopicQuestionCache::add(int topicId, Table questions)
{
    m_entries.append({QString::number(topicId), std::move(questions), 0});
    return m_entries.last();
}

void TopicQuestionCache::remove(const QString& key)
{
    m_entries.removeIf([&](const Entry& e) { return e.key == key; });
}

TDM::TDM(StoreProgram program, QObject* parent)
    : QObject(parent), m_program(program),
      m_connection(std::make_unique<StoreConnection>(QStringLiteral("ADOConnection-%1").arg(quintptr(this))))
{
    setObjectName(QStringLiteral("DM"));
    StoreConnection* c = m_connection.get();
    if (program == StoreProgram::Vezuviroz) {
        sqlTopics = new Dataset(c, QStringLiteral("sqlTopics"), Utf8Text(Sql::TopicsByName), this);
        sqlQuestions = new Dataset(c, QStringLiteral("sqlQuestions"), Utf8Text(Sql::QuestionsOfTopic), this);
        sqlResults = new Dataset(c, QStringLiteral("sqlResults"), Utf8Text(Sql::ResultsOfTopic), this);
        sqlCurrentTesting =
            new Dataset(c, QStringLiteral("sqlCurrentTesting"), Utf8Text(Sql::CurrentTestingByPc), this);
        sqlStudents = new Dataset(c, QStringLiteral("sqlStudents"), Utf8Text(Sql::StudentsOfKlass), this);
        sqlKlasses = new Dataset(c, QStringLiteral("sqlKlasses"), Utf8Text(Sql::Klasses), this);
        sqlAppSettings = new Dataset(c, QStringLiteral("sqlAppSettings"), Utf8Text(Sql::VezuvirozSettings), this);
        sqlWorkingCount = new Dataset(c, QStringLiteral("sqlWorkingCount"), Utf8Text(Sql::WorkingCount), this);
        sqlStudents->setParam(QStringLiteral("KlassID"), QStringLiteral("%"));
        // A new student joins the class the list is filtered by; without one the row is dropped.
        sqlStudents->beforeInsert = [](Dataset& d) { return !d.param(QStringLiteral("KlassID")).toString().isEmpty(); };
        sqlStudents->onNewRecord = [](Dataset& d) {
            bool isNumber = false;
            const int klass = d.param(QStringLiteral("KlassID")).toString().toInt(&isNumber);
            if (isNumber)
                d.setValue(QStringLiteral("KlassID"), klass);
        };
        m_cache = std::make_unique<TopicQuestionCache>();
        wireCurrentTesting();
    } else {
        sqlAppSettings = new Dataset(c, QStringLiteral("sqlAppSettings"), Utf8Text(Sql::ScribantSettings), this);
        sqlTopics = new Dataset(c, QStringLiteral("sqlTopics"), Utf8Text(Sql::TopicsByName), this);
    }
    OpenStore();
}

TDM::~TDM()
{
    for (const QString& error : Close())
        LogText(error);
}

QStringList TDM::Close()
{
    QStringList errors;
    if (m_closed)
        return errors;
    m_closed = true;
    m_ending = true;
    if (m_program == StoreProgram::Vezuviroz) {
        m_cache.reset();
        try {
            ClearCurrentTesting();
        } catch (const AppError& e) {
            errors.append(e.message());
        }
    }
    if (const QString error = CloseStore(); !error.isEmpty())
        errors.append(error);
    return errors;
}

void TDM::wireCurrentTesting()
{
    Dataset* ct = sqlCurrentTesting;
    ct->beforeInsert = [this](Dataset&) { return m_insertAllowed; };
    ct->afterInsert = [this](Dataset&) { m_newRowPosting = true; };
    ct->afterPost = [this](Dataset& d) {
        if (!m_newRowPosting)
            return;
        m_newRowPosting = false;
        LogText(QStringLiteral("Inserted to DB: \"%1\". RecordCount=%2")
                    .arg(d.value(QStringLiteral("IP")).toString())
                    .arg(d.recordCount()));
    };
    ct->beforeDelete = [](Dataset& d) {
        LogText(QStringLiteral("\"%1\" deleted from DB. RecordCount=%2")
                    .arg(d.value(QStringLiteral("IP")).toString())
                    .arg(d.recordCount() - 1));
    };
    ct->afterScroll = [this](Dataset&) {
        if (!m_ending)
            Q_EMIT currentTestingChanged();
    };
    ct->addCalculatedField(QStringLiteral("_s_PrePoints"), [](const Dataset& d) -> QVariant {
        const int points = d.value(QStringLiteral("PrePoints")).toInt();
        if (d.value(QStringLiteral("MaxPointSystem")).toInt() == 1)
            return QString::fromUtf8(points == 1 ? PassText : FailText);
        return QString::number(points);
    });
}

void TDM::OpenStore()
{
    if (const QString missing = MissingStoreDriver(); !missing.isEmpty())
        throw AppError(missing);
    if (m_connection->isOpen())
        m_connection->close();
    m_connection->open(AppFilePath(QLatin1String(StoreFileName)));
}

QString TDM::CloseStore()
{
    // The path it was opened with: the program's folder may be looked up differently by now.
    const QString path = m_connection->path();
    const bool wasOpen = m_connection->isOpen();
    m_connection->close(); // gives the shared lock back: the compaction looks for other holders
    return wasOpen ? CompactDatabase(path) : QString();
}

void TDM::OpenAllDatasets()
{
    m_connection->openAllDatasets();
}

void TDM::Reconnect(bool pause)
{
    if (m_reconnectPending)
        return;
    m_connection->close();
    if (!pause) {
        reopen();
        return;
    }
    m_reconnectPending = true;
    const auto work = [this] {
        m_reconnectPending = false;
        reopen();
        Q_EMIT reconnected();
    };
    if (m_scheduler)
        m_scheduler(ReconnectPauseMs, work);
    else
        QTimer::singleShot(ReconnectPauseMs, this, work);
}

void TDM::reopen()
{
    m_connection->open(m_connection->path().isEmpty() ? AppFilePath(QLatin1String(StoreFileName))
                                                      : m_connection->path());
    OpenAllDatasets();
    if (m_program == StoreProgram::Vezuviroz && !m_ending)
        Q_EMIT currentTestingChanged();
}

void TDM::ClearCurrentTesting()
{
    if (!sqlCurrentTesting || !sqlCurrentTesting->isOpen() || sqlCurrentTesting->isEmpty())
        return;
    m_connection->execute(Utf8Text(Sql::ClearCurrentTesting));
    sqlCurrentTesting->requery();
}

TSharedDM::TSharedDM(TDM* dm, QObject* parent) : QObject(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("SharedDM"));
    StoreConnection* c = dm->ADOConnection();
    sqlOldQuestions = new Dataset(c, QStringLiteral("sqlOldQuestions"), Utf8Text(Sql::OldQuestions), this);
    sqlSingleLevelTopics =
        new Dataset(c, QStringLiteral("sqlSingleLevelTopics"), Utf8Text(Sql::SingleLevelTopics), this);
    sqlTopics = new Dataset(c, QStringLiteral("sqlTopics"), Utf8Text(Sql::TopicsByName), this);
    sqlSettings = new Dataset(c, QStringLiteral("sqlSettings"), Utf8Text(Sql::Settings), this);
    cmdResetTopics = std::make_unique<SqlCommand>(c, Utf8Text(Sql::ResetTopicMarks));
    cmdReserve = std::make_unique<SqlCommand>(c);
    m_settings = std::make_unique<SettingsRows>(*sqlSettings);
    dm->OpenAllDatasets();
}

TSharedDM::~TSharedDM() = default;
