#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// Question lists written by three other testing programs, read into plain values before anything
// touches the store. The files are Windows-1251 text; a line ends at CR LF, CR or LF.
//
// Test-W (*.tst):       "Title=<topic>" anywhere; each question is
//                       [Question] / QuestionLine=<text line>... / Variant=<answer>... /
//                       CorrectVariant=<1 or 0>... / [End]
// Ассистент-2 (*.qst):  "?" alone on a line opens a question; then lines "+answer" (right),
//                       "-answer" (wrong), "@picture file", and any other line is question text.
// MyTest (*.txt):       the first line is the topic; from the eighth line on, question N starts at a
//                       line that reads N with dashes around it ("-1-"), followed by the text
//                       ("_CRLF_" for a line break), a spare line, a picture line, the line of right
//                       answer numbers ("1 3"; a "-" drops the question), and five answer lines.
//
// Each parser throws AppError with a clear message when the file cannot be such a list.
namespace Import {

static constexpr int AnswerCount = 8;
// The file is read whole; question lists are a few hundred kilobytes at most.
static constexpr qint64 MaxFileBytes = 32LL * 1024 * 1024;
static constexpr int AssistantAnswers = 7;
static constexpr int MyTestAnswers = 5;
static constexpr int MyTestFirstHeadLine = 7; // the eighth line, counted from 0

struct ParsedQuestion
{
    QString question;
    std::array<QString, AnswerCount> answers;
    std::array<bool, AnswerCount> ok{};
    // Picture files named for the question, in the order named (relative to the file's folder);
    // the last one that loads is the question's picture.
    QStringList pictures;

    bool operator==(const ParsedQuestion&) const = default;
};

struct ParsedTopic
{
    QString topicName;
    QList<ParsedQuestion> questions;
};

// The text lines of a Windows-1251 file.
QStringList SplitLines(const QByteArray& bytes);

// `source` names the file in messages.
ParsedTopic ParseTestW(const QByteArray& bytes, const QString& source = {});
// Ассистент-2 files carry no topic name: the caller gives it (the file's base name).
ParsedTopic ParseAssistant2(const QByteArray& bytes, const QString& topicName, const QString& source = {});
ParsedTopic ParseMyTest(const QByteArray& bytes, const QString& source = {});

} // namespace Import
