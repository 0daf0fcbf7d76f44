#pragma once

#include <QColor>
#include <QPalette>
#include <initializer_list>
#include <utility>

class QWidget;

// Colours of a widget through its palette, never a style sheet (a style sheet re-polishes the
// widget and everything in it). Only the roles given become the widget's own; the others follow
// its parent. Setting what the widget already has changes nothing, but still costs: callers that
// set colours often keep what they set.
void SetColours(QWidget* widget, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colours);

// Shows or hides every widget of the list.
void ShowAll(std::initializer_list<QWidget*> widgets, bool shown);
