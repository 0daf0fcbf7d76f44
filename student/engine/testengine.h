#pragma once

#include "engineinterfaces.h"
#include "questionrow.h"
#include "table.h"
#include "testsettings.h"

#include <QHash>
#include <QObject>
#include <QRandomGenerator>
#include <array>

enum class TestPhase
{
    Waiting,      // no test; waiting for a question set
    Answering,    // the test runs; answers may be changed
    Confirmed,    // the current question is confirmed and its right answers are shown
    Reviewing,    // ended with the right answers shown on every question
    Finished,     // ended without them
    ArgumentFile, // started with a file argument that is not a question file
};

// The "next" button runs "Следующий вопрос", or "Вопрос решён" while a question awaits confirming.
enum class NextAction
{
    NextQuestion,
    QuestionReady
};

static constexpr int MaxAnswerPositions = 8;

// The answer numbers per screen row 1..8 of an ordering or matching question (index 0 is row 1).
using Arrangement = std::array<int, MaxAnswerPositions>;

// One answer position of the question shown.
struct AnswerPosition
{
    int answer = 0;     // number of the answer shown here (1..8)
    bool shown = false; // the answer has a text or a picture
    bool right = false; // marked right (phases Confirmed and Reviewing)
    int orderMark = 0;  // ordering: the answer number; matching right column: its left row; 0 none
    bool operator==(const AnswerPosition&) const = default;
};

// What the view shows; rebuilt by every operation.
struct EngineView
{
    bool hasQuestion = false;
    int index = -1;
    int count = 0;
    int row = -1; // the question's row in questionSet()
    int queId = 0;
    QuestionKind kind = QuestionKind::Choice;
    int answerCount = 0; // 7 or 8
    std::array<AnswerPosition, MaxAnswerPositions> positions{};
    bool marksShown = false;       // right answers shown (Confirmed, Reviewing)
    bool rightAnswerShown = false; // open question: "Правильный ответ:" with Ans1
    int rightCount = 0;
    bool rightCountShown = false;
    bool pricePanelShown = false;
    int price = 0;
    QString priceShare; // "(%.1F%)", empty when the price sum is 0
    QString titleSuffix;
    QString questionNumber;

    NextAction nextAction = NextAction::NextQuestion;
    bool prevVisible = true;
    bool prevEnabled = false;
    bool nextEnabled = false;
    bool readyEnabled = false;
    bool questionReadyEnabled = true;
    bool answersEnabled = false;
    bool criteriaEnabled = false;

    bool timeShown = false;
    int secondsLeft = 0;
    int secondsTotal = 0;
    QString minutesText;
    QString secondsText;
    bool gaugeRed = false;
};

// The outcome of the last end of a test.
struct TestOutcome
{
    double percent = 0;
    QString percentText; // "%.1F"
    int mark = 0;
    QString markText;
    QString scoreList; // "QueID=score" lines
    int priceSum = 0;
};

// The student's test: chooses the questions and the order of their answers, keeps the answers,
// moves between questions, keeps time, reports every answered question, ends the test with a
// percentage and a mark, shows the right answers when allowed and clears all for the next student.
// It has no window: the window shows view() and turns gestures into the operations below (named
// as the window's handlers), the connection delivers the server's messages.
class TestEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr int CountdownMs = 1000;
    static constexpr int QuestionSetWaitMs = 3000;
    static constexpr int WarningSeconds = 60;

    // The random source is seeded once: from the clock in the program, fixed in tests.
    TestEngine(EngineSender& sender, EngineNotices& notices, quint32 seed, TimerFactory timers = EventLoopTimers(),
               QObject* parent = nullptr);
    ~TestEngine() override;

    // --- driven by the connection ---
    // Takes a settings list; from the network the phase becomes Waiting and the wait for the
    // question set starts. A list that lacks a criteria line, or (from the network) an appearance
    // value, is applied not at all: false, logged, and from the network handled as a question set
    // that could not be taken in.
    bool ApplySettingsList(const QString& text, bool fromFile);
    // The received package (an archive holding "QuestionList.ADTG"), or a question table loaded
    // from a question file. Starts a new test; false when the set could not be taken in.
    bool LoadQuestionSet(const QByteArray& package);
    bool LoadQuestionSet(Table questions);
    void ResetForNextStudent();
    // The answer list to the server: "FinishReport" when final, else "TotalReport".
    void SendAnswerList(bool final);
    // "!CriteriaListIs": the list replaces the criteria and is shown.
    void TakeCriteriaList(const QString& criteriaList);

    // --- question files ---
    // Starts a test from a question file (its settings and its questions); the topic name, or
    // nothing when no test could be started (the student has been told why).
    std::optional<QString> StartFromQuestionFile(const QString& path);
    // The first argument at start names an existing file: a question file starts its test, any
    // other file sets the phase ArgumentFile and the student is told it is not a question file.
    void StartWithArgument(const QString& path);

    // --- driven by the student ---
    void btnNextClick();
    void btnPrevClick();
    void acQuestionReadyExecute();
    void btnReadyClick();
    void btnShowCriteriaClick();
    // A row of the details window (only with ShowRights after the end).
    void ChooseQuestion(int index);
    void ToggleTick(int answerNumber);
    void SetOpenAnswer(const QString& text);
    // The arrangement the student dragged into; refused (false) unless it only moves the movable
    // answers among their rows.
    bool SetArrangement(const Arrangement& arrangement);
    // The saved work when the test ends without a server; also for a final report that could not
    // be delivered. The path written, or empty.
    QString SaveWorkOffline();

    // --- timers (public so that the timers of the event loop and tests call the same code) ---
    void WorkTimerTimer();
    void RcvQueTimerTimer();

    // --- state ---
    TestPhase phase() const { return m_phase; }
    const EngineView& view() const { return m_view; }
    const SettingsListValues& settings() const { return m_settings; }
    const QString& criteriaList() const { return m_criteriaList; }
    const QList<int>& presentation() const { return m_presentation; }
    const Table& questionSet() const { return m_set; }
    bool sevenAnswerFormat() const { return m_sevenAnswer; }
    int answerCount() const { return m_sevenAnswer ? MaxAnswerPositions - 1 : MaxAnswerPositions; }
    int currentIndex() const { return m_index; }
    int shownCount() const { return m_highestShown + 1; }
    int priceSum() const { return m_priceSum; }
    int secondsLeft() const { return m_secondsLeft; }
    bool timed() const;
    bool routePending() const { return m_routePending; }
    const Arrangement& arrangement() const { return m_arrangement; }
    const TestOutcome& lastOutcome() const { return m_outcome; }
    // The answer list of the work so far (BuildRsltList or BuildFactList over the presentation).
    QString AnswerList() const;

Q_SIGNALS:
    // The view changed: the window redraws from view().
    void changed();
    // A settings list or question set was refused (the student and the server have been told).
    void questionSetRefused();

private:
    QuestionRow rowOf(int index) const;
    QuestionKind kindOf(const QuestionRow& row) const;
    int rowIndexOf(int queId) const { return m_rows.value(queId, -1); }
    void takeSet(Table questions);
    void SelectQuestions();
    void BuildHowMixed();
    QString MixPositions(const QuestionRow& row);
    QString MixHalf(const QuestionRow& row, int from, int to);
    int draw(int n);
    void ShowQuestion(int index);
    void updateButtons();
    void updateTime();
    QStringList routeList() const;
    void ReportCurrentQuestion();
    QString BuildArrangementAnswer(int first) const;
    void endTest();
    TestOutcome grade() const;
    TestDetails details() const;
    void stopCountdown();
    void failSetIntake(const QString& problem);
    void clearView();

    EngineSender& m_sender;
    EngineNotices& m_notices;
    QRandomGenerator m_random;
    std::unique_ptr<EngineTimer> m_countdown;
    std::unique_ptr<EngineTimer> m_setWait;

    SettingsListValues m_settings;
    QString m_criteriaList;
    bool m_settingsRefused = false;
    TestPhase m_phase = TestPhase::Waiting;
    Table m_set;
    QuestionColumns m_columns;
    QHash<int, int> m_rows; // QueID -> row of m_set
    bool m_sevenAnswer = false;
    QList<int> m_presentation;
    int m_index = 0;
    int m_highestShown = -1;
    int m_priceSum = 0;
    int m_secondsLeft = 0;
    bool m_routePending = false;
    bool m_gaugeRed = false;
    Arrangement m_arrangement{};
    NextAction m_nextAction = NextAction::NextQuestion;
    bool m_questionReadyEnabled = true;
    bool m_readyDone = false; // "Тест закончен" disabled by the end of the test
    TestOutcome m_outcome;
    EngineView m_view;
};
