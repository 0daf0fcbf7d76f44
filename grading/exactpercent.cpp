#include "exactpercent.h"

#include <utility>

namespace {

using Int128 = ExactPercent::Int128;

Int128 magnitude(Int128 v)
{
    return v < 0 ? -v : v;
}

Int128 greatestCommonDivisor(Int128 a, Int128 b)
{
    a = magnitude(a);
    b = magnitude(b);
    while (b != 0)
        a = std::exchange(b, a % b);
    return a;
}

// Integers up to this convert to double without loss.
constexpr Int128 ExactInDouble = Int128(1) << 53;

} // namespace

ExactPercent::ExactPercent(Int128 scoreUnits, qint64 priceSum)
{
    if (priceSum <= 0)
        return;
    const Int128 denominator = Int128(priceSum) * UnitsPerPercent;
    const Int128 divisor = greatestCommonDivisor(scoreUnits, denominator);
    m_numerator = scoreUnits / divisor;
    m_denominator = denominator / divisor;
}

double ExactPercent::toDouble() const
{
    // One division of exact operands is correctly rounded; beyond that, the whole part stays
    // exact and only the fraction is rounded.
    if (magnitude(m_numerator) < ExactInDouble && m_denominator < ExactInDouble)
        return double(m_numerator) / double(m_denominator);
    return double(m_numerator / m_denominator) + double(m_numerator % m_denominator) / double(m_denominator);
}

bool ExactPercent::reaches(int threshold) const
{
    return m_numerator >= Int128(threshold) * m_denominator;
}

qint64 ExactPercent::wholePart() const
{
    return qint64(m_numerator / m_denominator);
}
