// The student view without widgets: a monitor row and a cached question table in, what the panel
// shows out.
#include "gradingfixture.h"
#include "studentviewfixture.h"
#include "studentviewmodel.h"

#include <gtest/gtest.h>

namespace {

enum Kind
{
    Choice = 0,
    Open = 1,
    Ordering = 2,
    Matching = 3
};

// Questions 1..5 of a topic: one of each kind and a second choice question with a picture-only answer.
Table topicQuestions()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 1, .type = Choice, .price = 2, .answers = {"А", "Б", "В", "Г"}, .correct = "13"});
    fixture::addQuestion(t, {.id = 2, .type = Open, .price = 1, .answers = {"Париж", "", "paris*", "Лютеция"}});
    fixture::addQuestion(t, {.id = 3, .type = Ordering, .price = 3, .answers = {"1-й", "2-й", "3-й", "4-й", "5-й"}});
    fixture::addQuestion(t, {.id = 4,
                             .type = Matching,
                             .price = 4,
                             .answers = {"Волга", "Нева", "Обь", "Енисей", "Каспий", "Балтика", "Карское", "Залив"}});
    fixture::addQuestion(
        t,
        {.id = 5, .type = Choice, .price = 1, .answers = {"Да", "", "Все", "Все"}, .correct = "134", .pictures = "2"});
    t.setValue(0, QStringLiteral("Question"), QStringLiteral("Какие буквы гласные?"));
    t.setValue(0, QStringLiteral("QuePict"), QByteArray("BM-question"));
    return t;
}

// The view of one question, alone in the row's results.
StudentView viewOf(const QString& line, bool partial = true, int priceSum = 16)
{
    const Table t = topicQuestions();
    StudentViewModel m;
    StudentViewRow r = viewfixture::row(line);
    r.takePartialRight = partial;
    r.priceSum = priceSum;
    m.setRow(r, &t);
    return m.view();
}

struct SlotWant
{
    QString text; // empty: the slot is hidden
    bool right = false;
    QString order;
};

void expectSlots(const StudentView& v, const QList<SlotWant>& want)
{
    for (int n = 0; n < StudentView::SlotCount; ++n) {
        SCOPED_TRACE(n + 1);
        const SlotWant w = want.value(n);
        const AnswerSlotView& s = v.slots[n];
        EXPECT_EQ(s.shown, !w.text.isEmpty());
        EXPECT_EQ(s.text, w.text);
        EXPECT_EQ(s.right, w.right);
        EXPECT_EQ(s.orderLabel, w.order);
    }
}

} // namespace

TEST(StudentViewModel, ARowWithoutResultsHasNothingToShow)
{
    const Table t = topicQuestions();
    StudentViewModel m;
    EXPECT_FALSE(m.hasData()); // nothing selected yet
    for (const QString& results : {QString(), QStringLiteral("\r\n")}) {
        m.setRow(viewfixture::row(results), &t);
        EXPECT_FALSE(m.hasData());
        EXPECT_TRUE(m.view().numberText.isEmpty());
        EXPECT_FALSE(m.view().previousEnabled);
        EXPECT_FALSE(m.view().nextEnabled);
        EXPECT_FALSE(m.view().hasQuestion);
        EXPECT_FALSE(m.view().timeShown);
        EXPECT_FALSE(m.view().needRoute);
    }
    m.setRow(viewfixture::row(QStringLiteral("1=13\r\n")), &t);
    EXPECT_TRUE(m.hasData());
    m.clear();
    EXPECT_FALSE(m.hasData());
    EXPECT_FALSE(m.row().has_value());
}

TEST(StudentViewModel, ChoiceShowsTheTicksAndTheRightAnswers)
{
    const StudentView v = viewOf(QStringLiteral("1=12"));
    ASSERT_TRUE(v.hasQuestion);
    EXPECT_EQ(v.kind, QuestionKind::Choice);
    EXPECT_EQ(v.question, QStringLiteral("Какие буквы гласные?"));
    EXPECT_EQ(v.questionPicture, QByteArray("BM-question"));
    expectSlots(v, {{"А", true}, {"Б", false}, {"В", true}, {"Г", false}});
    const bool ticked[] = {true, true, false, false};
    for (int n = 0; n < 4; ++n) {
        EXPECT_TRUE(v.slots[n].checkBox) << n;
        EXPECT_EQ(v.slots[n].ticked, ticked[n]) << n;
    }
    EXPECT_FALSE(v.slots[4].checkBox);
    // two of four agree, a right one ticked: 50 %
    EXPECT_EQ(v.scoreText, QStringLiteral("Правильность вопроса: 50%"));
}

TEST(StudentViewModel, AChoiceAnswerWithAPictureOnlyIsShownWithoutACheckBox)
{
    const StudentView v = viewOf(QStringLiteral("5=2"));
    ASSERT_TRUE(v.hasQuestion);
    EXPECT_TRUE(v.slots[1].shown);
    EXPECT_FALSE(v.slots[1].checkBox);
    EXPECT_FALSE(v.slots[1].ticked); // the digit is in the answer, but there is no box to tick
    EXPECT_EQ(v.slots[1].picture, QByteArray("BM"));
    EXPECT_TRUE(v.slots[0].checkBox);
    EXPECT_TRUE(v.slots[0].picture.isEmpty());
}

TEST(StudentViewModel, OpenShowsTheAnswerTheRightOneAndTheVariants)
{
    struct Case
    {
        QString line;
        QString shown;
        QString score;
    };
    const Case cases[] = {
        {"2=***", "", "Правильность вопроса: 0%"}, // the empty answer as it travels
        {"2=Париж", "Париж", "Правильность вопроса: 100%"},
        {"2= PARIS-CITY ", " PARIS-CITY ", "Правильность вопроса: 100%"},
        {"2=париж", "париж", "Правильность вопроса: 0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const StudentView v = viewOf(c.line);
        ASSERT_TRUE(v.hasQuestion);
        EXPECT_EQ(v.kind, QuestionKind::Open);
        EXPECT_EQ(v.openAnswer, c.shown);
        EXPECT_EQ(v.rightAnswer, QStringLiteral("Париж"));
        EXPECT_EQ(v.variants, QStringList({"paris*", "Лютеция"}));
        EXPECT_EQ(v.scoreText, c.score);
        for (const AnswerSlotView& s : v.slots)
            EXPECT_FALSE(s.shown);
    }
}

TEST(StudentViewModel, OrderingShowsTheStudentsOrderWithLabels)
{
    // answers 1..5 filled; the student swapped the first two rows
    const StudentView v = viewOf(QStringLiteral("3=21345678"));
    ASSERT_TRUE(v.hasQuestion);
    EXPECT_EQ(v.kind, QuestionKind::Ordering);
    expectSlots(v,
                {{"2-й", false, "2"}, {"1-й", false, "1"}, {"3-й", true, "3"}, {"4-й", true, "4"}, {"5-й", true, "5"}});
    EXPECT_EQ(v.scoreText, QStringLiteral("Правильность вопроса: 60%"));
    for (const AnswerSlotView& s : v.slots)
        EXPECT_FALSE(s.checkBox);
}

TEST(StudentViewModel, OrderingSurvivesAShortOrOddAnswer)
{
    // a string shorter than the rows, a digit out of range and a letter: those rows stay empty
    const StudentView v = viewOf(QStringLiteral("3=19x"));
    ASSERT_TRUE(v.hasQuestion);
    expectSlots(v, {{"1-й", true, "1"}});
}

TEST(StudentViewModel, MatchingJudgesEveryPairFromBothSides)
{
    struct Case
    {
        QString answer;
        QList<SlotWant> slots;
        QString score;
    };
    const Case cases[] = {
        {"12345678",
         {{"Волга", true},
          {"Нева", true},
          {"Обь", true},
          {"Енисей", true},
          {"Каспий", true, "5"},
          {"Балтика", true, "6"},
          {"Карское", true, "7"},
          {"Залив", true, "8"}},
         "Правильность вопроса: 100%"},
        // the fifth and sixth digits swapped: the first two pairs are wrong on both sides
        {"12346578",
         {{"Волга", false},
          {"Нева", false},
          {"Обь", true},
          {"Енисей", true},
          {"Балтика", false, "6"},
          {"Каспий", false, "5"},
          {"Карское", true, "7"},
          {"Залив", true, "8"}},
         "Правильность вопроса: 50%"},
        // left column mixed, each partner beside its own: all right
        {"21436587",
         {{"Нева", true},
          {"Волга", true},
          {"Енисей", true},
          {"Обь", true},
          {"Балтика", true, "6"},
          {"Каспий", true, "5"},
          {"Залив", true, "8"},
          {"Карское", true, "7"}},
         "Правильность вопроса: 100%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        const StudentView v = viewOf(QStringLiteral("4=") + c.answer);
        ASSERT_TRUE(v.hasQuestion);
        EXPECT_EQ(v.kind, QuestionKind::Matching);
        expectSlots(v, c.slots);
        EXPECT_EQ(v.scoreText, c.score);
    }
}

TEST(StudentViewModel, AnEmptyAnswerTextAsksForTheRouteAndShowsNoQuestion)
{
    for (const QString& line : {QStringLiteral("3="), QStringLiteral("3")}) {
        SCOPED_TRACE(line.toStdString());
        const StudentView v = viewOf(line);
        EXPECT_TRUE(v.hasData);
        EXPECT_TRUE(v.needRoute);
        EXPECT_FALSE(v.hasQuestion);
        EXPECT_TRUE(v.scoreText.isEmpty());
        EXPECT_TRUE(v.price.isEmpty());
        EXPECT_EQ(v.numberText, QStringLiteral("Вопрос 1 из 1"));
    }
    EXPECT_FALSE(viewOf(QStringLiteral("3=12345678")).needRoute);
    EXPECT_FALSE(viewOf(QStringLiteral("2=***")).needRoute);
}

TEST(StudentViewModel, AQuestionOutsideTheCachedTableShowsNoQuestion)
{
    const Table t = topicQuestions();
    StudentViewModel m;
    m.setRow(viewfixture::row(QStringLiteral("99=1\r\n1=1\r\n")), &t);
    EXPECT_TRUE(m.hasData());
    EXPECT_FALSE(m.view().hasQuestion);
    EXPECT_FALSE(m.view().needRoute);
    EXPECT_TRUE(m.next());
    EXPECT_TRUE(m.view().hasQuestion);

    m.setRow(viewfixture::row(QStringLiteral("1=1\r\n")), nullptr); // the topic is not cached
    EXPECT_TRUE(m.hasData());
    EXPECT_EQ(m.view().numberText, QStringLiteral("Вопрос 1 из 1"));
    EXPECT_FALSE(m.view().hasQuestion);
}

TEST(StudentViewModel, TheIndexStaysWithinTheResults)
{
    const Table t = topicQuestions();
    StudentViewModel m;
    m.setRow(viewfixture::row(QStringLiteral("1=1\r\n2=***\r\n3=12345\r\n")), &t);
    EXPECT_EQ(m.index(), 0);
    EXPECT_EQ(m.view().numberText, QStringLiteral("Вопрос 1 из 3"));
    EXPECT_FALSE(m.view().previousEnabled);
    EXPECT_TRUE(m.view().nextEnabled);
    EXPECT_FALSE(m.previous());
    EXPECT_EQ(m.index(), 0);

    EXPECT_TRUE(m.next());
    EXPECT_TRUE(m.view().previousEnabled);
    EXPECT_TRUE(m.view().nextEnabled);
    EXPECT_EQ(m.view().kind, QuestionKind::Open);
    EXPECT_TRUE(m.next());
    EXPECT_EQ(m.view().numberText, QStringLiteral("Вопрос 3 из 3"));
    EXPECT_TRUE(m.view().previousEnabled);
    EXPECT_FALSE(m.view().nextEnabled);
    EXPECT_FALSE(m.next());
    EXPECT_EQ(m.index(), 2);

    // a refresh of the same row keeps the question; fewer results bring the index back within them
    m.setRow(viewfixture::row(QStringLiteral("1=1\r\n2=***\r\n3=12345\r\n4=1\r\n")), &t);
    EXPECT_EQ(m.index(), 2);
    EXPECT_EQ(m.view().numberText, QStringLiteral("Вопрос 3 из 4"));
    m.setRow(viewfixture::row(QStringLiteral("1=1\r\n")), &t);
    EXPECT_EQ(m.index(), 0);
    EXPECT_EQ(m.view().numberText, QStringLiteral("Вопрос 1 из 1"));
    EXPECT_FALSE(m.view().previousEnabled);
    EXPECT_FALSE(m.view().nextEnabled);
}

TEST(StudentViewModel, WithoutPartialCreditAQuestionBelowFullIsCountedAsZero)
{
    struct Case
    {
        QString line;
        bool partial;
        QString score;
    };
    const Case cases[] = {
        {"3=21345678", true, "Правильность вопроса: 60%"},
        {"3=21345678", false, "Правильность вопроса: 60%. Согласно настройкам, засчитано 0%."},
        {"3=12345678", false, "Правильность вопроса: 100%"},
        {"1=13", false, "Правильность вопроса: 100%"},
        {"1=1", false, "Правильность вопроса: 75%. Согласно настройкам, засчитано 0%."},
        {"2=***", false, "Правильность вопроса: 0%. Согласно настройкам, засчитано 0%."},
        // every answer ticked, and every answer is right: nothing with partial credit, full
        // without it, as the total grades it
        {"5=134", true, "Правильность вопроса: 0%"},
        {"5=134", false, "Правильность вопроса: 100%"},
        // two of three agree: 66.7 % shown whole
        {"5=13", true, "Правильность вопроса: 67%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString() + (c.partial ? " partial" : " all or nothing"));
        EXPECT_EQ(viewOf(c.line, c.partial).scoreText, c.score);
    }
}

TEST(StudentViewModel, ThePriceShareIsBlankWhenThePriceSumIsZero)
{
    struct Case
    {
        QString line;
        int priceSum;
        QString price;
        QString share;
    };
    const Case cases[] = {
        {"1=1", 16, "2", "(12,5%)"},
        {"4=12345678", 12, "4", "(33,3%)"},
        {"1=1", 0, "2", ""},
        {"3=1", 3, "3", "(100,0%)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const StudentView v = viewOf(c.line, true, c.priceSum);
        EXPECT_EQ(v.price, c.price);
        EXPECT_EQ(v.priceShare, c.share);
    }
}

TEST(StudentViewModel, TheTimeTurnsShortBelowSixtyOneSeconds)
{
    struct Case
    {
        int remain;
        bool shortTime;
        QString minutes;
        int gauge;
    };
    const Case cases[] = {
        {60, true, "1 мин.", 60},    {61, false, "1 мин.", 61},   {0, true, "0 мин.", 0},
        {119, false, "1 мин.", 119}, {120, false, "2 мин.", 120}, {1200, false, "20 мин.", 1200},
        {-5, true, "0 мин.", 0},
    };
    const Table t = topicQuestions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remain);
        StudentViewRow r = viewfixture::row(QStringLiteral("1=1"));
        r.timeRemain = c.remain;
        StudentViewModel m;
        m.setRow(r, &t);
        const StudentView& v = m.view();
        EXPECT_TRUE(v.timeShown);
        EXPECT_EQ(v.timeMaximum, 1200);
        EXPECT_EQ(v.timeValue, c.gauge);
        EXPECT_EQ(v.timeShort, c.shortTime);
        EXPECT_EQ(v.minutesText, c.minutes);
    }
    StudentViewRow unlimited = viewfixture::row(QStringLiteral("1=1"));
    unlimited.timeLimit = false;
    StudentViewModel m;
    m.setRow(unlimited, &t);
    EXPECT_FALSE(m.view().timeShown);
    EXPECT_TRUE(m.view().minutesText.isEmpty());
}

TEST(StudentViewModel, TheRowIsReadFromTheWorkingTablesColumns)
{
    const QVariantMap columns{{"IP", "10.0.0.3"}, {"Results", "1=1\r\n"}, {"TimeLimit", -1},
                              {"MaxTime", 900},   {"TimeRemain", 61},     {"TakePartialRight", 0},
                              {"PriceSum", 12},   {"QuestionsGiven", -1}, {"CurrentTopicID", 42}};
    const StudentViewRow r = StudentViewRow::fromFields([&](const QString& c) { return columns.value(c); });
    EXPECT_EQ(r.address, "10.0.0.3");
    EXPECT_EQ(r.results, "1=1\r\n");
    EXPECT_TRUE(r.timeLimit);
    EXPECT_EQ(r.maxTime, 900);
    EXPECT_EQ(r.timeRemain, 61);
    EXPECT_FALSE(r.takePartialRight);
    EXPECT_EQ(r.priceSum, 12);
    EXPECT_TRUE(r.questionsGiven);
    EXPECT_EQ(r.topicId, 42);
}
