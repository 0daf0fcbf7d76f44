#pragma once

#include <QString>
#include <QStringView>

// Reals as the programs write them with "%.1F", "%.2F" and "%.0F": fixed notation, the decimal
// separator of the locale, no group separators, and ties rounded away from zero as the Windows
// programs round them (56.25 with one decimal is "56,3"). A value is taken at its shortest
// decimal form, the one that reads back to the same double, so 0.15 is a tie although the double
// nearest to it lies a little below.

// Room that FormatFixedInto needs at most.
inline constexpr qsizetype FixedTextCapacity = 400;
// The most decimals written; more are cut to this.
inline constexpr int MaxFixedDecimals = 20;

QString FormatFixed(double value, int decimals);
// The same text into out (FixedTextCapacity characters) with the given separator, without
// allocating; gives its length. For writers that format many values in a row.
qsizetype FormatFixedInto(char16_t* out, double value, int decimals, QStringView separator);
