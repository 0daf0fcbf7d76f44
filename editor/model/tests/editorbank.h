#pragma once

#include "datamodules.h"
#include "dataset.h"
#include "sqltexts.h"
#include "topicstore.h"

// Tests of the editor: Scribant's data modules on a fresh bank, prepared as at start, with
// helpers that write and read rows behind the editor's back.

inline QString q(const char* s)
{
    return QString::fromUtf8(s);
}

// Scribant's data modules on a fresh bank, prepared as at start.
// Rows written and read behind the editor's back, on whatever connection the test has.
class BankRows
{
public:
    virtual ~BankRows() = default;
    virtual StoreConnection* connection() = 0;

    int addTopic(const QString& name, const QString& queIds = {}, int parent = 0)
    {
        Dataset topics(connection(), "t", q(Sql::AllTopics));
        topics.open();
        topics.append();
        topics.setValue("TopicName", name);
        topics.setValue("ParentID", parent);
        topics.setValue("QueIDs", queIds);
        topics.post();
        return topics.value("TopicID").toInt();
    }

    int addQuestion(const QString& text, int links = 1)
    {
        Dataset questions(connection(), "q", q(Sql::AllQuestions) + " WHERE FALSE");
        questions.open();
        questions.append();
        questions.setValue("Question", text);
        questions.setValue("LinksCount", links);
        questions.setValue("QueType", 0);
        questions.post();
        return questions.value("QueID").toInt();
    }

    QVariant topicValue(int topicId, const QString& column)
    {
        Dataset topics(connection(), "t", q(Sql::AllTopics));
        topics.open();
        return topics.locate("TopicID", topicId) ? topics.value(column) : QVariant();
    }

    QStringList listOf(int topicId) { return TopicStore::QueIdLines(topicValue(topicId, "QueIDs").toString()); }

    QVariant questionValue(int queId, const QString& column)
    {
        Dataset questions(connection(), "q", q(Sql::AllQuestions));
        questions.open();
        return questions.locate("QueID", queId) ? questions.value(column) : QVariant();
    }

    bool questionExists(int queId)
    {
        Dataset questions(connection(), "q", q(Sql::AllQuestions));
        questions.open();
        return questions.locate("QueID", queId);
    }

    void setQuestionValue(int queId, const QString& column, const QVariant& value)
    {
        Dataset questions(connection(), "q", q(Sql::AllQuestions));
        questions.open();
        questions.locate("QueID", queId);
        questions.edit();
        questions.setValue(column, value);
        questions.post();
    }

    int topicCount()
    {
        Dataset topics(connection(), "t", q(Sql::AllTopics));
        topics.open();
        return topics.recordCount();
    }
};

class Bank : public BankRows
{
public:
    Bank() : dm(StoreProgram::Scribant), shared(&dm), store(&shared) { store.PrepareStore(); }

    StoreConnection* connection() override { return dm.ADOConnection(); }

    TDM dm;
    TSharedDM shared;
    TopicStore store;
};
