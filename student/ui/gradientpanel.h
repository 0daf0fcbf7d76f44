#pragma once

#include <QColor>
#include <QWidget>

// A panel whose background is a vertical colour run from its top colour to its bottom colour,
// drawn anew on every repaint at the panel's size, whatever its enabled state.
class GradientPanel : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Repaints when either colour changed.
    void setColours(const QColor& top, const QColor& bottom);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_top;
    QColor m_bottom;
};
