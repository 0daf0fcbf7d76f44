#include "editortopics.h"

#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "editortexts.h"
#include "messages.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "topicstexts.h"
#include "topicstore.h"
#include "topictreeedits.h"

#include <QDir>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const QString ParentID = QStringLiteral("ParentID");
const QString QueIDs = QStringLiteral("QueIDs");

} // namespace

EditorTopics::EditorTopics(TopicStore& store)
    : m_store(store),
      m_settings(std::make_unique<Dataset>(store.shared()->dm()->ADOConnection(), QStringLiteral("sqlScribantSettings"),
                                           text(Sql::ScribantSettings)))
{}

EditorTopics::~EditorTopics() = default;

void EditorTopics::EnsureSettingsRow()
{
    m_settings->close();
    m_settings->open();
    if (!m_settings->isEmpty())
        return;
    m_settings->append();
    m_settings->setValue(QStringLiteral("TopicBreakCount"), DefaultTopicBreakCount);
    m_settings->setValue(QStringLiteral("ExportPath"), QDir::toNativeSeparators(AppFolder() + u'/'));
    m_settings->setValue(QStringLiteral("DontOpenOnAddQue"), true);
    m_settings->setValue(QStringLiteral("HidePanelOnOpen"), false);
    m_settings->post();
}

int EditorTopics::topicBreakCount() const
{
    const int count = m_settings->value(QStringLiteral("TopicBreakCount")).toInt();
    return count > 0 ? count : DefaultTopicBreakCount;
}

void EditorTopics::setTopicBreakCount(int count)
{
    m_settings->edit();
    m_settings->setValue(QStringLiteral("TopicBreakCount"), count);
    m_settings->post();
}

bool EditorTopics::setting(const QString& column) const
{
    return m_settings->value(column).toBool();
}

void EditorTopics::setSetting(const QString& column, bool value)
{
    if (setting(column) == value)
        return;
    m_settings->edit();
    m_settings->setValue(column, value);
    m_settings->post();
}

EditorTopics::DeleteOutcome EditorTopics::DeleteTopic(int topicId)
{
    Dataset& topics = *m_store.shared()->sqlTopics;
    if (!TopicTreeEdits::locateTopic(topics, topicId))
        return DeleteOutcome::Declined;
    const QString name = topics.value(QStringLiteral("TopicName")).toString();
    const QString question = SqlFormat(text(EditorText::DeleteTopic), {name});
    if (ShowMessage(question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return DeleteOutcome::Declined;
    if (topicId == m_store.shared()->NoTopicID()) {
        ShowMessage(text(EditorText::HoldingNotDeleted), MsgIcon::Warning);
        return DeleteOutcome::Refused;
    }
    const int parentId = topics.value(ParentID).toInt();
    Dataset children(topics.connection(), QStringLiteral("sqlChildren"), text(Sql::ChildTopics));
    children.setParam(ParentID, topicId);
    children.open();
    for (children.first(); !children.eof(); children.next()) {
        children.edit();
        children.setValue(ParentID, parentId);
        children.post();
    }
    Dataset questions(topics.connection(), QStringLiteral("sqlQuestions"));
    m_store.ChangeTopicLinks(questions, topicId, false);
    if (TopicTreeEdits::locateTopic(topics, topicId))
        topics.remove();
    return DeleteOutcome::Deleted;
}

int EditorTopics::dragTopic(int topicId, int newParentId, bool copy)
{
    return TopicTreeEdits(m_store).dragTopic(topicId, newParentId, copy);
}

bool EditorTopics::addQuestionInStore(int topicId, int queId, bool copy)
{
    Dataset& topics = *m_store.shared()->sqlTopics;
    if (!TopicTreeEdits::locateTopic(topics, topicId))
        return false;
    QStringList ids = TopicStore::QueIdLines(topics.value(QueIDs).toString());
    const QString line = QString::number(queId);
    if (ids.contains(line))
        return false;
    ids.append(line);
    topics.edit();
    topics.setValue(QueIDs, TopicStore::QueIdText(ids));
    topics.post();
    if (copy) {
        Dataset links(topics.connection(), QStringLiteral("sqlQueLinks"),
                      SqlFormat(text(Sql::QuestionLinksOf), {line}));
        links.open();
        if (!links.isEmpty())
            TopicStore::AdjustLink(links, true);
    }
    return true;
}

bool EditorTopics::rename(int topicId, const QString& name)
{
    return TopicTreeEdits(m_store).rename(topicId, name);
}

int EditorTopics::parentOf(int topicId) const
{
    return TopicTreeEdits(m_store).parentOf(topicId);
}

QString EditorTopics::topicName(int topicId) const
{
    return TopicTreeEdits(m_store).topicName(topicId);
}

bool EditorTopics::exists(int topicId) const
{
    return TopicTreeEdits(m_store).exists(topicId);
}

void EditorTopics::resetWorkingMarks()
{
    SqlCommand& reset = *m_store.shared()->cmdResetTopics;
    reset.setParam(QStringLiteral("NoTopicID"), m_store.shared()->NoTopicID());
    reset.execute();
}
