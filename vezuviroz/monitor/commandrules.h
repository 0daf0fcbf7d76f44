#pragma once

// When the main window's commands are enabled, and what its hand-out button and its closing do,
// from the state of the server and of the monitor's selected row. No widgets: the window applies
// the answers to its actions.
struct WindowState
{
    int topicQuestionCount = 0; // questions of the open topic; 0 when no topic is open
    int connections = 0;        // open connections
    int rows = 0;               // rows of the monitor
    bool selectedReady = false;
    bool selectedQuestionsGiven = false;
    bool nobodyWorking = true;
};

struct CommandEnabling
{
    bool topicSettings = false;  // acTopicSettings
    bool startTesting = false;   // acStartTesting
    bool createTestFile = false; // acCreateTestFile
    bool toArchive = false;      // acToArchive
    bool rowCommands = false;    // acClearClient, acCloseClient, acDeleteUser, acSetStudentName
    bool showCriteria = false;   // acShowCriteriaList
    bool reloadDb = false;       // acReloadDB
};

CommandEnabling EnabledCommands(const WindowState& state);

// The button "Раздать вопросы! ( F9 )": hands out when it can, otherwise offers the question file.
enum class HandOutButtonStep
{
    StartTesting,
    OfferQuestionFile,
    Nothing
};
HandOutButtonStep HandOutButtonAction(const CommandEnabling& enabled);

// What closing the window asks first.
enum class ClosingQuestion
{
    None,
    UnsavedResults,  // some row is ready: file them, close without, or stay
    ConnectedClients // rows remain: close anyway?
};
ClosingQuestion ClosingQuestionFor(bool anyReady, int rows);
