#include "widgetlook.h"

#include <QWidget>

void SetColours(QWidget* widget, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colours)
{
    QPalette palette;
    for (const auto& [role, colour] : colours)
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

void ShowAll(std::initializer_list<QWidget*> widgets, bool shown)
{
    for (QWidget* w : widgets)
        w->setVisible(shown);
}
