#include "topictreeedits.h"

#include "datamodules.h"
#include "dataset.h"
#include "messages.h"
#include "sqldialect.h"
#include "topicstexts.h"
#include "topicstore.h"

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const QString TopicID = QStringLiteral("TopicID");
const QString ParentID = QStringLiteral("ParentID");
const QString QueIDs = QStringLiteral("QueIDs");

} // namespace

bool TopicTreeEdits::locateTopic(Dataset& topics, int topicId)
{
    topics.requery();
    return topics.locate(TopicID, topicId);
}

int TopicTreeEdits::dragTopic(int topicId, int newParentId, bool copy)
{
    Dataset& topics = *m_store.shared()->sqlTopics;
    if (topicId == m_store.shared()->NoTopicID()) {
        ShowMessage(SqlFormat(text(TopicsText::HoldingNotDragged), {text(TopicsText::HoldingTopic)}), MsgIcon::Warning);
        return 0;
    }
    if (!copy && isWithin(newParentId, topicId))
        return 0; // a topic moved below itself would leave the tree with its branch
    if (!locateTopic(topics, topicId))
        return 0;
    if (!copy) {
        topics.edit();
        topics.setValue(ParentID, newParentId);
        topics.post();
        return topicId;
    }
    const QString name = topics.value(QStringLiteral("TopicName")).toString();
    const QVariant remark = topics.value(QStringLiteral("Remark"));
    const QVariant list = topics.value(QueIDs);
    topics.append();
    topics.setValue(QStringLiteral("TopicName"), name);
    topics.setValue(ParentID, newParentId);
    topics.setValue(QStringLiteral("Remark"), remark);
    topics.setValue(QueIDs, list);
    topics.post();
    const int copyId = topics.value(TopicID).toInt();
    Dataset questions(topics.connection(), QStringLiteral("sqlQuestions"));
    m_store.ChangeTopicLinks(questions, copyId, true);
    return copyId;
}

bool TopicTreeEdits::isWithin(int topicId, int ancestorId) const
{
    QList<int> seen;
    for (int id = topicId; id != 0 && !seen.contains(id); id = parentOf(id)) {
        if (id == ancestorId)
            return true;
        seen.append(id);
    }
    return false;
}

bool TopicTreeEdits::rename(int topicId, const QString& name)
{
    if (topicId == m_store.shared()->NoTopicID()) {
        ShowMessage(text(TopicsText::HoldingNotRenamed), MsgIcon::Warning);
        return false;
    }
    Dataset& topics = *m_store.shared()->sqlTopics;
    if (name.isEmpty() || !locateTopic(topics, topicId))
        return false;
    topics.edit();
    topics.setValue(QStringLiteral("TopicName"), name);
    topics.post();
    return true;
}

int TopicTreeEdits::parentOf(int topicId) const
{
    Dataset& topics = *m_store.shared()->sqlTopics;
    return locateTopic(topics, topicId) ? topics.value(ParentID).toInt() : 0;
}

QString TopicTreeEdits::topicName(int topicId) const
{
    Dataset& topics = *m_store.shared()->sqlTopics;
    return locateTopic(topics, topicId) ? topics.value(QStringLiteral("TopicName")).toString() : QString();
}

bool TopicTreeEdits::exists(int topicId) const
{
    return locateTopic(*m_store.shared()->sqlTopics, topicId);
}
