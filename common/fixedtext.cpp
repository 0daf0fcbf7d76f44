#include "fixedtext.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The shortest decimal form in fixed notation never exceeds this (309 integer digits, or 324
// places after the point).
static constexpr int ShortestCapacity = 340;

} // namespace

qsizetype FormatFixedInto(char16_t* out, double value, int decimals, QStringView separator)
{
    decimals = std::clamp(decimals, 0, MaxFixedDecimals);
    char shortest[ShortestCapacity];
    const auto [last, ec] = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::fixed);
    if (ec != std::errc())
        return 0; // not reached: the capacity holds every double
    const char* const end = last;
    const char* p = shortest;
    qsizetype n = 0;
    if (!std::isfinite(value)) { // "inf", "-inf", "nan" as they are
        for (; p != end; ++p)
            out[n++] = char16_t(*p);
        return n;
    }
    const bool negative = *p == '-';
    if (negative)
        ++p;
    const char* point = std::find(p, end, '.');
    const char* fraction = point == end ? end : point + 1;

    // The kept digits, a leading 0 left free for a carry.
    char digits[ShortestCapacity + MaxFixedDecimals + 1];
    qsizetype count = 0;
    digits[count++] = '0';
    for (const char* d = p; d != point; ++d)
        digits[count++] = *d;
    const qsizetype fractionLength = end - fraction;
    for (int i = 0; i < decimals; ++i)
        digits[count++] = i < fractionLength ? fraction[i] : '0';
    // The first dropped digit decides: 5 or more rounds the magnitude up, so a tie goes away
    // from zero.
    if (decimals < fractionLength && fraction[decimals] >= '5') {
        qsizetype i = count - 1;
        while (digits[i] == '9')
            digits[i--] = '0';
        ++digits[i];
    }

    const qsizetype integerEnd = count - decimals;
    const qsizetype first = digits[0] == '0' && integerEnd > 1 ? 1 : 0;
    const bool zero = std::all_of(digits, digits + count, [](char c) { return c == '0'; });
    if (negative && !zero)
        out[n++] = u'-';
    for (qsizetype i = first; i < integerEnd; ++i)
        out[n++] = char16_t(digits[i]);
    if (decimals > 0) {
        for (QChar s : separator)
            out[n++] = s.unicode();
        for (qsizetype i = integerEnd; i < count; ++i)
            out[n++] = char16_t(digits[i]);
    }
    return n;
}

QString FormatFixed(double value, int decimals)
{
    char16_t text[FixedTextCapacity];
    const QString separator = QLocale().decimalPoint();
    return QString(reinterpret_cast<const QChar*>(text), FormatFixedInto(text, value, decimals, separator));
}
