#include "gradientstrip.h"

#include <gtest/gtest.h>

TEST(GradientStrip, EachRowStepsFromTheStartColourTowardsTheEnd)
{
    const QColor start(159, 151, 217), end(224, 221, 255);
    const QImage strip = GradientStrip(start, end, QSize(5, 10));
    ASSERT_EQ(strip.size(), QSize(5, 10));
    EXPECT_EQ(strip.format(), QImage::Format_RGB888);
    struct Case
    {
        int row;
        QColor colour;
    } cases[] = {
        {0, start},
        {1, QColor(159 - (159 - 224) * 1 / 10, 151 - (151 - 221) * 1 / 10, 217 - (217 - 255) * 1 / 10)}, // 165,158,220
        {9, QColor(217, 214, 251)}, // 159 - (-585 / 10): the division cuts toward zero, 159 + 58
    };
    for (const Case& c : cases)
        for (int x : {0, 4})
            EXPECT_EQ(strip.pixelColor(x, c.row), c.colour) << "row " << c.row << " x " << x;
    // Falling runs too (the button strip runs from the answer colour back to the question colour).
    const QImage back = GradientStrip(end, start, QSize(1, 2));
    EXPECT_EQ(back.pixelColor(0, 1), QColor(224 - 65 / 2, 221 - 70 / 2, 255 - 38 / 2));
}
