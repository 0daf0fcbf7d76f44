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
    QPainter(this).drawImage(0, 0, GradientStrip(m_top, m_bottom, size()));
}
