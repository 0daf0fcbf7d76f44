#pragma once

#include "questionrow.h"
#include "table.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <optional>

// What the student view needs of the monitor's selected row (CurrentTesting).
struct StudentViewRow
{
    QString address; // IP: the computer that is asked for its route
    QString results; // the answer list, "QueID=answer" lines
    bool timeLimit = false;
    int maxTime = 0;    // seconds
    int timeRemain = 0; // seconds
    bool takePartialRight = true;
    int priceSum = 0;
    bool questionsGiven = false; // not read by the view; the window's criteria window follows it
    int topicId = 0;             // CurrentTopicID

    // The values of a CurrentTesting row; field gives a column's value by name.
    static StudentViewRow fromFields(const std::function<QVariant(const QString& column)>& field);
};

// One of the eight answer slots as the view draws it.
struct AnswerSlotView
{
    bool shown = false;
    QString text;
    QByteArray picture; // the picture's bytes; empty when the answer has none
    bool checkBox = false;
    bool ticked = false;
    bool right = false; // drawn as a right answer
    QString orderLabel; // the student's order digit beside an ordering or matching slot
    bool operator==(const AnswerSlotView&) const = default;
};

// Everything the student view shows for the selected row.
struct StudentView
{
    static constexpr int SlotCount = QuestionColumns::MaxAnswers;
    // Below this many seconds left the time shows in the short-time colour.
    static constexpr int ShortTimeSeconds = 61;

    bool hasData = false;   // false: only the "no data" text
    bool needRoute = false; // the answer text of the question is empty: the computer is asked for its route

    QString numberText; // "Вопрос %D из %D", blank without data
    bool previousEnabled = false;
    bool nextEnabled = false;

    bool hasQuestion = false; // a question of the cached table is shown
    QuestionKind kind = QuestionKind::Choice;
    QString question;
    QByteArray questionPicture;
    std::array<AnswerSlotView, SlotCount> slots{};
    // Open question: the student's answer, the right one and the other accepted ones.
    QString openAnswer;
    QString rightAnswer;
    QStringList variants;

    QString scoreText;
    QString price;      // the question's price as a number
    QString priceShare; // "(%.1F%)" of the row's price sum; blank when it is 0

    bool timeShown = false;
    int timeMaximum = 0;
    int timeValue = 0;
    QString minutesText;
    bool timeShort = false; // the short-time colour (magenta) instead of the normal one (green)
};

// The student view without widgets: the selected monitor row, the cached question table of its
// topic and the index of the question looked at. The window hands in the row whenever it changes;
// the index survives such refreshes (kept within the row's questions).
class StudentViewModel
{
public:
    StudentViewModel();
    ~StudentViewModel();
    StudentViewModel(const StudentViewModel&) = delete;
    StudentViewModel& operator=(const StudentViewModel&) = delete;

    // The selected row and its topic's cached question table (null when the topic has none; the
    // table is copied, so the pointer need only live during the call).
    void setRow(const StudentViewRow& row, const Table* questions);
    // No row selected.
    void clear();
    // Back to the first question (another row is selected, or the topic opened again).
    void firstQuestion();
    // Move to the previous or next question; false (and nothing changes) at either end.
    bool previous();
    bool next();

    const StudentView& view() const { return m_view; }
    bool hasData() const { return m_view.hasData; }
    int index() const { return m_index; }
    const std::optional<StudentViewRow>& row() const { return m_row; }

private:
    void refresh();
    void showQuestion(const QuestionRow& question, const QString& answer);

    std::optional<StudentViewRow> m_row;
    QStringList m_lines;
    Table m_questions;
    std::unique_ptr<QuestionSet> m_set; // over m_questions; null without a cached table
    int m_index = 0;
    StudentView m_view;
};

// The question's own percentage (its price left out), with partial credit as the grader gives it;
// without partial credit a choice answer that is exactly right is 100 %.
double QuestionOwnPercent(const QuestionRow& question, QStringView answer, bool partialCredit);
