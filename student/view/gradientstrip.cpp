#include "gradientstrip.h"

#include <cstring>

QImage GradientStrip(const QColor& start, const QColor& end, const QSize& size)
{
    QImage image(size, QImage::Format_RGB888);
    const int height = size.height();
    const auto part = [height](int from, int to, int y) { return from - (from - to) * y / height; };
    for (int y = 0; y < height; ++y) {
        const uchar rgb[3] = {uchar(part(start.red(), end.red(), y)), uchar(part(start.green(), end.green(), y)),
                              uchar(part(start.blue(), end.blue(), y))};
        uchar* line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x)
            std::memcpy(line + 3 * x, rgb, 3);
    }
    return image;
}
