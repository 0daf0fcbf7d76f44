#pragma once

#include <QtGlobal>

// Whole units of 1/840 percent. Every question's percentage is 100 * a / n with n from 1 to 8
// (answers, pairs or rows counted), and 840 is the least number that 1..8 all divide, so each
// percentage and each weighted score (percentage * price) is a whole number of units.
inline constexpr qint64 UnitsPerPercent = 840;

// A total percentage held exactly: the weighted scores in units over the price sum, as a
// fraction in lowest terms. Thresholds compare with it without rounding, so two questions at
// 1/3 and 2/3 of price 1 reach a pass mark of 50. Sums of many large prices overflow 64 bits,
// hence the 128-bit parts.
class ExactPercent
{
public:
    __extension__ typedef __int128 Int128;

    ExactPercent() = default; // 0 %
    // A price sum of 0 or less gives 0 %.
    ExactPercent(Int128 scoreUnits, qint64 priceSum);

    // The nearest double; a whole percentage comes out exactly, and a short decimal (56.25, 0.15)
    // comes out as the double that prints as it.
    double toDouble() const;
    // percent >= threshold.
    bool reaches(int threshold) const;
    // The whole part, cut towards zero.
    qint64 wholePart() const;

    bool operator==(const ExactPercent&) const = default;

private:
    Int128 m_numerator = 0;   // percent * m_denominator
    Int128 m_denominator = 1; // > 0
};
