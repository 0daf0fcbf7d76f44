#include "fixedtext.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct FixedCase
{
    double value;
    int decimals;
    const char* text; // in the Russian locale of the tests
};

TEST(FixedText, RoundsTiesAwayFromZero)
{
    const FixedCase cases[] = {
        // Ties, exact in binary and not: away from zero on either side.
        {56.25, 1, "56,3"},
        {56.35, 1, "56,4"},
        {0.15, 1, "0,2"},
        {2.675, 2, "2,68"},
        {0.125, 2, "0,13"},
        {0.5, 0, "1"},
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        {-56.25, 1, "-56,3"},
        {1.005, 2, "1,01"},
        // Not ties.
        {56.24, 1, "56,2"},
        {66.66666, 1, "66,7"},
        {100.0 / 3, 2, "33,33"},
        {200.0 / 3, 2, "66,67"},
        {0.004999, 2, "0,00"},
        // Carries through every digit.
        {9.96, 1, "10,0"},
        {99.95, 1, "100,0"},
        {-999.5, 0, "-1000"},
        // Whole numbers, padding, no group separators.
        {100, 1, "100,0"},
        {0, 2, "0,00"},
        {1234567.125, 2, "1234567,13"},
        {1e21, 1, "1000000000000000000000,0"},
        {7, 0, "7"},
        // A value that rounds to zero loses its sign.
        {-0.0, 2, "0,00"},
        {-0.004, 2, "0,00"},
        // Tiny values and more decimals than the value has.
        {5e-324, 2, "0,00"},
        {0.1, 5, "0,10000"},
    };
    for (const FixedCase& c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), QString::fromUtf8(c.text)) << c.value << " " << c.decimals;
}

TEST(FixedText, LargestAndOddValues)
{
    const QString max = FormatFixed(std::numeric_limits<double>::max(), 2);
    EXPECT_EQ(max.size(), 309 + 3);
    EXPECT_TRUE(max.startsWith("17976931348623157")) << max.toStdString();
    EXPECT_TRUE(max.endsWith(",00"));
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::max(), 20).size(), 1 + 309 + 1 + MaxFixedDecimals);
    // Decimals outside 0..20 are cut to that range.
    EXPECT_EQ(FormatFixed(1.5, -3), "2");
    EXPECT_EQ(FormatFixed(1, 99), "1," + QString(MaxFixedDecimals, u'0'));
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "inf");
    EXPECT_EQ(FormatFixed(std::nan(""), 1), "nan");
}

TEST(FixedText, SeparatorOfTheLocaleOrTheCaller)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(FormatFixed(2.5, 2), "2.50");
    char16_t text[FixedTextCapacity];
    const qsizetype n = FormatFixedInto(text, 56.25, 1, u"<>");
    EXPECT_EQ(QStringView(text, n), u"56<>3");
}

} // namespace
