#include "importparsers.h"

#include "apperror.h"
#include "codec.h"
#include "listlines.h"
#include "topicstexts.h"
#include "utf8text.h"

namespace Import {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// A name longer than a topic's column is shortened by the store, which logs it.
void checkTopicName(const QString& name, const QString& source, const char* missingMessage)
{
    if (name.isEmpty())
        throw AppError(Utf8Text(missingMessage).arg(source));
}

void checkHasQuestions(const ParsedTopic& topic, const QString& source)
{
    if (topic.questions.isEmpty())
        throw AppError(Utf8Text(TopicsText::ImportNoQuestions).arg(source));
}

void checkSize(const QByteArray& bytes, const QString& source)
{
    if (bytes.size() > MaxFileBytes)
        throw AppError(Utf8Text(TopicsText::ImportFileTooLarge).arg(source).arg(bytes.size()));
}

// Leading characters up to the blank (controls included) go, as the old programs trimmed.
QString trimLeft(const QString& line)
{
    qsizetype i = 0;
    while (i < line.size() && line.at(i).unicode() <= ' ')
        ++i;
    return line.mid(i);
}

// The text after the first occurrence of `marker` (which the caller knows is there).
QString after(const QString& line, QChar marker)
{
    return line.mid(line.indexOf(marker) + 1);
}

} // namespace

QStringList SplitLines(const QByteArray& bytes)
{
    return SplitListLines(fromCp1251(bytes));
}

ParsedTopic ParseTestW(const QByteArray& bytes, const QString& source)
{
    checkSize(bytes, source);
    const QStringList lines = SplitLines(bytes);
    ParsedTopic topic;
    bool titleFound = false;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.left(eq).compare(QLatin1String("Title"), Qt::CaseInsensitive) == 0) {
            topic.topicName = line.mid(eq + 1);
            titleFound = true;
            break;
        }
    }
    if (!titleFound)
        throw AppError(Utf8Text(TopicsText::ImportNoTitle).arg(source));
    checkTopicName(topic.topicName, source, TopicsText::ImportNoTitle);

    static const QString QuestionLine = QStringLiteral("QuestionLine=");
    static const QString Variant = QStringLiteral("Variant=");
    static const QString CorrectVariant = QStringLiteral("CorrectVariant=");

    bool inQuestion = false;
    ParsedQuestion current;
    QString collected;
    int answer = 1;
    int correct = 1;
    auto finish = [&] {
        while (collected.endsWith(CrLf))
            collected.chop(2);
        current.question = collected;
        topic.questions.append(current);
    };
    for (const QString& line : lines) {
        if (line == QLatin1String("[Question]")) {
            if (inQuestion)
                finish();
            inQuestion = true;
            current = ParsedQuestion();
            collected.clear();
            answer = 1;
            correct = 1;
        } else if (!inQuestion) {
            continue;
        } else if (line.startsWith(QuestionLine)) {
            collected += after(line, u'=') + CrLf;
        } else if (line.startsWith(Variant)) {
            // The table has eight answers; a ninth and later answer line has nowhere to go.
            if (answer <= AnswerCount)
                current.answers[answer - 1] = after(line, u'=');
            ++answer;
        } else if (line.startsWith(CorrectVariant)) {
            if (correct <= AnswerCount)
                current.ok[correct - 1] = after(line, u'=') == QLatin1String("1");
            ++correct;
        } else if (line == QLatin1String("[End]")) {
            finish();
            inQuestion = false;
        }
    }
    // A question still open at the end of the file was cut short: it is not imported.
    checkHasQuestions(topic, source);
    return topic;
}

ParsedTopic ParseAssistant2(const QByteArray& bytes, const QString& topicName, const QString& source)
{
    checkSize(bytes, source);
    ParsedTopic topic;
    topic.topicName = topicName;
    checkTopicName(topic.topicName, source, TopicsText::ImportNoTopicName);

    bool inQuestion = false;
    ParsedQuestion current;
    int answer = 1;
    auto finish = [&] { topic.questions.append(current); };
    for (const QString& line : SplitLines(bytes)) {
        if (line.isEmpty())
            continue;
        if (line == QLatin1String("?")) {
            if (inQuestion)
                finish();
            inQuestion = true;
            current = ParsedQuestion();
            answer = 1;
            continue;
        }
        if (!inQuestion)
            continue;
        const QString trimmed = trimLeft(line);
        const QChar first = trimmed.isEmpty() ? QChar() : trimmed.at(0);
        if (first == u'+' || first == u'-') {
            if (answer <= AssistantAnswers) {
                current.answers[answer - 1] = after(trimmed, first);
                current.ok[answer - 1] = first == u'+';
                ++answer;
            }
        } else if (first == u'@') {
            current.pictures.append(after(trimmed, u'@'));
        } else {
            current.question += line;
        }
    }
    if (inQuestion)
        finish();
    checkHasQuestions(topic, source);
    return topic;
}

ParsedTopic ParseMyTest(const QByteArray& bytes, const QString& source)
{
    checkSize(bytes, source);
    const QStringList lines = SplitLines(bytes);
    ParsedTopic topic;
    topic.topicName = lines.value(0);
    checkTopicName(topic.topicName, source, TopicsText::ImportNoTopicName);

    static constexpr int TextLine = 1, PictureLine = 3, RightsLine = 4, FirstAnswerLine = 5;
    static constexpr int LastLine = FirstAnswerLine + MyTestAnswers - 1;
    static const QString LineBreakMark = QStringLiteral("_CRLF_");

    int expected = 1;
    for (qsizetype a = MyTestFirstHeadLine; a < lines.size(); ++a) {
        const QString number = QString::number(expected);
        const QString& line = lines.at(a);
        if (line == number || QString(line).remove(u'-') != number)
            continue;
        if (a + LastLine >= lines.size())
            continue;
        QString rights = lines.at(a + RightsLine);
        // The old program dropped such a question and went on waiting for its number.
        if (rights.contains(u'-'))
            continue;
        ParsedQuestion question;
        question.question = QString(lines.at(a + TextLine)).replace(LineBreakMark, CrLf, Qt::CaseInsensitive);
        if (!lines.at(a + PictureLine).isEmpty())
            question.pictures.append(lines.at(a + PictureLine));
        while (!rights.isEmpty()) {
            // Only the digits of the eight answers mark something; any other character is passed over.
            const char16_t c = rights.at(0).unicode();
            if (c >= u'1' && c < u'1' + AnswerCount)
                question.ok[c - u'1'] = true;
            rights.remove(0, 2);
        }
        for (int i = 0; i < MyTestAnswers; ++i)
            question.answers[i] = lines.at(a + FirstAnswerLine + i);
        ++expected;
        topic.questions.append(question);
    }
    checkHasQuestions(topic, source);
    return topic;
}

} // namespace Import
