#include "commandrules.h"

CommandEnabling EnabledCommands(const WindowState& s)
{
    CommandEnabling e;
    const bool questions = s.topicQuestionCount > 0;
    e.topicSettings = questions;
    e.createTestFile = questions;
    e.startTesting = questions && s.connections > 0;
    e.toArchive = s.rows > 0 && s.selectedReady;
    e.rowCommands = s.rows > 0;
    e.showCriteria = s.rows > 0 && s.selectedQuestionsGiven;
    e.reloadDb = s.nobodyWorking;
    return e;
}

HandOutButtonStep HandOutButtonAction(const CommandEnabling& enabled)
{
    if (enabled.startTesting)
        return HandOutButtonStep::StartTesting;
    if (enabled.createTestFile)
        return HandOutButtonStep::OfferQuestionFile;
    return HandOutButtonStep::Nothing;
}

ClosingQuestion ClosingQuestionFor(bool anyReady, int rows)
{
    if (anyReady)
        return ClosingQuestion::UnsavedResults;
    return rows > 0 ? ClosingQuestion::ConnectedClients : ClosingQuestion::None;
}
