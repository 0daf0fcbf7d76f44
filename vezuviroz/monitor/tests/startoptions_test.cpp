// The command line of Vezuviroz: a result file, or a topic with request mode.
#include "startoptions.h"

#include <gtest/gtest.h>

TEST(StartOptions, GoodCommandLines)
{
    struct Case
    {
        QStringList arguments;
        QString resultFile;
        int topicId;
        QString topicName;
        bool allowRequests;
    } cases[] = {
        {{}, {}, 0, {}, false},
        {{"/home/t/work.rslt4"}, "/home/t/work.rslt4", 0, {}, false},
        {{"--topic", "12"}, {}, 12, {}, false},
        {{"--topic", "Алгебра 7"}, {}, 0, "Алгебра 7", false},
        {{"--allow-requests", "--topic", " Дроби "}, {}, 0, "Дроби", true},
        {{"--topic", "3", "--allow-requests"}, {}, 3, {}, true},
        {{"--topic", "3x"}, {}, 0, "3x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartOptions o = ParseStartOptions(c.arguments);
        EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
        EXPECT_EQ(o.resultFile, c.resultFile);
        EXPECT_EQ(o.topicId, c.topicId);
        EXPECT_EQ(o.topicName, c.topicName);
        EXPECT_EQ(o.allowRequests, c.allowRequests);
        EXPECT_EQ(o.hasTopic(), c.topicId != 0 || !c.topicName.isEmpty());
    }
}

TEST(StartOptions, BadCommandLinesAreRefusedWithAReason)
{
    const QStringList cases[] = {
        {"--topic"},
        {"--topic", ""},
        {"--topic", "0"},
        {"--topic", "-4"},
        {"--topic", "1", "--topic", "2"},
        {"--allow-requests"},
        {"--topics", "1"},
        {"a.rslt4", "b.rslt4"},
        {"a.rslt4", "--topic", "1"},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const StartOptions o = ParseStartOptions(arguments);
        EXPECT_FALSE(o.error.isEmpty());
        EXPECT_FALSE(o.hasTopic());
        EXPECT_TRUE(o.resultFile.isEmpty());
        EXPECT_FALSE(o.allowRequests);
    }
}
