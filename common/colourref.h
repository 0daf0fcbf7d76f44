#pragma once

#include <QColor>

// Colours are stored as 32-bit integers of the form 0x00BBGGRR (red in the low byte).
inline QColor ColourFromRef(int colourRef)
{
    return QColor(colourRef & 0xff, (colourRef >> 8) & 0xff, (colourRef >> 16) & 0xff);
}

inline int ColourRef(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}
