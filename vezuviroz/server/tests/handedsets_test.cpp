#include "handedsets.h"
#include "testhome.h"

#include <gtest/gtest.h>

namespace {

QString unanswered(int id)
{
    return id == 30 ? QStringLiteral("4321") : QStringLiteral("0");
}

} // namespace

TEST(CheckAnswerList, KeepsHandedOutLinesAndCompletesTheSet)
{
    struct Case
    {
        const char* name;
        QStringList lines;
        QStringList kept;
        QStringList refused;
    };
    const QList<int> handed{10, 20, 30};
    const Case cases[] = {
        {"honest list stays as it is", {"20=1", "10=2", "30=1234"}, {"20=1", "10=2", "30=1234"}, {}},
        {"foreign lines go", {"10=1", "99=1", "20=1", "30=1"}, {"10=1", "20=1", "30=1"}, {"99"}},
        {"missing questions come as unanswered", {"20=1"}, {"20=1", "10=0", "30=4321"}, {}},
        {"a second line of a question goes", {"10=1", "10=1", "20=1", "30=1"}, {"10=1", "20=1", "30=1"}, {"10"}},
        {"lines without a number go",
         {"x=1", "=1", "+10=1", "10=1", "20=2", "30=3"},
         {"10=1", "20=2", "30=3"},
         {"x", "", "+10"}},
        {"empty list is all unanswered", {}, {"10=0", "20=0", "30=4321"}, {}},
    };
    for (const Case& c : cases) {
        const CheckedAnswerList checked = CheckAnswerList(c.lines, handed, unanswered);
        EXPECT_EQ(checked.lines, c.kept) << c.name;
        EXPECT_EQ(checked.refused, c.refused) << c.name;
    }
}

TEST(HandedOutSets, SurviveANewInstanceAndForgetRemovesTheFile)
{
    const QString folder = testPath(QStringLiteral("handed"));
    {
        HandedOutSets sets(folder);
        sets.set(QStringLiteral("10.0.0.5"), {3, 1, 2});
        sets.set(QStringLiteral("10.0.0.6"), {7});
        sets.set(QStringLiteral("../evil"), {1}); // kept in memory only: never a file outside the folder
    }
    HandedOutSets again(folder);
    EXPECT_EQ(again.of(QStringLiteral("10.0.0.5")), (QList<int>{3, 1, 2}));
    EXPECT_EQ(again.of(QStringLiteral("10.0.0.6")), (QList<int>{7}));
    EXPECT_FALSE(again.has(QStringLiteral("../evil")));
    again.keepOnly({QStringLiteral("10.0.0.6")});
    HandedOutSets third(folder);
    EXPECT_FALSE(third.has(QStringLiteral("10.0.0.5")));
    EXPECT_TRUE(third.has(QStringLiteral("10.0.0.6")));
}
