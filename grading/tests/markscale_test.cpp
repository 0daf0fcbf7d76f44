#include "gradingfixture.h"
#include "gradingtexts.h"
#include "markscale.h"

#include <gtest/gtest.h>

namespace {

// The built-in default thresholds Na12..Na1.
const QList<int> defaults = {110, 100, 95, 85, 80, 75, 65, 55, 45, 35, 20, 50};

struct MarkCase
{
    QString criteria;
    double percent;
    int mark;
    QString text;
};

void PrintTo(const MarkCase& c, std::ostream* os)
{
    *os << "scale " << CriteriaValue(c.criteria, "MaxPointSystem").toStdString() << " at " << c.percent;
}

class MarkTest : public testing::TestWithParam<MarkCase>
{
};

TEST_P(MarkTest, FromPercent)
{
    const MarkCase& c = GetParam();
    EXPECT_EQ(MarkFromPercent(c.criteria, c.percent), c.mark);
    EXPECT_EQ(MarkText(c.criteria, c.mark), c.text);
    // The same percentage held exactly (each case is a whole number of hundredths).
    const ExactPercent exact(qRound64(c.percent * 100) * UnitsPerPercent, 100);
    ASSERT_EQ(exact.toDouble(), c.percent);
    EXPECT_EQ(MarkFromPercent(c.criteria, exact), c.mark);
}

const QString five = fixture::criteria(5, true, {0, 0, 0, 0, 0, 0, 0, 90, 75, 50, 30, 0});
const QString twelve = fixture::criteria(12, true, {101, 97, 95, 85, 80, 75, 65, 55, 45, 35, 20, 0});
const QString pass = fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60});
const QString hundred = fixture::criteria(100, true, defaults);

INSTANTIATE_TEST_SUITE_P(Scales, MarkTest,
                         testing::Values(MarkCase{five, 90.0, 5, "5"}, MarkCase{five, 89.99, 4, "4"},
                                         MarkCase{five, 50, 3, "3"}, MarkCase{five, 30, 2, "2"},
                                         MarkCase{five, 29.9, 1, "1"}, MarkCase{five, 100, 5, "5"},
                                         MarkCase{twelve, 100, 11, "11"}, MarkCase{twelve, 96, 10, "10"},
                                         MarkCase{twelve, 19.9, 1, "1"}, MarkCase{pass, 60, 1, "Зачёт"},
                                         MarkCase{pass, 59.9, 0, "Незачёт"}, MarkCase{pass, 100, 1, "Зачёт"},
                                         MarkCase{hundred, 0, 1, "1"}, MarkCase{hundred, 0.4, 1, "1"},
                                         MarkCase{hundred, 99.9, 99, "99"}, MarkCase{hundred, 100, 100, "100"},
                                         MarkCase{hundred, 1.0, 1, "1"}, MarkCase{hundred, 42.99, 42, "42"}));

INSTANTIATE_TEST_SUITE_P(
    OddLists, MarkTest,
    testing::Values(
        // No scale, or one the system does not know: mark 0.
        MarkCase{"Na1=50\r\nTakePartialRight=-1\r\n", 100, 0, "0"},
        MarkCase{fixture::criteria(7, true, defaults), 100, 0, "0"}, MarkCase{"MaxPointSystem=abc\r\n", 100, 0, "0"},
        // Missing or empty thresholds read as -1: the mark is always reached.
        MarkCase{QString(twelve).replace("Na12=101", "Na12="), 0, 12, "12"},
        MarkCase{"MaxPointSystem=5\r\n", 0, 5, "5"}, MarkCase{"MaxPointSystem=1\r\n", 0, 1, "Зачёт"},
        MarkCase{"MaxPointSystem=5\r\nNa5=x\r\nNa4=0\r\n", 0, 5, "5"},
        // Na1 plays no role on the five- and twelve-point scales.
        MarkCase{"MaxPointSystem=5\r\nNa5=200\r\nNa4=200\r\nNa3=200\r\nNa2=200\r\nNa1=-1\r\n", 0, 1, "1"},
        // Names are found regardless of case; the first line of a name counts.
        MarkCase{"maxpointsystem=5\r\nna5=10\r\nNa5=200\r\n", 10, 5, "5"},
        // The pass/fail text is shown only for a scale written exactly "1".
        MarkCase{"MaxPointSystem=01\r\nNa1=50\r\n", 60, 1, "1"}));

TEST(CriteriaList, ValueLookup)
{
    const QString list = "A=1\r\nB=\r\nC=x=y\nD\r\n";
    EXPECT_EQ(CriteriaValue(list, "a"), "1");
    EXPECT_TRUE(CriteriaValue(list, "B").isEmpty());
    EXPECT_FALSE(CriteriaValue(list, "B").isNull());
    EXPECT_EQ(CriteriaValue(list, "C"), "x=y");
    EXPECT_TRUE(CriteriaValue(list, "D").isNull());
    EXPECT_EQ(CriteriaInteger(list, "A", -1), 1);
    EXPECT_EQ(CriteriaInteger(list, "B", -1), -1);
    EXPECT_EQ(CriteriaInteger(list, "C", 7), 7);
}

struct WindowCase
{
    QString criteria;
    bool known;
    QList<CriteriaRow> firstRows;
    qsizetype rowCount;
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << "scale " << CriteriaValue(c.criteria, "MaxPointSystem").toStdString() << ", " << c.rowCount << " rows";
}

class WindowRowsTest : public testing::TestWithParam<WindowCase>
{
};

TEST_P(WindowRowsTest, Rows)
{
    const WindowCase& c = GetParam();
    const CriteriaTable table = CriteriaWindowRows(c.criteria);
    EXPECT_EQ(table.knownScale, c.known);
    ASSERT_EQ(table.rows.size(), c.rowCount);
    for (qsizetype i = 0; i < c.firstRows.size(); ++i) {
        EXPECT_EQ(table.rows[i].mark, c.firstRows[i].mark) << i;
        EXPECT_EQ(table.rows[i].threshold, c.firstRows[i].threshold) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scales, WindowRowsTest,
    testing::Values(WindowCase{pass, true, {{"Зачёт", "60%"}}, 1},
                    WindowCase{five, true, {{"5", "90%"}, {"4", "75%"}, {"3", "50%"}, {"2", "30%"}}, 4},
                    // Na12 above 100: no row for 12, the next mark takes its place.
                    WindowCase{twelve, true, {{"11", "97%"}, {"10", "95%"}}, 10},
                    WindowCase{fixture::criteria(12, true, defaults), true, {{"11", "100%"}}, 10},
                    WindowCase{hundred, true, {{"100", "100%"}, {"99", "99%"}}, 99},
                    // No scale line: the twelve-point layout, missing thresholds shown as 0.
                    WindowCase{"Na12=90\r\n", true, {{"12", "90%"}, {"11", "0%"}}, 11},
                    WindowCase{"MaxPointSystem=5\r\nNa5=abc\r\nNa4=101\r\n", true, {{"5", "0%"}, {"3", "0%"}}, 3},
                    WindowCase{"MaxPointSystem=1\r\nNa1=150\r\n", true, {}, 0},
                    WindowCase{fixture::criteria(7, true, defaults), false, {}, 0}));

} // namespace
