#include "gradientpanel.h"

#include "gradientstrip.h"

#include <QPainter>

void GradientPanel::setColours(const QColor& top, const QColor& bottom)
{
    if (top == m_top && bottom == m_bottom)
        return;
    m_top = top;
    m_bottom = bottom;
    update();
}

void GradientPanel::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    // Each row is one colour: the run is worked out one pixel wide and each row filled with it.
    const QImage run = GradientStrip(m_top, m_bottom, QSize(1, height()));
    QPainter painter(this);
    for (int y = 0; y < height(); ++y)
        painter.fillRect(0, y, width(), 1, run.pixelColor(0, y));
}
