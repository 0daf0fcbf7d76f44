#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <optional>

// The classroom command protocol: the messages that travel between a student's computer and the
// testing server over one TCP connection, as bytes. Texts are Windows-1251, fields are separated by
// NUL, lists are lines each followed by CR LF. Nothing here touches a socket.
namespace Protocol {

static constexpr int PauseMs = 500;                            // sender's pause between two messages
static constexpr qsizetype MaxMessageBytes = 16 * 1024 * 1024; // longest message without an end
static constexpr qint64 MaxQuestionSetBytes = 512LL * 1024 * 1024;

// Message heads and whole-text commands, in wire spelling.
namespace Head {
inline constexpr char Iam[] = "Iam";
inline constexpr char GetQuestions[] = "!GetQuestions";
inline constexpr char Rout[] = "Rout";
inline constexpr char Report[] = "Report";
inline constexpr char TotalReport[] = "TotalReport";
inline constexpr char FinishReport[] = "FinishReport";
inline constexpr char CriteriaNeeded[] = "!CriteriaNeeded";
inline constexpr char NoopEcho[] = "!NOOP ECHO";
inline constexpr char Noop[] = "!NOOP";
inline constexpr char ReceivingError[] = "!ReceivingError";
inline constexpr char SetPorts[] = "!SetPorts";
inline constexpr char AllowRequest[] = "!AllowRequest";
inline constexpr char DenyRequest[] = "!DenyRequest";
inline constexpr char Ready[] = "!Ready";
inline constexpr char SettingsList[] = "SettingsList";
inline constexpr char QuestionList[] = "QuestionList";
inline constexpr char YourPrePointsAre[] = "YourPrePointsAre";
inline constexpr char YourFinalPointsAre[] = "YourFinalPointsAre";
inline constexpr char CriteriaListIs[] = "!CriteriaListIs";
inline constexpr char NextStudent[] = "!NextStudent";
inline constexpr char CloseClient[] = "!CloseClient";
inline constexpr char NeedRoute[] = "!NeedRoute";
inline constexpr char WhoAreYou[] = "!WhoAreYou";
} // namespace Head

// The four lines of a "Report".
struct ReportLines
{
    int queId = 0;
    QString sRslt;
    int shownCount = 0;
    int timeRemain = 0;
    friend bool operator==(const ReportLines&, const ReportLines&) = default;
};

// A message of the student's computer, as the server takes it.
struct StudentMessage
{
    // "!NOOP" and "!ReceivingError" are not among them: the server only logs their reads.
    enum class Kind
    {
        Iam,
        GetQuestions,
        Rout,
        Report,
        TotalReport,
        FinishReport,
        CriteriaNeeded,
        NoopEcho
    };
    Kind kind = Kind::NoopEcho;
    int topicId = 0;    // Iam
    QString hostName;   // Iam
    int priceSum = 0;   // Rout
    QStringList lines;  // Rout: route list; TotalReport, FinishReport: results list
    ReportLines report; // Report
};

// A message of the server, as the student's computer takes it. The question set itself is not a
// message of this kind: it arrives as raw bytes after its "QuestionList" head.
struct ServerMessage
{
    // "!NeedRoute" is not among them: the student's computer ignores it.
    enum class Kind
    {
        WhoAreYou,
        Noop,
        AllowRequest,
        DenyRequest,
        Ready,
        SettingsList,
        YourFinalPointsAre,
        SetPorts,
        NextStudent,
        CloseClient,
        CriteriaListIs,
        YourPrePointsAre
    };
    Kind kind = Kind::Noop;
    int topicId = 0;    // AllowRequest, Ready
    bool retry = false; // AllowRequest
    QString text;       // AllowRequest: topic name; YourFinalPointsAre: points; YourPrePointsAre: mark
    QString percent;    // YourPrePointsAre
    QStringList lines;  // SettingsList, CriteriaListIs, YourPrePointsAre (details)
    int udpPort = 0;    // SetPorts
    int tcpPort = 0;    // SetPorts
};

// A whole-text command ("!GetQuestions", "!NOOP ECHO", "!NOOP", "!ReceivingError", "!DenyRequest",
// "!NextStudent", "!CloseClient", "!WhoAreYou", "!NeedRoute"; Head holds them): the message is
// the text alone, with no NUL.
QByteArray command(const char* text);

// --- Building: student to server ---
QByteArray iam(int topicId, const QString& hostName);
QByteArray rout(int priceSum, const QStringList& route);
QByteArray report(const ReportLines& lines);
QByteArray totalReport(const QStringList& results);
QByteArray finishReport(const QStringList& results);
QByteArray criteriaNeeded();

// --- Building: server to student ---
QByteArray setPorts(int udpPort, int tcpPort);
QByteArray allowRequest(int topicId, bool retry, const QString& topicName);
QByteArray ready(int topicId);
QByteArray settingsList(const QStringList& settings);
QByteArray questionListHead(qint64 byteCount);
// percent is written with one decimal and the current locale's decimal separator.
QByteArray yourPrePointsAre(const QString& mark, double percent, const QStringList& details);
QByteArray yourFinalPointsAre(int points);
QByteArray criteriaListIs(const QStringList& criteria);

// A list field: every line followed by CR LF.
QByteArray joinLines(const QStringList& lines);
// Splits a list field into lines at CR, LF or CR LF; the list ends at the first NUL.
QStringList splitLines(QByteArrayView field);

// Decimal number as the wire writes it: an optional "-" and 1 to 18 digits, nothing else.
std::optional<qint64> parseDecimal(QByteArrayView field);
// The same, limited to the range of int.
std::optional<int> parseInt(QByteArrayView field);

// The run-log text of a message a side sends, or nothing for the messages sent without a log entry.
enum class Side
{
    Server,
    Student
};
std::optional<QString> sentLogText(Side sender, const QByteArray& message);

// The student's log text of a question-set head, and of the server's sends that are shortened.
inline constexpr char QuestionListLogText[] = "QuestionList......";
inline constexpr char SettingsListLogText[] = "SettingsList......";
inline constexpr char FinalPointsLogText[] = "YourFinalPointsAre...";
inline constexpr char QuestionSetNotReceived[] = "Error. QuestionList NOT received.";

} // namespace Protocol

Q_DECLARE_METATYPE(Protocol::StudentMessage)
Q_DECLARE_METATYPE(Protocol::ServerMessage)
