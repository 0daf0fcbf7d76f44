#include "fixedtext.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

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

// The expected text by another road: the shortest digits in scientific notation as one integer,
// scaled by a power of ten and rounded half away from zero in integer arithmetic.
QString referenceFixed(double value, int decimals)
{
    __extension__ typedef __int128 Int128;
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific).ptr;
    const char* e = std::strchr(buffer, 'e');
    Int128 mantissa = 0;
    int digits = 0;
    for (const char* c = buffer; c != e; ++c) {
        if (*c != '.') {
            mantissa = mantissa * 10 + (*c - '0');
            ++digits;
        }
    }
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    // value = mantissa * 10^(exponent - digits + 1); scaled by 10^decimals.
    int shift = exponent - digits + 1 + decimals;
    Int128 scaled = mantissa;
    for (; shift > 0; --shift)
        scaled *= 10;
    if (shift < 0) {
        Int128 divisor = 1;
        for (; shift < 0; ++shift)
            divisor *= 10;
        const Int128 remainder = scaled % divisor;
        scaled /= divisor;
        if (2 * remainder >= divisor)
            ++scaled;
    }
    QString text;
    do {
        text.prepend(QChar(u'0' + int(scaled % 10)));
        scaled /= 10;
    } while (scaled != 0);
    while (text.size() <= decimals)
        text.prepend(u'0');
    if (decimals > 0)
        text.insert(text.size() - decimals, u',');
    const bool zero = text.count(u'0') == text.size() - (decimals > 0 ? 1 : 0);
    return (value < 0 && !zero ? QStringLiteral("-") : QString()) + text;
}

TEST(FixedText, AgreesWithIntegerRoundingOfTheShortestDigits)
{
    std::mt19937_64 random(20261210);
    std::uniform_int_distribution<int> decimalsOf(0, 6);
    std::uniform_real_distribution<double> magnitude(-9, 12);
    std::uniform_int_distribution<qint64> numerator(-2000000, 2000000);
    std::uniform_int_distribution<int> denominator(1, 1000);
    for (int i = 0; i < 200000; ++i) {
        // Half the values are short fractions, where ties are common; half arbitrary reals.
        const double value = i % 2 == 0 ? double(numerator(random)) / double(denominator(random))
                                        : std::pow(10.0, magnitude(random)) * (i % 4 == 1 ? 1 : -1);
        const int decimals = decimalsOf(random);
        ASSERT_EQ(FormatFixed(value, decimals), referenceFixed(value, decimals)) << value << " " << decimals;
    }
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
