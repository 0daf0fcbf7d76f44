#include "gradingfixture.h"
#include "valuation.h"

#include <QLocale>
#include <gtest/gtest.h>

using fixture::Question;

namespace {

// Five filled answers, 1, 2 and 4 correct.
Question fiveAnswerChoice()
{
    Question q;
    q.answers = {"a", "b", "c", "d", "e"};
    q.correct = "124";
    return q;
}

struct ChoiceCase
{
    const char* answer;
    double partialPercent;
    bool exact;
};

void PrintTo(const ChoiceCase& c, std::ostream* os)
{
    *os << '"' << c.answer << '"';
}

class ChoiceTest : public testing::TestWithParam<ChoiceCase>
{
};

TEST_P(ChoiceTest, PartialAndExact)
{
    Table t = fixture::questionTable();
    const int r = fixture::addQuestion(t, fiveAnswerChoice());
    const ChoiceCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ChoicePartialPercent(TableRow(t, r), QString(c.answer), false), c.partialPercent) << c.answer;
    EXPECT_EQ(IsChoiceExact(TableRow(t, r), QString(c.answer)), c.exact) << c.answer;
}

INSTANTIATE_TEST_SUITE_P(FiveAnswers, ChoiceTest,
                         testing::Values(ChoiceCase{"124", 100, true}, ChoiceCase{"12", 80, false},
                                         ChoiceCase{"123", 60, false}, ChoiceCase{"1235", 40, false},
                                         ChoiceCase{"12345", 0, false}, ChoiceCase{"35", 0, false},
                                         ChoiceCase{"0", 0, false}, ChoiceCase{"", 0, false},
                                         // A tick on an answer without text breaks exactness but
                                         // does not count in the partial share.
                                         ChoiceCase{"1246", 100, false}));

TEST(Choice, PictureOnlyAnswerDoesNotCountInPartialShare)
{
    Table t = fixture::questionTable();
    Question q = fiveAnswerChoice();
    q.pictures = "6";
    q.correct = "1246";
    const int r = fixture::addQuestion(t, q);
    // Answer 6 has no text: n stays 5, so "124" agrees on all five.
    EXPECT_DOUBLE_EQ(ChoicePartialPercent(TableRow(t, r), u"124", false), 100.0);
    // All-or-nothing compares all seven numbers, present or not.
    EXPECT_FALSE(IsChoiceExact(TableRow(t, r), u"124"));
    EXPECT_TRUE(IsChoiceExact(TableRow(t, r), u"1246"));
}

TEST(Choice, EighthAnswerIsNeverCompared)
{
    Table t = fixture::questionTable();
    Question q = fiveAnswerChoice();
    q.correct = "1248";
    const int r = fixture::addQuestion(t, q);
    EXPECT_TRUE(IsChoiceExact(TableRow(t, r), u"124"));
    EXPECT_TRUE(IsChoiceExact(TableRow(t, r), u"1248"));
}

TEST(Choice, AllAnswersCorrect)
{
    Table t = fixture::questionTable();
    Question q;
    q.price = 3;
    q.answers = {"a", "b", "c"};
    q.correct = "123";
    const int r = fixture::addQuestion(t, q);
    EXPECT_DOUBLE_EQ(QuestionScore(TableRow(t, r), u"123", true), 0.0);
    EXPECT_DOUBLE_EQ(QuestionScore(TableRow(t, r), u"123", false), 300.0);
}

TEST(Choice, WeightMultipliesByPrice)
{
    Table t = fixture::questionTable();
    Question q = fiveAnswerChoice();
    q.price = 3;
    const int r = fixture::addQuestion(t, q);
    EXPECT_DOUBLE_EQ(ChoicePartialPercent(TableRow(t, r), u"123", true), 180.0);
    EXPECT_DOUBLE_EQ(ChoicePartialPercent(TableRow(t, r), u"123", false), 60.0);
}

struct OpenCase
{
    const char* answer;
    double percent;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << '"' << QString::fromUtf8(c.answer).toUtf8().toPercentEncoding().constData() << '"';
}

class OpenTest : public testing::TestWithParam<OpenCase>
{
};

TEST_P(OpenTest, Percent)
{
    Table t = fixture::questionTable();
    Question q;
    q.type = 1;
    q.answers = {" Париж ", "paris*", "", "\tЛютеция\x01"};
    const int r = fixture::addQuestion(t, q);
    EXPECT_DOUBLE_EQ(OpenAnswerPercent(TableRow(t, r), QString::fromUtf8(GetParam().answer), false),
                     GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Paris, OpenTest,
                         testing::Values(OpenCase{"  PARIS-CITY  ", 100}, OpenCase{"париж", 0}, OpenCase{"Париж", 100},
                                         OpenCase{"\x02Париж\r\n", 100}, OpenCase{"Лютеция", 100}, OpenCase{"Pari", 0},
                                         OpenCase{"   ", 0}, OpenCase{"", 0}, OpenCase{"Лондон", 0}));

TEST(Open, BlankAnswerTextsNeverMatch)
{
    Table t = fixture::questionTable();
    Question q;
    q.type = 1;
    q.answers = {"   ", "\t"};
    const int r = fixture::addQuestion(t, q);
    EXPECT_DOUBLE_EQ(OpenAnswerPercent(TableRow(t, r), u"x", false), 0.0);
}

struct ArrangementCase
{
    QStringList answers;
    QString pictures;
    const char* answer;
    double percent;
};

void PrintTo(const ArrangementCase& c, std::ostream* os)
{
    *os << c.answers.size() << " answers, \"" << c.answer << '"';
}

class ArrangementTest : public testing::TestWithParam<ArrangementCase>
{
protected:
    // The percentage of the case's answer to a question of the given kind (2 ordering, 3 matching).
    double percent(int kind) const
    {
        Table t = fixture::questionTable();
        Question q;
        q.type = kind;
        q.answers = GetParam().answers;
        q.pictures = GetParam().pictures;
        const int r = fixture::addQuestion(t, q);
        const QString answer(GetParam().answer);
        return kind == 2 ? OrderPercent(TableRow(t, r), answer, false) : MatchPercent(TableRow(t, r), answer, false);
    }
};

class OrderTest : public ArrangementTest
{
};

TEST_P(OrderTest, Percent)
{
    EXPECT_DOUBLE_EQ(percent(2), GetParam().percent);
}

const QStringList eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
const QStringList five = {"1", "2", "3", "4", "5"};

INSTANTIATE_TEST_SUITE_P(Rows, OrderTest,
                         testing::Values(ArrangementCase{eight, "", "12345678", 100},
                                         ArrangementCase{eight, "", "21345678", 75},
                                         ArrangementCase{five, "", "12354678", 60}, ArrangementCase{five, "", "12", 40},
                                         ArrangementCase{five, "", "", 0},
                                         // Pictures alone do not count as filled rows.
                                         ArrangementCase{five, "678", "12345876", 100},
                                         ArrangementCase{{}, "12", "12", 0}, ArrangementCase{five, "", "1x3y5", 60}));

class MatchTest : public ArrangementTest
{
};

TEST_P(MatchTest, Percent)
{
    EXPECT_DOUBLE_EQ(percent(3), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, MatchTest,
    testing::Values(ArrangementCase{eight, "", "12345678", 100}, ArrangementCase{eight, "", "12346578", 50},
                    ArrangementCase{eight, "", "21346578", 100},
                    // The fourth pair empty: three pairs count.
                    ArrangementCase{{"1", "2", "3", "", "5", "6", "7", ""}, "", "21346578", 100},
                    ArrangementCase{{"1", "2", "3", "", "5", "6", "7", ""}, "", "12347658", 100.0 / 3},
                    // A picture makes an answer present.
                    ArrangementCase{{"1", "2", "3", "", "5", "6", "7", "8"}, "4", "12345688", 75},
                    ArrangementCase{{"1", "2", "3", "", "5", "6", "7", "8"}, "", "12345688", 200.0 / 3},
                    ArrangementCase{{"1", "", "", "", "", "6", "", ""}, "", "12345678", 0},
                    ArrangementCase{eight, "", "1234", 0}));

struct ScoreCase
{
    int type;
    QStringList answers;
    QString correct;
    int price;
    const char* answer;
    double partialOn;
    double partialOff;
};

void PrintTo(const ScoreCase& c, std::ostream* os)
{
    *os << "kind " << c.type << " price " << c.price << " \"" << c.answer << '"';
}

class ScoreTest : public testing::TestWithParam<ScoreCase>
{
};

TEST_P(ScoreTest, ByKindAndSwitch)
{
    const ScoreCase& c = GetParam();
    Table t = fixture::questionTable();
    Question q;
    q.type = c.type;
    q.answers = c.answers;
    q.correct = c.correct;
    q.price = c.price;
    const int r = fixture::addQuestion(t, q);
    EXPECT_DOUBLE_EQ(QuestionScore(TableRow(t, r), QString::fromUtf8(c.answer), true), c.partialOn) << c.answer;
    EXPECT_DOUBLE_EQ(QuestionScore(TableRow(t, r), QString::fromUtf8(c.answer), false), c.partialOff) << c.answer;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ScoreTest,
    testing::Values(ScoreCase{0, {"a", "b", "c", "d", "e"}, "124", 2, "12", 160, 0},
                    ScoreCase{0, {"a", "b", "c", "d", "e"}, "124", 2, "124", 200, 200},
                    ScoreCase{0, {"a", "b"}, "", 2, "0", 0, 200}, ScoreCase{1, {"x"}, "", 2, "X", 200, 200},
                    ScoreCase{1, {"x"}, "", 2, "", 0, 0}, ScoreCase{2, five, "", 2, "12354", 120, 0},
                    ScoreCase{2, five, "", 2, "12345", 200, 200}, ScoreCase{2, five, "", 2, "", 0, 0},
                    ScoreCase{3, eight, "", 2, "12346578", 100, 0}, ScoreCase{3, eight, "", 2, "12345678", 200, 200},
                    // A kind the system does not know earns nothing.
                    ScoreCase{7, {"x"}, "1", 2, "1", 0, 0},
                    // A corrupt negative price weighs nothing.
                    ScoreCase{1, {"x"}, "", -5, "x", 0, 0}));

TEST(AnswerStrings, BuildFactString)
{
    Table t = fixture::questionTable();
    Question q;
    q.ticked = "7315";
    const int a = fixture::addQuestion(t, q);
    q.ticked = "";
    const int b = fixture::addQuestion(t, q);
    q.ticked = "8";
    const int c = fixture::addQuestion(t, q);
    EXPECT_EQ(BuildFactString(TableRow(t, a)), "1357");
    EXPECT_EQ(BuildFactString(TableRow(t, b)), "0");
    EXPECT_EQ(BuildFactString(TableRow(t, c)), "0"); // only numbers 1..7
}

TEST(AnswerStrings, BuildRsltListFillsUnanswered)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 10, .type = 0});
    fixture::addQuestion(t, Question{.id = 11, .type = 1});
    fixture::addQuestion(t, Question{.id = 12, .type = 2, .howMixed = "31245678"});
    fixture::addQuestion(t, Question{.id = 13, .type = 3, .howMixed = "21437685"});
    fixture::addQuestion(t, Question{.id = 14, .type = 1, .rslt = QString("")});
    fixture::addQuestion(t, Question{.id = 15, .type = 2, .rslt = QString("12345678"), .howMixed = "87654321"});
    const QList<int> ids = {15, 10, 99, 11, 12, 13, 14};
    EXPECT_EQ(BuildRsltList(t, ids, int(ids.size())),
              "15=12345678\r\n10=0\r\n11=***\r\n12=31245678\r\n13=21437685\r\n14=\r\n");
    EXPECT_EQ(BuildRsltList(t, ids, 2), "15=12345678\r\n10=0\r\n");
    EXPECT_EQ(BuildRsltList(t, ids, 0), "");
    EXPECT_EQ(BuildRsltList(t, ids, 100), BuildRsltList(t, ids, int(ids.size())));
}

TEST(AnswerStrings, BuildFactListInSevenAnswerFormat)
{
    Table t = fixture::questionTable(true);
    ASSERT_LT(t.columnCount(), QuestionColumns::EightAnswerMinColumns);
    fixture::addQuestion(t, Question{.id = 3, .ticked = "26"});
    fixture::addQuestion(t, Question{.id = 4});
    EXPECT_EQ(BuildFactList(t, {4, 3, 5}, 3), "4=0\r\n3=26\r\n");
}

QString partialOn()
{
    return fixture::criteria(12, true, {});
}

QString partialOff()
{
    return fixture::criteria(12, false, {});
}

TEST(Totals, PriceWeightedMeanAndScoreList)
{
    Table t = fixture::questionTable();
    Question choice = fiveAnswerChoice();
    choice.id = 1;
    choice.price = 2;
    choice.rslt = QString("12"); // 80 %
    fixture::addQuestion(t, choice);
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .price = 10, .answers = {"x"}, .rslt = QString("x")});
    fixture::addQuestion(
        t, Question{.id = 3, .type = 2, .price = 1, .answers = {"1", "2", "3"}, .rslt = QString("132")}); // 33.33 %
    const GradeTotal total = ValuateByRslt(t, {1, 2, 3, 42}, partialOn());
    EXPECT_DOUBLE_EQ(total.percent.toDouble(), (160.0 + 1000.0 + 100.0 / 3) / 13);
    // (160 + 1000 + 100/3) / 13 = 3580/39 exactly.
    EXPECT_EQ(total.percent, ExactPercent(3580 * UnitsPerPercent, 39));
    // The locale's decimal comma, no group separator in 1000.
    EXPECT_EQ(total.scoreList, "1=160,00\r\n2=1000,00\r\n3=33,33\r\n");
    EXPECT_EQ(total.priceSum, 13);
}

TEST(Totals, PartialSwitchFromCriteria)
{
    struct Case
    {
        QString criteria;
        bool partial;
    };
    const Case cases[] = {{partialOn(), true},
                          {partialOff(), false},
                          {"TakePartialRight=1\r\n", true},
                          {"MaxPointSystem=5\r\n", true},
                          {"TakePartialRight=abc\r\n", true},
                          {"takepartialright=0\r\n", false},
                          {"", true}};
    for (const Case& c : cases)
        EXPECT_EQ(PartialCreditFromCriteria(c.criteria), c.partial) << c.criteria.toStdString();
}

TEST(Totals, OrderingAtHalfWithoutPartialShowsZero)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(
        t, Question{.id = 5, .type = 2, .price = 2, .answers = {"1", "2", "3", "4"}, .rslt = QString("2134")});
    const GradeTotal off = ValuateByRslt(t, {5}, partialOff());
    EXPECT_EQ(off.percent.toDouble(), 0.0);
    EXPECT_EQ(off.scoreList, "5=0,00\r\n");
    const GradeTotal on = ValuateByRslt(t, {5}, partialOn());
    EXPECT_EQ(on.percent.toDouble(), 50.0);
    EXPECT_EQ(on.scoreList, "5=100,00\r\n");
}

TEST(Totals, AllPricesZeroGiveZero)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .price = 0, .answers = {"x"}, .rslt = QString("x")});
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .price = 0, .answers = {"y"}, .rslt = QString("y")});
    const GradeTotal total = ValuateByRslt(t, {1, 2}, partialOn());
    EXPECT_EQ(total.percent, ExactPercent());
    EXPECT_EQ(total.priceSum, 0);
    EXPECT_EQ(ValuateAnswerList(t, "1=x\r\n2=y\r\n", true, nullptr, 2).percent, ExactPercent());
    // 0 % of a price sum of 0 reaches no positive threshold.
    EXPECT_FALSE(total.percent.reaches(1));
    EXPECT_TRUE(total.percent.reaches(0));
}

TEST(Totals, UnansweredQuestionsInTheStudentsTotal)
{
    Table t = fixture::questionTable();
    // A choice question with no correct answer, never answered: exact under all-or-nothing.
    fixture::addQuestion(t, Question{.id = 1, .type = 0, .price = 1, .answers = {"a", "b"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 0, .price = 1, .answers = {"a", "b"}, .correct = "1"});
    fixture::addQuestion(t, Question{.id = 3, .type = 1, .price = 1, .answers = {"*"}});
    fixture::addQuestion(t, Question{.id = 4, .type = 2, .price = 1, .answers = five, .howMixed = "12345678"});
    const GradeTotal off = ValuateByRslt(t, {1, 2, 3, 4}, partialOff());
    EXPECT_EQ(off.percent.toDouble(), 25.0);
    EXPECT_EQ(off.scoreList, "1=100,00\r\n2=0,00\r\n3=0,00\r\n4=0,00\r\n");
    const GradeTotal on = ValuateByRslt(t, {1, 2, 3, 4}, partialOn());
    EXPECT_EQ(on.percent.toDouble(), 0.0);
    EXPECT_EQ(on.priceSum, 4);
}

TEST(Totals, ValuateByFactsTreatsEveryQuestionAsChoice)
{
    Table t = fixture::questionTable(true);
    Question q = fiveAnswerChoice();
    q.id = 8;
    q.ticked = "12";
    fixture::addQuestion(t, q);
    q.id = 9;
    q.ticked = "124";
    q.price = 3;
    fixture::addQuestion(t, q);
    const GradeTotal on = ValuateByFacts(t, {8, 9}, partialOn());
    EXPECT_EQ(on.percent.toDouble(), (80.0 + 300.0) / 4);
    EXPECT_EQ(on.scoreList, "8=80,00\r\n9=300,00\r\n");
    EXPECT_EQ(ValuateByFacts(t, {8, 9}, partialOff()).percent.toDouble(), 75.0);
}

TEST(Totals, SevenAnswerSetIgnoresQueType)
{
    // Fewer than 37 columns: QueType, even if a reader supplied one, is not read.
    Table t = fixture::questionTable(true);
    t.addColumn(Column{QStringLiteral("QueType"), ColumnType::Int});
    ASSERT_LT(t.columnCount(), QuestionColumns::EightAnswerMinColumns);
    Question q = fiveAnswerChoice();
    q.id = 8;
    const int r = fixture::addQuestion(t, q);
    t.setValue(r, QStringLiteral("QueType"), 1);
    EXPECT_EQ(ValuateAnswerList(t, "8=124\r\n", false, nullptr, 1).percent.toDouble(), 100.0);
}

// Ten lines alternating ordering and choice questions, every answer right.
Table tenQuestions(QString* list)
{
    Table t = fixture::questionTable();
    for (int i = 0; i < 10; ++i) {
        const int id = 100 + i;
        if (i % 2 == 0) {
            fixture::addQuestion(t, Question{.id = id, .type = 2, .answers = five});
            *list += QStringLiteral("%1=12345\r\n").arg(id);
        } else {
            fixture::addQuestion(t, Question{.id = id, .type = 0, .answers = {"a", "b"}, .correct = "2"});
            *list += QStringLiteral("%1=2\r\n").arg(id);
        }
    }
    return t;
}

TEST(AnswerList, Limits)
{
    QString list;
    const Table t = tenQuestions(&list);
    struct Case
    {
        int limit;
        QString scores;
        double percent;
    };
    const Case cases[] = {
        {3, "100=100,00\r\n101=100,00\r\n102=100,00\r\n", 100.0},
        {-3,
         "100=100,00\r\n101=100,00\r\n102=100,00\r\n103=100,00\r\n104=0,00\r\n105=100,00\r\n106=0,00\r\n"
         "107=100,00\r\n108=0,00\r\n109=100,00\r\n",
         70.0},
        {0,
         "100=0,00\r\n101=100,00\r\n102=0,00\r\n103=100,00\r\n104=0,00\r\n105=100,00\r\n106=0,00\r\n"
         "107=100,00\r\n108=0,00\r\n109=100,00\r\n",
         50.0},
        {10, {}, 100.0},
        {50, {}, 100.0},
    };
    for (const Case& c : cases) {
        const GradeTotal total = ValuateAnswerList(t, list, false, nullptr, c.limit);
        EXPECT_EQ(total.percent.toDouble(), c.percent) << c.limit;
        if (!c.scores.isEmpty()) {
            EXPECT_EQ(total.scoreList, c.scores) << c.limit;
        }
        EXPECT_EQ(total.priceSum, c.limit == 3 ? 3 : 10) << c.limit;
    }
}

TEST(AnswerList, OutputListKeepsUngradedLines)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .price = 3, .answers = {"x"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .price = 1, .answers = {"y"}});
    QStringList output;
    const QString list = "1=X\r\nbroken line\r\n77=abc\r\nabc=1\r\n2=n\r\n2=y";
    const GradeTotal total = ValuateAnswerList(t, list, true, &output, 5);
    EXPECT_EQ(total.percent.toDouble(), 75.0);
    EXPECT_EQ(output, QStringList({"1=300,00", "broken line", "77=abc", "abc=1", "2=0,00", "2=y"}));
    EXPECT_EQ(total.scoreList, "1=300,00\r\n2=0,00\r\n");
    EXPECT_EQ(total.priceSum, 4);
}

TEST(AnswerList, LineEndings)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .answers = {"x"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .answers = {"y"}});
    for (const QString& list : {QString("1=x\r\n2=y\r\n"), QString("1=x\n2=y"), QString("1=x\r2=y\r")}) {
        QStringList output;
        EXPECT_EQ(ValuateAnswerList(t, list, true, &output, 0).percent.toDouble(), 100.0);
        EXPECT_EQ(output, QStringList({"1=100,00", "2=100,00"}));
    }
    // The value is everything after the first "=".
    fixture::addQuestion(t, Question{.id = 3, .type = 1, .answers = {"a=b"}});
    EXPECT_EQ(ValuateAnswerList(t, "3=a=b", true, nullptr, 1).percent.toDouble(), 100.0);
}

TEST(AnswerList, StarsAreAnOpenAnswerText)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .answers = {"*"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .answers = {"ответ"}});
    EXPECT_EQ(ValuateAnswerList(t, "1=***", true, nullptr, 1).percent.toDouble(), 100.0);
    const GradeTotal total = ValuateAnswerList(t, "2=***", true, nullptr, 1);
    EXPECT_EQ(total.percent.toDouble(), 0.0);
    EXPECT_EQ(total.priceSum, 1); // "***" is not empty: the question counts
}

// The Student grades its own rows; the server grades the answer list the Student sent. Both must
// come to the same score list and total, in either switch.
TEST(AnswerList, ServerAgreesWithStudent)
{
    Table t = fixture::questionTable();
    auto add = [&](Question q) { fixture::addQuestion(t, q); };
    Question choice = fiveAnswerChoice();
    for (const char* rslt : {"124", "12", "1235", "12345", "35", "0"}) {
        choice.id += 1;
        choice.price = choice.id % 4 + 1;
        choice.rslt = QString(rslt);
        add(choice);
    }
    add(Question{.id = 20, .type = 0, .price = 2, .answers = {"a", "b"}}); // nothing correct, unanswered
    add(Question{.id = 21, .type = 0, .price = 2, .answers = {"a", "b"}, .correct = "2"}); // unanswered
    add(Question{.id = 30, .type = 1, .price = 3, .answers = {"Париж", "paris*"}, .rslt = QString(" PARIS-CITY ")});
    add(Question{.id = 31, .type = 1, .price = 3, .answers = {"Париж"}, .rslt = QString("париж")});
    add(Question{.id = 32, .type = 1, .price = 3, .answers = {"Париж"}}); // unanswered
    add(Question{.id = 33, .type = 1, .price = 3, .answers = {"[abc"}, .rslt = QString("[ABC")});
    add(Question{.id = 40, .type = 2, .price = 5, .answers = eight, .rslt = QString("21345678")});
    add(Question{.id = 41, .type = 2, .price = 1, .answers = five, .rslt = QString("12354")});
    add(Question{.id = 42, .type = 2, .price = 1, .answers = five, .rslt = QString("12345")});
    add(Question{.id = 50, .type = 3, .price = 4, .answers = eight, .rslt = QString("12346578")});
    add(Question{.id = 51,
                 .type = 3,
                 .price = 4,
                 .answers = {"1", "2", "3", "", "5", "6", "7", ""},
                 .rslt = QString("21346578")});
    QList<int> ids;
    for (int r = t.rowCount() - 1; r >= 0; --r)
        ids.append(t.value(r, QStringLiteral("QueID")).toInt());

    for (bool partial : {true, false}) {
        const QString criteria = fixture::criteria(12, partial, {});
        const GradeTotal student = ValuateByRslt(t, ids, criteria);

        const QString list = BuildRsltList(t, ids, int(ids.size()));
        QStringList output;
        const GradeTotal server = ValuateAnswerList(t, list, partial, &output, int(ids.size()));
        EXPECT_EQ(server.percent, student.percent) << partial;
        EXPECT_EQ(server.scoreList, student.scoreList) << partial;
        EXPECT_EQ(output.join("\r\n") + "\r\n", student.scoreList) << partial;
        EXPECT_EQ(server.priceSum, student.priceSum) << partial;
        EXPECT_GT(student.percent.toDouble(), 0.0);
        EXPECT_LT(student.percent.toDouble(), 100.0);
    }
}

} // namespace
