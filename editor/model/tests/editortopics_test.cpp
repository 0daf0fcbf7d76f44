#include "editorbank.h"
#include "editortopics.h"
#include "messagerecorder.h"

#include <gtest/gtest.h>

namespace {

class EditorTopicsTest : public ::testing::Test
{
protected:
    EditorTopicsTest() : topics(bank.store) { topics.EnsureSettingsRow(); }

    QString ids(std::initializer_list<int> list)
    {
        QStringList lines;
        for (int id : list)
            lines.append(QString::number(id));
        return TopicStore::QueIdText(lines);
    }

    Bank bank;
    EditorTopics topics;
};

TEST_F(EditorTopicsTest, TheSettingsRowIsMadeOnceWithItsDefaults)
{
    EXPECT_EQ(topics.topicBreakCount(), 10);
    EXPECT_TRUE(topics.setting("DontOpenOnAddQue"));
    EXPECT_FALSE(topics.setting("HidePanelOnOpen"));
    EXPECT_TRUE(topics.settings().value("ExportPath").toString().endsWith('/'));
    topics.setTopicBreakCount(20);
    EditorTopics again(bank.store);
    again.EnsureSettingsRow();
    EXPECT_EQ(again.settings().recordCount(), 1);
    EXPECT_EQ(again.topicBreakCount(), 20);
}

TEST_F(EditorTopicsTest, DeletingMovesSubtopicsUpAndKeepsOrphanedQuestions)
{
    const int orphan = bank.addQuestion("только здесь", 1);
    const int shared = bank.addQuestion("и в другой", 2);
    const int grand = bank.addTopic("Дед");
    const int topic = bank.addTopic("Тема", ids({orphan, shared}), grand);
    const int child = bank.addTopic("Подтема", {}, topic);
    bank.addTopic("Другая", ids({shared}));

    MessageRecorder messages({MsgResult::Yes});
    EXPECT_EQ(topics.DeleteTopic(topic), EditorTopics::DeleteOutcome::Deleted);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(q("удалить тему \"Тема\"?")));
    EXPECT_FALSE(bank.topicValue(topic, "TopicID").isValid());
    EXPECT_EQ(bank.topicValue(child, "ParentID").toInt(), grand);
    const QStringList holding = bank.listOf(bank.shared.NoTopicID());
    EXPECT_TRUE(holding.contains(QString::number(orphan)));
    EXPECT_FALSE(holding.contains(QString::number(shared)));
    EXPECT_EQ(bank.questionValue(orphan, "LinksCount").toInt(), 0);
    EXPECT_EQ(bank.questionValue(shared, "LinksCount").toInt(), 1);
}

TEST_F(EditorTopicsTest, NoDeletesNothingAndTheHoldingTopicIsRefused)
{
    const int a = bank.addQuestion("a");
    const int topic = bank.addTopic("Тема", ids({a}));
    const int topicsBefore = bank.topicCount();
    {
        MessageRecorder messages({MsgResult::No});
        EXPECT_EQ(topics.DeleteTopic(topic), EditorTopics::DeleteOutcome::Declined);
    }
    {
        MessageRecorder messages({MsgResult::Yes});
        EXPECT_EQ(topics.DeleteTopic(bank.shared.NoTopicID()), EditorTopics::DeleteOutcome::Refused);
        ASSERT_EQ(messages.texts.size(), 2);
        EXPECT_EQ(messages.texts[1], q("Эту тему удалять нельзя."));
    }
    EXPECT_EQ(bank.topicCount(), topicsBefore);
    EXPECT_EQ(bank.questionValue(a, "LinksCount").toInt(), 1);
}

TEST_F(EditorTopicsTest, ACopiedTopicRaisesEveryLinkAndAMoveOnlyChangesTheParent)
{
    const int a = bank.addQuestion("a");
    const int b = bank.addQuestion("b", 3);
    const int target = bank.addTopic("Куда");
    const int topic = bank.addTopic("Тема", ids({a, b}));

    const int copy = topics.dragTopic(topic, target, true);
    ASSERT_NE(copy, topic);
    EXPECT_EQ(bank.topicValue(copy, "TopicName").toString(), q("Тема"));
    EXPECT_EQ(bank.topicValue(copy, "ParentID").toInt(), target);
    EXPECT_EQ(bank.listOf(copy), bank.listOf(topic));
    EXPECT_EQ(bank.questionValue(a, "LinksCount").toInt(), 2);
    EXPECT_EQ(bank.questionValue(b, "LinksCount").toInt(), 4);

    EXPECT_EQ(topics.dragTopic(topic, target, false), topic);
    EXPECT_EQ(bank.topicValue(topic, "ParentID").toInt(), target);
    EXPECT_EQ(bank.questionValue(a, "LinksCount").toInt(), 2);
}

TEST_F(EditorTopicsTest, TheHoldingTopicIsNeitherDraggedNorRenamed)
{
    MessageRecorder messages;
    const int holding = bank.shared.NoTopicID();
    EXPECT_EQ(topics.dragTopic(holding, 0, true), 0);
    EXPECT_FALSE(topics.rename(holding, "Другое"));
    EXPECT_EQ(messages.texts, (QStringList{q("\"Вопросы без темы\" нельзя перемещать и копировать."),
                                           q("Эту тему переименовывать нельзя!")}));
    EXPECT_EQ(bank.topicValue(holding, "TopicName").toString(), q("Вопросы без темы"));
}

TEST_F(EditorTopicsTest, AQuestionDroppedInTheStoreIsListedOnce)
{
    const int a = bank.addQuestion("a");
    const int topic = bank.addTopic("Тема");
    EXPECT_TRUE(topics.addQuestionInStore(topic, a, true));
    EXPECT_FALSE(topics.addQuestionInStore(topic, a, true));
    EXPECT_EQ(bank.listOf(topic), QStringList{QString::number(a)});
    EXPECT_EQ(bank.questionValue(a, "LinksCount").toInt(), 2);
    const int other = bank.addTopic("Другая");
    EXPECT_TRUE(topics.addQuestionInStore(other, a, false));
    EXPECT_EQ(bank.questionValue(a, "LinksCount").toInt(), 2);
}

TEST_F(EditorTopicsTest, ClosingResetsEveryWorkingMarkButTheHoldingTopics)
{
    const int held = bank.addQuestion("held");
    const int marked = bank.addQuestion("marked");
    bank.setQuestionValue(held, "TopicID", bank.shared.NoTopicID());
    bank.setQuestionValue(marked, "TopicID", 55);
    topics.resetWorkingMarks();
    EXPECT_EQ(bank.questionValue(held, "TopicID").toInt(), bank.shared.NoTopicID());
    EXPECT_EQ(bank.questionValue(marked, "TopicID").toInt(), 0);
}

} // namespace
