// Totals are exact: a total that is a whole percentage is never shown or marked below itself,
// and ties are shown rounded away from zero.
#include "fixedtext.h"
#include "gradingfixture.h"
#include "markscale.h"
#include "valuation.h"

#include <gtest/gtest.h>

using fixture::Question;

namespace {

// Three filled answers; 1/3 or 2/3 of them agree with the key under partial credit.
Table thirds()
{
    Table t = fixture::questionTable();
    // Correct 1 and 2, ticked 1 and 3: answer 1 agrees, 2 and 3 do not.
    fixture::addQuestion(t, Question{.id = 1, .answers = {"a", "b", "c"}, .correct = "12", .rslt = QString("13")});
    // Correct 1, ticked 1 and 2: answers 1 and 3 agree.
    fixture::addQuestion(t, Question{.id = 2, .answers = {"a", "b", "c"}, .correct = "1", .rslt = QString("12")});
    return t;
}

TEST(ExactTotal, ThirdsMakeAWholeFiftyThatPasses)
{
    const Table t = thirds();
    const QString passAtFifty = fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50});
    const GradeTotal student = ValuateByRslt(t, {1, 2}, passAtFifty);
    const GradeTotal server = ValuateAnswerList(t, "1=13\r\n2=12\r\n", true, nullptr, 2);
    for (const GradeTotal& total : {student, server}) {
        EXPECT_EQ(total.scoreList, "1=33,33\r\n2=66,67\r\n");
        EXPECT_EQ(total.percent, ExactPercent(50 * UnitsPerPercent, 1));
        EXPECT_EQ(total.percent.toDouble(), 50.0);
        EXPECT_EQ(MarkFromPercent(passAtFifty, total.percent), 1);
        EXPECT_EQ(MarkText(passAtFifty, MarkFromPercent(passAtFifty, total.percent)), "Зачёт");
        EXPECT_EQ(FormatFixed(total.percent.toDouble(), 1), "50,0");
        // Just above 50 it fails, exactly.
        EXPECT_FALSE(total.percent.reaches(51));
    }
}

TEST(ExactTotal, TieOfATotalIsShownAwayFromZero)
{
    // 100 % and 12.5 % (one of eight rows in place) at price 1: 56.25 %.
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .answers = {"x"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 2, .answers = {"1", "2", "3", "4", "5", "6", "7", "8"}});
    const GradeTotal total = ValuateAnswerList(t, "1=x\r\n2=13456782\r\n", true, nullptr, 2);
    EXPECT_EQ(total.scoreList, "1=100,00\r\n2=12,50\r\n");
    EXPECT_EQ(total.percent.toDouble(), 56.25);
    EXPECT_EQ(FormatFixed(total.percent.toDouble(), 1), "56,3");
    EXPECT_EQ(HundredPointMark(total.percent), 56);
}

// Every ordering question with 1..8 answers, r of them in place, at prices 1..10; every pair of
// them is graded as one answer list. Whenever the exact total is a whole percentage W, it must
// come out as exactly W, be shown "W,0", and reach a threshold of W on every scale.
TEST(ExactTotal, SweepOfPricesAndAnswerCounts)
{
    struct Graded
    {
        int id;
        int answers;
        int right;
        int price;
        QString line;
    };
    Table t = fixture::questionTable();
    QList<Graded> questions;
    int id = 1;
    for (int n = 1; n <= 8; ++n) {
        QStringList texts;
        for (int k = 1; k <= n; ++k)
            texts.append(QString::number(k));
        for (int right = 0; right <= n; ++right) {
            QString answer;
            for (int k = 1; k <= n; ++k)
                answer += k <= right ? QChar(u'0' + k) : u'0';
            for (int price = 1; price <= 10; ++price, ++id) {
                fixture::addQuestion(t, Question{.id = id, .type = 2, .price = price, .answers = texts});
                questions.append({id, n, right, price, QStringLiteral("%1=%2\r\n").arg(id).arg(answer)});
            }
        }
    }
    const QuestionSet set(t);
    int wholeTotals = 0;
    for (qsizetype i = 0; i < questions.size(); ++i) {
        for (qsizetype j = i; j < questions.size(); ++j) {
            const Graded& a = questions[i];
            const Graded& b = questions[j];
            // The total as a fraction: 100 (ra pa / na + rb pb / nb) / (pa + pb).
            const qint64 numerator =
                100 * (qint64(a.right) * a.price * b.answers + qint64(b.right) * b.price * a.answers);
            const qint64 denominator = qint64(a.answers) * b.answers * (a.price + b.price);
            if (numerator % denominator != 0)
                continue;
            ++wholeTotals;
            const int whole = int(numerator / denominator);
            const GradeTotal total = ValuateAnswerList(set, a.line + b.line, true, nullptr, 2);
            const QString pair = a.line + b.line;
            ASSERT_EQ(total.percent.toDouble(), double(whole)) << pair.toStdString();
            ASSERT_EQ(FormatFixed(total.percent.toDouble(), 1), QString::number(whole) + ",0") << pair.toStdString();
            ASSERT_EQ(total.percent.wholePart(), whole) << pair.toStdString();
            const QString atWhole = fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, whole});
            ASSERT_EQ(MarkFromPercent(atWhole, total.percent), 1) << pair.toStdString();
            const QString fiveAtWhole = fixture::criteria(5, true, {0, 0, 0, 0, 0, 0, 0, whole, 101, 101, 101, 0});
            ASSERT_EQ(MarkFromPercent(fiveAtWhole, total.percent), 5) << pair.toStdString();
            ASSERT_FALSE(total.percent.reaches(whole + 1)) << pair.toStdString();
        }
    }
    // Most pairs are not whole; enough of them are for the sweep to mean something.
    EXPECT_GT(wholeTotals, 1000);
}

TEST(ExactPercent, FractionsInLowestTerms)
{
    // 2/3 of 100 % at price 3 over a price sum of 2 equals 100 %: the same fraction either way.
    EXPECT_EQ(ExactPercent(200 * UnitsPerPercent, 2), ExactPercent(100 * UnitsPerPercent, 1));
    EXPECT_EQ(ExactPercent(5, 0), ExactPercent());
    EXPECT_EQ(ExactPercent(5, -3), ExactPercent());
    EXPECT_EQ(ExactPercent().toDouble(), 0.0);

    const ExactPercent third(100 * UnitsPerPercent, 3); // 33.33.. %
    EXPECT_TRUE(third.reaches(33));
    EXPECT_FALSE(third.reaches(34));
    EXPECT_TRUE(third.reaches(-1)); // a missing threshold is always reached
    EXPECT_EQ(third.wholePart(), 33);
    EXPECT_DOUBLE_EQ(third.toDouble(), 100.0 / 3);
}

TEST(ExactPercent, HugePriceSumsStayExact)
{
    // Prices near the largest int over many questions: the parts outgrow 64 bits.
    const qint64 priceSum = qint64(1) << 62;
    const ExactPercent::Int128 full = ExactPercent::Int128(priceSum) * 100 * UnitsPerPercent;
    const ExactPercent all(full, priceSum);
    EXPECT_EQ(all.toDouble(), 100.0);
    EXPECT_TRUE(all.reaches(100));
    EXPECT_FALSE(all.reaches(101));
    const ExactPercent justBelowHalf(full / 2 - 1, priceSum);
    EXPECT_FALSE(justBelowHalf.reaches(50));
    EXPECT_TRUE(justBelowHalf.reaches(49));
    EXPECT_EQ(justBelowHalf.wholePart(), 49);
    EXPECT_NEAR(justBelowHalf.toDouble(), 50.0, 1e-9);
}

} // namespace
