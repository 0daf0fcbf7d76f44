#include "topicquestionset.h"

#include "apperror.h"
#include "dataset.h"
#include "datasettable.h"
#include "sqltexts.h"
#include "topicstore.h"

TopicQuestionSet ReadTopicQuestionSet(StoreConnection* store, int topicId)
{
    Dataset topic(store, QStringLiteral("sqlExportTopic"), QString::fromUtf8(Sql::TopicById));
    topic.setParam(QStringLiteral("aTopicID"), topicId);
    topic.open();
    if (topic.eof())
        throw AppError(QStringLiteral("Тема с номером %1 не найдена.").arg(topicId));
    TopicQuestionSet set;
    set.name = topic.value(QStringLiteral("TopicName")).toString();
    Dataset questions(store, QStringLiteral("sqlExportQuestions"));
    TopicStore::OpenQuestionList(questions, TopicStore::QueIdLines(topic.value(QStringLiteral("QueIDs")).toString()));
    set.questions = DatasetToTable(questions);
    return set;
}
