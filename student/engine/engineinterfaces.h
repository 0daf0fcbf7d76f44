#pragma once

#include "protocol.h"
#include "testsettings.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// What the test engine hands out. The connection implements EngineSender, the window
// EngineNotices; tests implement both with recorders. Timers come from a TimerFactory so that tests
// drive the countdown and the wait for the question set without waiting.

// The messages of the engine and what it asks of the connection. Sends go through the
// connection's queue, which keeps the protocol's pauses (after "Rout", before "FinishReport" and
// "TotalReport"); without a connection a send does nothing.
class EngineSender
{
public:
    virtual ~EngineSender() = default;
    // The connection state is Connected (identified, not restored after a loss).
    virtual bool isConnected() const = 0;
    // Working from a question file, with no server.
    virtual bool isAutonomous() const = 0;
    // The server has offered a topic for request ("!AllowRequest").
    virtual bool requestOffered() const = 0;

    virtual void sendRout(int priceSum, const QStringList& route) = 0;
    virtual void sendReport(const Protocol::ReportLines& lines) = 0;
    virtual void sendFinishReport(const QStringList& results) = 0;
    virtual void sendTotalReport(const QStringList& results) = 0;
    virtual void sendCriteriaNeeded() = 0;
    // The wait for the question set ran out: receiving ends.
    virtual void abortQuestionSet() = 0;
    // The question set (or its settings list) could not be taken in: receiving ends, the failure is
    // logged and the server is told ("!ReceivingError").
    virtual void reportReceivingFailure() = 0;
};

enum class NoticeIcon
{
    Warning = 0,
    Error = 1,
    Information = 2,
    Question = 3
};

enum class NoticeColour
{
    Tooltip,
    Magenta,
    Red,
    BrightGreen
};

// A sliding notice: it rises at the desktop's bottom right, rests for `seconds` and sinks.
struct Notice
{
    static constexpr int DefaultSpeed = 2;
    QString title;
    QString text;
    NoticeIcon icon = NoticeIcon::Information;
    NoticeColour colour = NoticeColour::Tooltip;
    int seconds = 0;
    int speed = DefaultSpeed;
    bool operator==(const Notice&) const = default;
};

// One row of the details window.
struct DetailsRow
{
    QString number;       // "№ вопр."
    QString price;        // "Цена вопр.": "%D (%.1F%)"
    QString rightness;    // "Правильность": score / price in the shortest general form, then "%"
    QString contribution; // "Вклад в общий результат": "%.1F%"
    bool operator==(const DetailsRow&) const = default;
};

struct TestDetails
{
    QList<DetailsRow> rows;
    QString percentText; // "%.1F"
    QString markText;
};

// What the engine shows or asks outside its state: notices, the details and criteria windows, the
// student's name for a saved work, messages.
class EngineNotices
{
public:
    virtual ~EngineNotices() = default;
    virtual void showNotice(const Notice& notice) = 0;
    virtual void withdrawAllNotices() = 0;
    // A message the student must acknowledge.
    virtual void tellUser(const QString& text) = 0;
    // A message beside the button "Получить вопросы".
    virtual void tellBesideGetQuestions(const QString& text) = 0;
    // Asks the surname for a saved work; nothing when the student cancels.
    virtual std::optional<QString> askStudentName() = 0;
    virtual void applyAppearance(const Appearance& appearance) = 0;
    virtual void showDetails(const TestDetails& details) = 0;
    virtual void closeDetails() = 0;
    virtual void showCriteria(const QString& criteriaList) = 0;
    virtual void closeCriteria() = 0;
};

// A timer of the engine: periodic or single-shot, calling its handler on the event loop.
class EngineTimer
{
public:
    virtual ~EngineTimer() = default;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

using TimerFactory = std::function<std::unique_ptr<EngineTimer>(std::function<void()> onTimeout, bool singleShot)>;

// Timers of the event loop (QTimer).
TimerFactory EventLoopTimers();
