#pragma once

#include <QColor>
#include <QImage>

// A vertical colour run: row y of a strip `height` rows high takes, per red, green and blue part,
// start - (start - end) * y / height in integer arithmetic. Drawn into a 24-bit image.
QImage GradientStrip(const QColor& start, const QColor& end, const QSize& size);
