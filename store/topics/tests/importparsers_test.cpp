#include "apperror.h"
#include "codec.h"
#include "importparsers.h"

#include <QStringList>
#include <gtest/gtest.h>

using Import::ParsedQuestion;

namespace {

// An import file as the other programs write it: Windows-1251, CR LF after every line.
QByteArray file(const QStringList& lines)
{
    return toCp1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QString errorOf(const std::function<void()>& parse)
{
    try {
        parse();
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(ImportLines, EveryLineEndCountsAndTheLastNeedsNone)
{
    EXPECT_EQ(Import::SplitLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(Import::SplitLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(Import::SplitLines(""), QStringList());
    EXPECT_EQ(Import::SplitLines(toCp1251("Тема\r\n")), QStringList({"Тема"}));
}

TEST(ImportTestW, QuestionsAnswersAndMarks)
{
    const QByteArray bytes = file({
        "[Info]",
        "tItLe=Физика",
        "Title=second title is not used",
        "Variant=outside any question",
        "[Question]",
        "QuestionLine=Первая строка",
        "QuestionLine=a=b",
        "QuestionLine=",
        "QuestionLine=",
        "Variant=один",
        "Variant=два",
        "Variant=три=3",
        "CorrectVariant=0",
        "CorrectVariant=1",
        "CorrectVariant=yes",
        "Something=else",
        "[End]",
        "QuestionLine=between questions",
        "[Question]",
        "QuestionLine=Второй",
        "Variant=1",
        "Variant=2",
        "Variant=3",
        "Variant=4",
        "Variant=5",
        "Variant=6",
        "Variant=7",
        "Variant=8",
        "Variant=9",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=0",
        "CorrectVariant=1",
        "CorrectVariant=1",
        "[Question]",
        "QuestionLine=Третий без [End] после второго",
        "[End]",
        "[Question]",
        "QuestionLine=cut short at the end of the file",
    });
    const Import::ParsedTopic topic = Import::ParseTestW(bytes, "t.tst");
    EXPECT_EQ(topic.topicName, "Физика");
    ASSERT_EQ(topic.questions.size(), 3);

    const ParsedQuestion& first = topic.questions[0];
    EXPECT_EQ(first.question, "Первая строка\r\na=b");
    EXPECT_EQ(first.answers[0], "один");
    EXPECT_EQ(first.answers[1], "два");
    EXPECT_EQ(first.answers[2], "три=3");
    EXPECT_EQ(first.answers[3], "");
    EXPECT_FALSE(first.ok[0]);
    EXPECT_TRUE(first.ok[1]);
    EXPECT_FALSE(first.ok[2]);

    const ParsedQuestion& second = topic.questions[1];
    EXPECT_EQ(second.question, "Второй");
    EXPECT_EQ(second.answers[7], "8"); // the ninth answer line has no place
    EXPECT_TRUE(second.ok[7]);
    EXPECT_FALSE(second.ok[6]);

    EXPECT_EQ(topic.questions[2].question, "Третий без [End] после второго");
}

TEST(ImportTestW, FilesThatAreNoQuestionListAreRefused)
{
    struct Case
    {
        const char* what;
        QStringList lines;
        const char* expected;
    };
    const Case cases[] = {
        {"no title", {"[Question]", "QuestionLine=q", "[End]"}, "Title="},
        {"empty title", {"Title=", "[Question]", "QuestionLine=q", "[End]"}, "Title="},
        {"no question", {"Title=x", "QuestionLine=q"}, "ни одного вопроса"},
    };
    for (const Case& c : cases) {
        const QString error = errorOf([&] { Import::ParseTestW(file(c.lines), "t.tst"); });
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << c.what << ": " << error.toStdString();
        EXPECT_TRUE(error.contains("t.tst")) << c.what;
    }
}

TEST(ImportAssistant2, AnswersPicturesAndText)
{
    const QByteArray bytes = file({
        "text before the first question",
        "+not an answer",
        "?",
        "Сколько",
        "",
        " будет?",
        "  +4",
        "\t-5",
        "-+6",
        "@pics/a.bmp",
        "@b.jpg",
        "?",
        "Девять ответов",
        "+1",
        "-2",
        "+3",
        "-4",
        "+5",
        "-6",
        "+7",
        "+8",
        "-9",
        "?",
    });
    const Import::ParsedTopic topic = Import::ParseAssistant2(bytes, "Арифметика", "a.qst");
    EXPECT_EQ(topic.topicName, "Арифметика");
    ASSERT_EQ(topic.questions.size(), 3);

    const ParsedQuestion& first = topic.questions[0];
    EXPECT_EQ(first.question, "Сколько будет?");
    EXPECT_EQ(first.answers[0], "4");
    EXPECT_TRUE(first.ok[0]);
    EXPECT_EQ(first.answers[1], "5");
    EXPECT_FALSE(first.ok[1]);
    EXPECT_EQ(first.answers[2], "+6");
    EXPECT_FALSE(first.ok[2]);
    EXPECT_EQ(first.pictures, QStringList({"pics/a.bmp", "b.jpg"}));

    const ParsedQuestion& second = topic.questions[1];
    EXPECT_EQ(second.answers[6], "7");
    EXPECT_TRUE(second.ok[6]);
    EXPECT_EQ(second.answers[7], ""); // the eighth and ninth are dropped
    EXPECT_FALSE(second.ok[7]);

    EXPECT_EQ(topic.questions[2], ParsedQuestion());
}

TEST(ImportAssistant2, FilesThatAreNoQuestionListAreRefused)
{
    EXPECT_TRUE(errorOf([] {
                    Import::ParseAssistant2(file({"+a", "-b"}), "x", "x.qst");
                }).contains("ни одного вопроса"));
    EXPECT_TRUE(errorOf([] { Import::ParseAssistant2(file({"?", "q"}), "", "x.qst"); }).contains("x.qst"));
}

namespace {

// The seven lines MyTest writes before its first question.
QStringList myTestHead(const QString& topic)
{
    return {topic, "h2", "h3", "h4", "h5", "h6", "h7"};
}

QStringList myTestQuestion(const QString& head, const QString& text, const QString& picture, const QString& rights)
{
    return {head, text, "", picture, rights, "a1", "a2", "a3", "a4", "a5"};
}

} // namespace

TEST(ImportMyTest, HeadsTextPicturesAndRightAnswers)
{
    QStringList lines = myTestHead("Химия");
    lines << myTestQuestion("-1-", "Первая_crlf_строка_CRLF_вторая", "p1.bmp", "1 3")
          << myTestQuestion("--2", "Вторая", "", "2 9 x 8") << myTestQuestion("-4-", "out of turn: not a head", "", "1")
          << myTestQuestion("3-", "Третья выпадает", "p3.bmp", "1-2") << myTestQuestion("-3-", "Третья снова", "", "5");
    const Import::ParsedTopic topic = Import::ParseMyTest(file(lines), "m.txt");
    EXPECT_EQ(topic.topicName, "Химия");
    ASSERT_EQ(topic.questions.size(), 3);

    const ParsedQuestion& first = topic.questions[0];
    EXPECT_EQ(first.question, "Первая\r\nстрока\r\nвторая");
    EXPECT_EQ(first.pictures, QStringList({"p1.bmp"}));
    EXPECT_EQ(first.answers[0], "a1");
    EXPECT_EQ(first.answers[4], "a5");
    EXPECT_EQ(first.answers[5], "");
    const std::array<bool, 8> oneAndThree{true, false, true, false, false, false, false, false};
    EXPECT_EQ(first.ok, oneAndThree);

    const ParsedQuestion& second = topic.questions[1];
    EXPECT_TRUE(second.pictures.isEmpty());
    const std::array<bool, 8> twoAndEight{false, true, false, false, false, false, false, true};
    EXPECT_EQ(second.ok, twoAndEight);

    EXPECT_EQ(topic.questions[2].question, "Третья снова");
}

TEST(ImportMyTest, DroppedQuestionMakesTheNumberingWait)
{
    QStringList lines = myTestHead("T");
    lines << myTestQuestion("-1-", "one", "", "1") << myTestQuestion("-2-", "dropped", "", "-")
          << myTestQuestion("-3-", "waits for 2", "", "1") << myTestQuestion("-2-", "fills 2", "", "2");
    const Import::ParsedTopic topic = Import::ParseMyTest(file(lines), "m.txt");
    ASSERT_EQ(topic.questions.size(), 2);
    EXPECT_EQ(topic.questions[0].question, "one");
    EXPECT_EQ(topic.questions[1].question, "fills 2");
}

TEST(ImportMyTest, HeadsAreLookedForFromTheEighthLineAndNeedNineLinesAfter)
{
    // A bare "1" is not a head; a head in the first seven lines is not looked at.
    QStringList lines = {"T", "-1-", "q", "", "", "1", "a", "b", "c", "d", "e"};
    lines << "1" << myTestQuestion("-1-", "real", "", "1");
    Import::ParsedTopic topic = Import::ParseMyTest(file(lines), "m.txt");
    ASSERT_EQ(topic.questions.size(), 1);
    EXPECT_EQ(topic.questions[0].question, "real");

    QStringList cut = myTestHead("T") + myTestQuestion("-1-", "whole", "", "1");
    cut << myTestQuestion("-2-", "cut", "", "1").mid(0, 9);
    topic = Import::ParseMyTest(file(cut), "m.txt");
    ASSERT_EQ(topic.questions.size(), 1);
    EXPECT_EQ(topic.questions[0].question, "whole");
}

TEST(ImportMyTest, FilesThatAreNoQuestionListAreRefused)
{
    EXPECT_TRUE(errorOf([] { Import::ParseMyTest(QByteArray(), "m.txt"); }).contains("m.txt"));
    EXPECT_TRUE(errorOf([] { Import::ParseMyTest(file({"", "x"}), "m.txt"); }).contains("первой строке"));
    EXPECT_TRUE(errorOf([] { Import::ParseMyTest(file(myTestHead("T")), "m.txt"); }).contains("ни одного вопроса"));
}
