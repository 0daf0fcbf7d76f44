// When the main window's commands are enabled, what its hand-out button does and what closing asks.
#include "commandrules.h"

#include <gtest/gtest.h>

namespace {

struct EnablingCase
{
    const char* name;
    WindowState state;
    bool topicSettings, startTesting, createTestFile, toArchive, rowCommands, showCriteria, reloadDb;
    HandOutButtonStep button;
};

} // namespace

TEST(CommandRules, EnablingFollowsTopicComputersRowsAndSelection)
{
    const EnablingCase cases[] = {
        {"nothing open", {}, false, false, false, false, false, false, true, HandOutButtonStep::Nothing},
        {"a topic without questions",
         {.topicQuestionCount = 0, .connections = 2, .rows = 2},
         false,
         false,
         false,
         false,
         true,
         false,
         true,
         HandOutButtonStep::Nothing},
        {"questions but no computer",
         {.topicQuestionCount = 5},
         true,
         false,
         true,
         false,
         false,
         false,
         true,
         HandOutButtonStep::OfferQuestionFile},
        {"questions and a computer",
         {.topicQuestionCount = 5, .connections = 1, .rows = 1},
         true,
         true,
         true,
         false,
         true,
         false,
         true,
         HandOutButtonStep::StartTesting},
        {"a working row selected",
         {.topicQuestionCount = 5, .connections = 1, .rows = 1, .selectedQuestionsGiven = true, .nobodyWorking = false},
         true,
         true,
         true,
         false,
         true,
         true,
         false,
         HandOutButtonStep::StartTesting},
        {"a ready row selected",
         {.topicQuestionCount = 5, .connections = 1, .rows = 1, .selectedReady = true, .selectedQuestionsGiven = true},
         true,
         true,
         true,
         true,
         true,
         true,
         true,
         HandOutButtonStep::StartTesting},
        // a row left by a computer that went away keeps its commands
        {"a ready row without its computer",
         {.rows = 1, .selectedReady = true, .selectedQuestionsGiven = true},
         false,
         false,
         false,
         true,
         true,
         true,
         true,
         HandOutButtonStep::Nothing},
    };
    for (const EnablingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandEnabling e = EnabledCommands(c.state);
        EXPECT_EQ(e.topicSettings, c.topicSettings);
        EXPECT_EQ(e.startTesting, c.startTesting);
        EXPECT_EQ(e.createTestFile, c.createTestFile);
        EXPECT_EQ(e.toArchive, c.toArchive);
        EXPECT_EQ(e.rowCommands, c.rowCommands);
        EXPECT_EQ(e.showCriteria, c.showCriteria);
        EXPECT_EQ(e.reloadDb, c.reloadDb);
        EXPECT_EQ(HandOutButtonAction(e), c.button);
    }
}

TEST(CommandRules, ClosingAsksAboutUnsavedResultsBeforeConnectedComputers)
{
    EXPECT_EQ(ClosingQuestionFor(false, 0), ClosingQuestion::None);
    EXPECT_EQ(ClosingQuestionFor(false, 2), ClosingQuestion::ConnectedClients);
    EXPECT_EQ(ClosingQuestionFor(true, 2), ClosingQuestion::UnsavedResults);
}
